#include "MediumVerifier.h"

#include "ChecksumStage.h"
#include "DropPath.h"
#include "EntryMatcher.h"
#include "FoundTree.h"
#include "LocaleFormat.h"
#include "ManifestReader.h"
#include "MatchAccount.h"
#include "ReportSide.h"
#include "Utf8.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unordered_map>

namespace {

constexpr int kWalkShareWithHashes = 30;
constexpr int kWalkShare = 95;

std::string ErrorText(int error) { return std::strerror(error); }

// Whether two walks with these options find the same entries under the same names.
bool SameWalk(const COptionsSnapshot& one, const COptionsSnapshot& other) {
    return one.IsListing() == other.IsListing() && one.ExcludeHidden() == other.ExcludeHidden() &&
           one.ExcludeSubFolders() == other.ExcludeSubFolders();
}

constexpr std::uint64_t kMostNameBytesReserved = std::uint64_t{1} << 28;

// Joins a thread when it goes out of scope, setting cancel first unless done.
class CWalkJoin {
public:
    CWalkJoin(std::thread& thread, std::atomic<bool>& cancel, const bool& done)
        : m_thread(thread), m_cancel(cancel), m_done(done) {}
    ~CWalkJoin() {
        if (m_thread.joinable()) {
            if (!m_done) {
                m_cancel = true;
            }
            m_thread.join();
        }
    }
    CWalkJoin(const CWalkJoin&) = delete;
    CWalkJoin& operator=(const CWalkJoin&) = delete;

private:
    std::thread& m_thread;
    std::atomic<bool>& m_cancel;
    const bool& m_done;
};

} // namespace

// A walk of the medium, with the locale it formats names and dates in.
struct CMediumVerifier::CWalk {
    std::unique_ptr<CLocaleFormat> m_pLocale;
    std::unique_ptr<CFoundTree> m_pTree;
    bool m_bWalked = false;
    bool m_bCancelled = false;
    std::exception_ptr m_error;
};

CMediumVerifier::CMediumVerifier(CVerifyRequest request) : m_request(std::move(request)) {}

CMediumVerifier::~CMediumVerifier() = default;

void CMediumVerifier::Cancel() {
    m_bCancel = true;
    std::lock_guard lock(m_mutex);
    if (m_pStage != nullptr) {
        m_pStage->Cancel();
    }
}

VerifyOutcome CMediumVerifier::Fail(std::string text) {
    m_strError = std::move(text);
    return VerifyOutcome::Unreadable;
}

VerifyOutcome CMediumVerifier::Run(const ProgressFn& progress) {
    CReportSide report(m_request);
    if (!report.Load()) {
        return Fail(report.Error());
    }
    CManifestReader manifest;
    if (!m_request.m_strManifestPath.empty() && !manifest.ReadFile(m_request.m_strManifestPath)) {
        return Fail(m_request.m_strManifestPath + ": " + manifest.FaultText());
    }
    if (m_request.m_arrPaths.empty()) {
        return Fail("nothing to check: no path given");
    }
    // A medium copied into a folder is checked as the medium its report is of.
    std::vector<std::string>& paths = m_request.m_arrPaths;
    struct stat info {};
    if (paths.size() == 1 && !DropPath::IsRootDrop(paths) && report.OfWholeMedium() &&
        stat(paths.front().c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        paths.front().push_back('/');
    }
    const std::size_t lines = report.LineCount();
    // A report line holds an entry's name about twice over, as the walk keeps it.
    const std::size_t nameBytes = static_cast<std::size_t>(std::min<std::uint64_t>(report.Size(), kMostNameBytesReserved));
    const int walkShare = manifest.Entries().empty() ? kWalkShare : kWalkShareWithHashes;
    const auto walk = [&](const COptionsSnapshot& options, CWalk& into) {
        into.m_pLocale = std::make_unique<CLocaleFormat>(CLocaleFormat::FromEnvironment());
        into.m_pTree = std::make_unique<CFoundTree>(*into.m_pLocale, options);
        const auto walked = [&](std::size_t entries) {
            if (progress) {
                progress(static_cast<int>(std::min(entries, lines) * (walkShare - 1) / lines));
            }
        };
        try {
            into.m_bWalked = into.m_pTree->Walk(paths, lines + lines / 8, nameBytes, m_bCancel, walked);
        } catch (const CFoundTree::Cancelled&) {
            into.m_bCancelled = true;
        } catch (...) {
            into.m_error = std::current_exception();
        }
    };
    // A large report is read while the medium is walked, with the options
    // that its first lines give; the rare report whose whole says otherwise
    // has the medium walked again.
    CWalk walked;
    const std::optional<COptionsSnapshot> guess = report.GuessWalk(m_nReadFirstBytes);
    bool read = false;
    {
        std::thread walking;
        // However this block is left, the walk is over before its CWalk goes;
        // it is told to stop unless the report was read.
        const CWalkJoin join(walking, m_bCancel, read);
        if (guess) {
            walking = std::thread([&] { walk(*guess, walked); });
        }
        read = report.Read();
    }
    if (!read) {
        return Fail(report.Error());
    }
    if (walked.m_error) {
        std::rethrow_exception(walked.m_error);
    }
    if (!guess || !SameWalk(*guess, report.Options())) {
        walked = CWalk();
        walk(report.Options(), walked);
    }
    if (walked.m_bCancelled || m_bCancel) {
        return VerifyOutcome::Cancelled;
    }
    if (walked.m_error) {
        std::rethrow_exception(walked.m_error);
    }
    if (!walked.m_bWalked) {
        return Fail(walked.m_pTree->Missing() + ": " + ErrorText(walked.m_pTree->MissingError()));
    }
    if (progress) {
        progress(walkShare);
    }

    CEntryMatcher matcher(report, *walked.m_pTree);
    matcher.Match();
    m_arrHints = matcher.Hints();
    std::unordered_map<std::size_t, std::string> details;
    if (!manifest.Entries().empty() && !Hash(report, *walked.m_pTree, matcher, manifest, details, progress)) {
        return VerifyOutcome::Cancelled;
    }
    Account(report, *walked.m_pTree, matcher, details);
    if (progress) {
        progress(100);
    }
    return VerifyOutcome::Checked;
}

bool CMediumVerifier::Hash(const CReportSide& report, const CFoundTree& found, CEntryMatcher& matcher,
                           const CManifestReader& manifest, std::unordered_map<std::size_t, std::string>& details,
                           const ProgressFn& progress) {
    std::unordered_map<std::string_view, std::size_t> byPath;
    for (std::size_t k = 0; k < manifest.Entries().size(); ++k) {
        byPath.emplace(manifest.Entries()[k].m_strPath, k);
    }
    std::vector<CChecksumFile> files;
    std::vector<std::pair<std::size_t, std::size_t>> hashed; // report entry, manifest line
    for (std::size_t i = report.FirstEntry(); i < report.Count(); ++i) {
        if (matcher.StateOf(i) != EntryState::Ok || report.IsFolder(i)) {
            continue;
        }
        const CFoundEntry& entry = found.Entries()[matcher.PairOf(i)];
        std::string relative = found.RelativePath(entry);
        const auto at = byPath.find(relative);
        if (at == byPath.end() || !entry.m_bRegular) {
            continue;
        }
        files.push_back({found.OpenPath(entry), std::move(relative), entry.m_nDevice, entry.m_nSize});
        hashed.emplace_back(i, at->second);
    }
    CChecksumStage stage(std::move(files));
    {
        std::lock_guard lock(m_mutex);
        m_pStage = &stage;
    }
    const bool finished = !m_bCancel && stage.Run([&](int percent) {
        if (progress) {
            progress(kWalkShareWithHashes + percent * (100 - kWalkShareWithHashes) / 100);
        }
    });
    {
        std::lock_guard lock(m_mutex);
        m_pStage = nullptr;
    }
    if (!finished || m_bCancel) {
        return false;
    }
    for (std::size_t k = 0; k < hashed.size(); ++k) {
        const CChecksumResult& result = stage.Results()[k];
        const auto [i, line] = hashed[k];
        const Sha256Digest& expected = manifest.Entries()[line].m_digest;
        if (result.m_nError != 0) {
            matcher.SetState(i, EntryState::Unreadable);
            details[i] = ErrorText(result.m_nError);
        } else if (result.m_digest != expected) {
            matcher.SetState(i, EntryState::Corrupt);
            details[i] = "sha256 " + DigestHex(expected) + " -> " + DigestHex(result.m_digest);
        }
    }
    return true;
}

void CMediumVerifier::Account(const CReportSide& report, const CFoundTree& found, const CEntryMatcher& matcher,
                              std::unordered_map<std::size_t, std::string>& details) {
    const auto movedFrom = [&](std::size_t i) {
        return report.GroupOf(i).empty() ? std::string(".") : Utf8::Printable(report.GroupOf(i));
    };
    CMatchAccount::Build(report, found, matcher, m_request.m_bIncludeOk, movedFrom, details, m_arrLines, m_counts);
}
