#include "MediumVerifier.h"

#include "BasePath.h"
#include "ChecksumStage.h"
#include "DateHints.h"
#include "DropPath.h"
#include "FoundTree.h"
#include "HugePages.h"
#include "LocaleFormat.h"
#include "ManifestReader.h"
#include "ReportFile.h"
#include "ReportReader.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <thread>
#include <optional>
#include <type_traits>
#include <unordered_map>

namespace {

constexpr std::uint64_t kLargestReport = std::uint64_t{8} << 30;
constexpr std::uint32_t kNone = UINT32_MAX;
constexpr int kWalkShareWithHashes = 30;
constexpr int kWalkShare = 95;
// Files whose dates tell how the report's dates read.
constexpr std::size_t kDateSample = 1000;
// The first lines of a large report that give the options of the walk.
constexpr std::size_t kGuessBytes = std::size_t{1} << 18;

// A moved file is known by its name, size, date and time.
struct CMoveKey {
    std::string_view m_strName;
    std::uint64_t m_nSize = 0;
    std::string m_strDate;
    std::string m_strTime;
    bool operator==(const CMoveKey&) const = default;
};

struct CMoveKeyHash {
    std::size_t operator()(const CMoveKey& key) const {
        return std::hash<std::string_view>()(key.m_strName) ^ (key.m_nSize * 0x9e3779b97f4a7c15ULL) ^
               (std::hash<std::string>()(key.m_strDate) << 1) ^ (std::hash<std::string>()(key.m_strTime) << 2);
    }
};

std::string ErrorText(int error) { return std::strerror(error); }

// Joins a relative folder and a name with "/".
std::string Joined(std::string_view group, std::string_view name) {
    std::string path(group);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

// The whole path of a folders-only line (the reader splits it).
std::string_view WholePath(const CReportEntry& entry) {
    if (entry.m_strFolder.empty()) {
        return entry.m_strName;
    }
    return {entry.m_strFolder.data(),
            static_cast<std::size_t>(entry.m_strName.data() + entry.m_strName.size() - entry.m_strFolder.data())};
}

} // namespace

// A walk of the medium, with the locale it formats names and dates in.
struct CMediumVerifier::CWalk {
    std::unique_ptr<CLocaleFormat> m_pLocale;
    std::unique_ptr<CFoundTree> m_pTree;
    COptionsSnapshot m_options;
    bool m_bWalked = false;
    bool m_bCancelled = false;
    std::exception_ptr m_error;
};

// What a check has while it runs.
struct CMediumVerifier::CWork {
    CReportFile m_report;
    CReportReader m_reader;
    std::vector<CReportEntry> m_arrEntries;
    ReportLayout m_layout = ReportLayout::ArchiveReport;
    COptionsSnapshot m_options;
    bool m_bLogKnown = false;
    bool m_bFoldersOnlyWithSub = false;
    std::size_t m_nFirstEntry = 0; // a folders-only list's base line is not an entry
    std::string m_strReportBase;
    std::vector<std::string_view> m_arrGroups; // per report entry
    std::deque<std::string> m_arrGroupTexts;  // groups rewritten with "/"
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
    CWork work;
    const std::string& reportPath = m_request.m_strReportPath;
    int error = 0;
    if (!work.m_report.Load(reportPath, kLargestReport, error)) {
        return Fail(reportPath + ": " + ErrorText(error));
    }
    CManifestReader manifest;
    if (!m_request.m_strManifestPath.empty() && !manifest.ReadFile(m_request.m_strManifestPath)) {
        return Fail(m_request.m_strManifestPath + ": " + manifest.FaultText());
    }
    if (m_request.m_arrPaths.empty()) {
        return Fail("nothing to check: no path given");
    }
    const std::string_view bytes = work.m_report.m_strBytes;
    const std::size_t lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    const int walkShare = manifest.Entries().empty() ? kWalkShare : kWalkShareWithHashes;
    const auto walk = [&](const COptionsSnapshot& options, CWalk& into) {
        into.m_pLocale = std::make_unique<CLocaleFormat>(CLocaleFormat::FromEnvironment());
        into.m_pTree = std::make_unique<CFoundTree>(*into.m_pLocale, options);
        into.m_options = options;
        try {
            // A report line holds an entry's name about twice over, as the walk keeps it.
            into.m_bWalked = into.m_pTree->Walk(m_request.m_arrPaths, lines + lines / 8, bytes.size(), m_bCancel,
                                                [&](std::size_t entries) {
                                                    if (progress) {
                                                        progress(static_cast<int>(std::min(entries, lines) *
                                                                                  (walkShare - 1) / lines));
                                                    }
                                                });
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
    std::thread walking;
    const std::optional<COptionsSnapshot> guess = GuessWalk(bytes);
    if (guess) {
        walking = std::thread([&] { walk(*guess, walked); });
    }
    const auto joinWalk = [&] {
        if (walking.joinable()) {
            walking.join();
        }
    };
    if (m_request.m_logText) {
        work.m_reader.SetLog(*m_request.m_logText);
        work.m_bLogKnown = !m_request.m_logText->empty();
    }
    work.m_arrEntries.reserve(lines);
    PreferHugePages(work.m_arrEntries.data(), work.m_arrEntries.capacity() * sizeof(CReportEntry));
    const bool read =
        work.m_reader.Read(bytes, [&](const CReportEntry& entry) { work.m_arrEntries.push_back(entry); });
    work.m_layout = work.m_reader.Layout();
    if (!read || work.m_layout == ReportLayout::ArchiveLog) {
        m_bCancel = true; // the walk is not needed
        joinWalk();
        return Fail(reportPath + (read ? ": an archive log, not a report" : ": not a report (" + work.m_reader.Reason() + ")"));
    }
    work.m_options = ResolveOptions(work.m_layout, work.m_arrEntries, work.m_bFoldersOnlyWithSub);
    FindReportBase(work);
    joinWalk();
    if (walked.m_error) {
        std::rethrow_exception(walked.m_error);
    }
    if (!guess || !SameWalk(*guess, work.m_options)) {
        walked = CWalk();
        walk(work.m_options, walked);
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
    return Compare(work, *walked.m_pTree, *walked.m_pLocale, manifest, progress) ? VerifyOutcome::Checked
                                                                                  : VerifyOutcome::Cancelled;
}

bool CMediumVerifier::SameWalk(const COptionsSnapshot& one, const COptionsSnapshot& other) {
    return one.IsListing() == other.IsListing() && one.ExcludeHidden() == other.ExcludeHidden() &&
           one.ExcludeSubFolders() == other.ExcludeSubFolders();
}

std::optional<COptionsSnapshot> CMediumVerifier::GuessWalk(std::string_view bytes) const {
    if (bytes.size() <= m_nReadFirstBytes) {
        return std::nullopt; // read whole before the walk: it costs little
    }
    const std::size_t cut = bytes.rfind('\n', kGuessBytes);
    std::string_view last = bytes;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) {
        last.remove_suffix(1);
    }
    const std::size_t lastStart = last.rfind('\n');
    if (cut == std::string_view::npos || lastStart == std::string_view::npos) {
        return std::nullopt;
    }
    last.remove_prefix(lastStart + 1);
    // The first lines and the last (a listing's summary), with or without a
    // blank line between them: one of the two reads as a report.
    for (const char* between : {"\r\n", ""}) {
        const std::string sample = std::string(bytes.substr(0, cut + 1)) + between + std::string(last);
        CReportReader reader;
        std::vector<CReportEntry> entries;
        if (!reader.Read(sample, [&](const CReportEntry& entry) { entries.push_back(entry); }) ||
            reader.Layout() == ReportLayout::ArchiveLog) {
            continue;
        }
        const ReportLayout layout = reader.Layout();
        bool foldersOnlyWithSub = false;
        COptionsSnapshot options = ResolveOptions(layout, entries, foldersOnlyWithSub);
        // What the first lines cannot tell, the bytes can: a hidden name
        // starts an entry line (or a folder list's name), and a listing of
        // several records has more than two blank lines.
        const bool folderList = layout == ReportLayout::FoldersOnly;
        const bool hiddenName = bytes.front() == '.' || bytes.find(folderList ? "/." : "\n.") != std::string_view::npos ||
                                (!folderList && bytes.find("\t.") != std::string_view::npos);
        if (!m_request.m_excludeHidden && hiddenName) {
            options[Option::ExcludeHiddenSystemInfo] = 0;
        }
        if (!m_request.m_excludeSubFolders &&
            (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded)) {
            std::size_t blanks = 0;
            for (std::size_t at = bytes.find('\n'); at != std::string_view::npos && blanks <= 2;
                 at = bytes.find('\n', at + 1)) {
                const std::size_t next = at + 1;
                blanks += next < bytes.size() && (bytes[next] == '\n' || bytes.substr(next, 2) == "\r\n") ? 1 : 0;
            }
            if (blanks > 2) {
                options[Option::ExcludeSubFolders] = 0;
            }
        }
        return options;
    }
    return std::nullopt;
}

COptionsSnapshot CMediumVerifier::ResolveOptions(ReportLayout layout, const std::vector<CReportEntry>& entries,
                                                 bool& foldersOnlyWithSub) const {
    COptionsSnapshot options = m_request.m_settings;
    const bool listing = layout != ReportLayout::ArchiveReport;
    options[Option::ProcessType] = listing ? kProcessListing : kProcessArchive;
    if (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded) {
        options[Option::OutputFormat] = layout == ReportLayout::ListingTabbed ? 0 : 1;
        options[Option::DirectoryOnly] = 0;
    } else if (layout == ReportLayout::FoldersOnly) {
        options[Option::DirectoryOnly] = 1;
    }
    std::optional<bool> reportExcludesHidden;
    for (const CReportEntry& entry : entries) {
        if (IsHiddenName(entry.m_strName)) {
            reportExcludesHidden = false;
            break;
        }
    }
    // Sub-folders were walked when a listing has a record below the first;
    // not when its only record lists sub-folders; a folder list walked them
    // when its first line is the folder of every other line.
    std::optional<bool> reportExcludesSubFolders;
    foldersOnlyWithSub = false;
    if (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded) {
        bool severalRecords = false, folderLine = false;
        for (const CReportEntry& entry : entries) {
            severalRecords = severalRecords || entry.m_strFolder.data() != entries.front().m_strFolder.data();
            folderLine = folderLine || entry.m_bFolder;
        }
        if (severalRecords) {
            reportExcludesSubFolders = false;
        } else if (folderLine) {
            reportExcludesSubFolders = true;
        }
    } else if (layout == ReportLayout::FoldersOnly && entries.size() >= 2) {
        const std::string_view first = WholePath(entries.front());
        foldersOnlyWithSub = true;
        for (std::size_t i = 1; i < entries.size() && foldersOnlyWithSub; ++i) {
            const std::string_view path = WholePath(entries[i]);
            foldersOnlyWithSub = BasePath::Strip(first, path) != path;
        }
        reportExcludesSubFolders = !foldersOnlyWithSub;
    }
    const auto resolve = [&](Option option, const std::optional<bool>& given, const std::optional<bool>& report) {
        if (given) {
            options[option] = *given ? 1 : 0;
        } else if (report) {
            options[option] = *report ? 1 : 0;
        }
    };
    resolve(Option::ExcludeHiddenSystemInfo, m_request.m_excludeHidden, reportExcludesHidden);
    resolve(Option::ExcludeSubFolders, m_request.m_excludeSubFolders, reportExcludesSubFolders);
    resolve(Option::ExcludeEmptyFolders, m_request.m_excludeEmptyFolders, std::nullopt);
    if (layout == ReportLayout::FoldersOnly && entries.size() == 1) {
        foldersOnlyWithSub = !options.ExcludeSubFolders();
    }
    return options;
}

void CMediumVerifier::FindReportBase(CWork& work) const {
    const auto& entries = work.m_arrEntries;
    if (entries.empty()) {
        return;
    }
    switch (work.m_layout) {
    case ReportLayout::ListingTabbed:
    case ReportLayout::ListingPadded:
        work.m_strReportBase = entries.front().m_strFolder;
        break;
    case ReportLayout::FoldersOnly:
        if (work.m_bFoldersOnlyWithSub) {
            work.m_strReportBase = WholePath(entries.front());
            work.m_nFirstEntry = 1;
        } else {
            work.m_strReportBase = entries.front().m_strFolder;
        }
        break;
    default:
        if (work.m_bLogKnown) {
            // The first archive's folder: the dropped folder, or the medium.
            std::string_view text = *m_request.m_logText;
            while (!text.empty() && work.m_strReportBase.empty()) {
                const std::size_t end = text.find('\n');
                std::string_view line = text.substr(0, end);
                if (!line.empty() && line.back() == '\r') {
                    line.remove_suffix(1);
                }
                std::string_view tag, folder;
                if (CReportReader::ParseLogLine(line, tag, folder)) {
                    work.m_strReportBase = folder;
                }
                text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            }
            if (!DropPath::IsRootDrop(m_request.m_arrPaths)) {
                work.m_strReportBase = std::string(BasePath::FolderOf(work.m_strReportBase));
            }
        }
        break;
    }
    // Each entry's group: its folder relative to the base, with "/" between names.
    work.m_arrGroups.resize(entries.size());
    const char* lastFolder = nullptr;
    std::string_view lastGroup;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CReportEntry& entry = entries[i];
        if (work.m_layout == ReportLayout::ArchiveReport && !work.m_bLogKnown) {
            continue;
        }
        if (entry.m_strFolder.data() != lastFolder || lastFolder == nullptr) {
            lastFolder = entry.m_strFolder.data();
            lastGroup = BasePath::Strip(work.m_strReportBase, entry.m_strFolder);
            if (lastGroup.find('\\') != std::string_view::npos) {
                std::string& text = work.m_arrGroupTexts.emplace_back(lastGroup);
                std::replace(text.begin(), text.end(), '\\', '/');
                lastGroup = text;
            }
        }
        work.m_arrGroups[i] = lastGroup;
    }
}

bool CMediumVerifier::Compare(CWork& work, const CFoundTree& found, CLocaleFormat& locale,
                              const CManifestReader& manifest, const ProgressFn& progress) {
    enum class State : std::uint8_t { Missing, Ok, Changed, Moved, Corrupt, Unreadable };
    const auto& entries = work.m_arrEntries;
    const auto& foundEntries = found.Entries();
    const bool listing = work.m_options.IsListing();
    const bool foldersOnly = work.m_layout == ReportLayout::FoldersOnly;
    const bool upper = listing;

    // What the report could list at all: folders in a folder list, files
    // in an archive report.
    const auto listable = [&](const CFoundEntry& entry) {
        return foldersOnly ? entry.m_bFolder : (listing || !entry.m_bFolder);
    };
    const auto foundGroup = [&](const CFoundEntry& entry) -> std::string_view {
        if (!listing && !work.m_bLogKnown) {
            return {};
        }
        return found.Folders()[entry.m_nFolder].m_strReportPath;
    };
    const auto textsOf = [&](const CFoundEntry& entry, std::string_view& date, std::string_view& time) {
        if (upper) {
            locale.UpperDateTimeText(entry.m_nLastWrite, date, time);
        } else {
            locale.DateTimeText(entry.m_nLastWrite, date, time);
        }
    };

    // The entries found in each folder (the report's groups), and, once a
    // group is first asked for, sorted by name (walk order among equals).
    struct CSlot {
        std::vector<std::uint32_t> m_arrEntries;
        bool m_bSorted = false;
    };
    std::vector<CSlot> slots;
    std::unordered_map<std::string_view, std::uint32_t> slotOfGroup;
    {
        std::vector<std::uint32_t> slotOfFolder(found.Folders().size(), kNone);
        for (std::size_t j = 0; j < foundEntries.size(); ++j) {
            const CFoundEntry& entry = foundEntries[j];
            if (!listable(entry)) {
                continue;
            }
            std::uint32_t& slot = slotOfFolder[entry.m_nFolder];
            if (slot == kNone) {
                const auto [at, inserted] =
                    slotOfGroup.try_emplace(foundGroup(entry), static_cast<std::uint32_t>(slots.size()));
                if (inserted) {
                    slots.emplace_back();
                }
                slot = at->second;
            }
            slots[slot].m_arrEntries.push_back(static_cast<std::uint32_t>(j));
        }
    }
    // The found entries of report entry i's group that have its name, in walk order.
    std::string_view lastGroup;
    CSlot* lastSlot = nullptr;
    bool lastKnown = false;
    const auto candidatesOf = [&](std::size_t i) -> std::pair<const std::uint32_t*, const std::uint32_t*> {
        if (!lastKnown || lastGroup != work.m_arrGroups[i]) {
            lastKnown = true;
            lastGroup = work.m_arrGroups[i];
            const auto at = slotOfGroup.find(lastGroup);
            lastSlot = at == slotOfGroup.end() ? nullptr : &slots[at->second];
            if (lastSlot != nullptr && !lastSlot->m_bSorted) {
                std::stable_sort(lastSlot->m_arrEntries.begin(), lastSlot->m_arrEntries.end(),
                                 [&](std::uint32_t a, std::uint32_t b) {
                                     return found.NameOf(foundEntries[a]) < found.NameOf(foundEntries[b]);
                                 });
                lastSlot->m_bSorted = true;
            }
        }
        if (lastSlot == nullptr) {
            return {nullptr, nullptr};
        }
        const std::string_view name = entries[i].m_strName;
        const auto range = std::equal_range(
            lastSlot->m_arrEntries.begin(), lastSlot->m_arrEntries.end(), name,
            [&](const auto& a, const auto& b) {
                if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string_view>) {
                    return a < found.NameOf(foundEntries[b]);
                } else {
                    return found.NameOf(foundEntries[a]) < b;
                }
            });
        const std::uint32_t* base = lastSlot->m_arrEntries.data();
        return {base + (range.first - lastSlot->m_arrEntries.begin()),
                base + (range.second - lastSlot->m_arrEntries.begin())};
    };

    // How the report's dates read here: judged on a sample of the files
    // still there, and on every one of them only when the sample points to
    // another time zone.
    const auto datePairs = [&](std::size_t most) {
        std::vector<std::string_view> dates;
        std::vector<CDatePair> pairs;
        for (std::size_t i = work.m_nFirstEntry; i < entries.size() && pairs.size() < most; ++i) {
            if (entries[i].m_bFolder) {
                continue;
            }
            if (dates.size() < kDateSample) {
                dates.push_back(entries[i].m_strDate);
            }
            const auto [first, last] = candidatesOf(i);
            for (const std::uint32_t* j = first; j != last; ++j) {
                if (!foundEntries[*j].m_bFolder && foundEntries[*j].m_nSize == entries[i].m_nSize) {
                    pairs.push_back({entries[i].m_strDate, entries[i].m_strTime, foundEntries[*j].m_nLastWrite});
                    break;
                }
            }
        }
        return std::make_pair(std::move(dates), std::move(pairs));
    };
    bool datesComparable = true;
    {
        const auto [dates, pairs] = datePairs(kDateSample);
        CDateHints sample(locale, upper);
        sample.Examine(dates, pairs);
        datesComparable = sample.DatesComparable();
        m_arrHints = sample.Hints();
        if (sample.TimeZoneShifted()) {
            const auto [allDates, allPairs] = datePairs(SIZE_MAX);
            CDateHints every(locale, upper);
            every.Examine(allDates, allPairs);
            m_arrHints = every.Hints();
        }
    }

    const auto sameFile = [&](std::size_t i, const CFoundEntry& entry) {
        if (entry.m_nSize != entries[i].m_nSize) {
            return false;
        }
        if (!datesComparable) {
            return true;
        }
        std::string_view date, time;
        textsOf(entry, date, time);
        return date == entries[i].m_strDate && time == entries[i].m_strTime;
    };

    // Each report entry takes the entry at its place: the same file first,
    // then any of its kind (changed).
    std::vector<State> states(entries.size(), State::Missing);
    std::vector<std::uint32_t> matches(entries.size(), kNone);
    std::vector<bool> taken(foundEntries.size(), false);
    for (std::size_t i = work.m_nFirstEntry; i < entries.size(); ++i) {
        const bool folder = entries[i].m_bFolder;
        std::uint32_t chosen = kNone;
        std::uint32_t anyOfKind = kNone;
        const auto [first, last] = candidatesOf(i);
        for (const std::uint32_t* at = first; at != last; ++at) {
            const std::uint32_t j = *at;
            if (taken[j] || foundEntries[j].m_bFolder != folder) {
                continue;
            }
            if (folder || sameFile(i, foundEntries[j])) {
                chosen = j;
                break;
            }
            if (anyOfKind == kNone) {
                anyOfKind = j;
            }
        }
        if (chosen != kNone) {
            states[i] = State::Ok;
        } else if (anyOfKind != kNone) {
            chosen = anyOfKind;
            states[i] = State::Changed;
        } else {
            continue;
        }
        matches[i] = chosen;
        taken[chosen] = true;
    }

    // A file not at its place may be elsewhere, unchanged: moved.
    if (!foldersOnly) {
        std::unordered_map<CMoveKey, std::vector<std::uint32_t>, CMoveKeyHash> notInPlace;
        for (std::size_t i = entries.size(); i-- > work.m_nFirstEntry;) {
            if (states[i] == State::Missing && !entries[i].m_bFolder) {
                CMoveKey key{entries[i].m_strName, entries[i].m_nSize, {}, {}};
                if (datesComparable) {
                    key.m_strDate = entries[i].m_strDate;
                    key.m_strTime = entries[i].m_strTime;
                }
                notInPlace[std::move(key)].push_back(static_cast<std::uint32_t>(i)); // last first
            }
        }
        for (std::size_t j = 0; j < foundEntries.size() && !notInPlace.empty(); ++j) {
            const CFoundEntry& entry = foundEntries[j];
            if (taken[j] || entry.m_bFolder || !listable(entry)) {
                continue;
            }
            CMoveKey key{found.NameOf(entry), entry.m_nSize, {}, {}};
            if (datesComparable) {
                std::string_view date, time;
                textsOf(entry, date, time);
                key.m_strDate = date;
                key.m_strTime = time;
            }
            const auto at = notInPlace.find(key);
            if (at == notInPlace.end()) {
                continue;
            }
            const std::uint32_t i = at->second.back();
            at->second.pop_back();
            if (at->second.empty()) {
                notInPlace.erase(at);
            }
            taken[j] = true;
            matches[i] = static_cast<std::uint32_t>(j);
            states[i] = State::Moved;
        }
    }

    // Files the manifest names that still match their line are hashed again.
    std::unordered_map<std::size_t, std::string> details;
    if (!manifest.Entries().empty()) {
        std::unordered_map<std::string_view, std::size_t> byPath;
        for (std::size_t k = 0; k < manifest.Entries().size(); ++k) {
            byPath.emplace(manifest.Entries()[k].m_strPath, k);
        }
        std::vector<CChecksumFile> files;
        std::vector<std::pair<std::size_t, std::size_t>> hashed; // report entry, manifest line
        for (std::size_t i = work.m_nFirstEntry; i < entries.size(); ++i) {
            if (states[i] != State::Ok || entries[i].m_bFolder) {
                continue;
            }
            const CFoundEntry& entry = foundEntries[matches[i]];
            const std::string relative = found.RelativePath(entry);
            const auto at = byPath.find(relative);
            if (at == byPath.end() || !entry.m_bRegular) {
                continue;
            }
            files.push_back({found.OpenPath(entry), relative, entry.m_nDevice, entry.m_nSize});
            hashed.emplace_back(i, at->second);
        }
        CChecksumStage stage(std::move(files));
        {
            std::lock_guard lock(m_mutex);
            m_pStage = &stage;
        }
        const int walkShare = kWalkShareWithHashes;
        const bool finished = !m_bCancel && stage.Run([&](int percent) {
            if (progress) {
                progress(walkShare + percent * (100 - walkShare) / 100);
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
                states[i] = State::Unreadable;
                details[i] = ErrorText(result.m_nError);
            } else if (result.m_digest != expected) {
                states[i] = State::Corrupt;
                details[i] = "sha256 " + DigestHex(expected) + " -> " + DigestHex(result.m_digest);
            }
        }
    }

    // The account: in report order, new entries after their folder's.
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> newByGroup;
    for (std::size_t j = 0; j < foundEntries.size(); ++j) {
        if (!taken[j] && listable(foundEntries[j])) {
            newByGroup[foundGroup(foundEntries[j])].push_back(static_cast<std::uint32_t>(j));
        }
    }
    std::vector<bool> shown(foundEntries.size(), false);
    const auto add = [&](VerifyKind kind, std::string path, std::string detail) {
        ++m_counts[kind];
        m_arrLines.push_back({kind, std::move(path), std::move(detail)});
    };
    const auto addNewOf = [&](std::string_view group) {
        std::vector<std::string> pending{std::string(group)};
        while (!pending.empty()) {
            const std::string current = std::move(pending.back());
            pending.pop_back();
            const auto at = newByGroup.find(current);
            if (at == newByGroup.end()) {
                continue;
            }
            std::vector<std::string> below;
            for (const std::uint32_t j : at->second) {
                if (shown[j]) {
                    continue;
                }
                shown[j] = true;
                add(VerifyKind::New, Utf8::Printable(found.RelativePath(foundEntries[j])), {});
                if (listing && foundEntries[j].m_bFolder) {
                    below.push_back(Joined(current, found.NameOf(foundEntries[j])));
                }
            }
            pending.insert(pending.end(), below.rbegin(), below.rend());
        }
    };
    std::optional<std::string_view> group;
    for (std::size_t i = work.m_nFirstEntry; i < entries.size(); ++i) {
        if (group && *group != work.m_arrGroups[i]) {
            addNewOf(*group);
        }
        group = work.m_arrGroups[i];
        const CReportEntry& entry = entries[i];
        const CFoundEntry* now = matches[i] == kNone ? nullptr : &foundEntries[matches[i]];
        switch (states[i]) {
        case State::Missing:
            add(VerifyKind::Missing, Utf8::Printable(Joined(work.m_arrGroups[i], entry.m_strName)), {});
            break;
        case State::Ok:
            if (m_request.m_bIncludeOk) {
                add(VerifyKind::Ok, Utf8::Printable(found.RelativePath(*now)), {});
            } else {
                ++m_counts[VerifyKind::Ok];
            }
            break;
        case State::Changed:
            add(VerifyKind::Changed, Utf8::Printable(found.RelativePath(*now)), ChangeOf(entry, *now, locale, upper, datesComparable));
            break;
        case State::Moved:
            add(VerifyKind::Moved, Utf8::Printable(found.RelativePath(*now)),
                work.m_arrGroups[i].empty() ? std::string(".") : Utf8::Printable(work.m_arrGroups[i]));
            break;
        case State::Corrupt:
            add(VerifyKind::Corrupt, Utf8::Printable(found.RelativePath(*now)), std::move(details[i]));
            break;
        case State::Unreadable:
            add(VerifyKind::Unreadable, Utf8::Printable(found.RelativePath(*now)), std::move(details[i]));
            break;
        }
    }
    if (group) {
        addNewOf(*group);
    }
    for (std::size_t j = 0; j < foundEntries.size(); ++j) {
        if (!taken[j] && !shown[j] && listable(foundEntries[j])) {
            addNewOf(foundGroup(foundEntries[j]));
        }
    }
    if (progress) {
        progress(100);
    }
    return true;
}

std::string CMediumVerifier::ChangeOf(const CReportEntry& entry, const CFoundEntry& now, CLocaleFormat& locale,
                                      bool upper, bool datesComparable) {
    std::string detail;
    const auto part = [&](const char* what, std::string_view was, std::string_view is) {
        if (!detail.empty()) {
            detail += "; ";
        }
        detail += what;
        detail.push_back(' ');
        detail.append(was);
        detail += " -> ";
        detail.append(is);
    };
    if (entry.m_nSize != now.m_nSize) {
        part("size", std::to_string(entry.m_nSize), std::to_string(now.m_nSize));
    }
    if (datesComparable) {
        std::string_view date, time;
        if (upper) {
            locale.UpperDateTimeText(now.m_nLastWrite, date, time);
        } else {
            locale.DateTimeText(now.m_nLastWrite, date, time);
        }
        const std::string foundDate(date), foundTime(time);
        if (entry.m_strDate != foundDate) {
            part("date", entry.m_strDate, foundDate);
        }
        if (entry.m_strTime != foundTime) {
            part("time", entry.m_strTime, foundTime);
        }
    }
    return detail;
}
