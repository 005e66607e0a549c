#include "ReportComparer.h"

#include "EntryMatcher.h"
#include "LocaleFormat.h"
#include "ManifestDigests.h"
#include "ManifestReader.h"
#include "MatchAccount.h"
#include "ReportEntries.h"
#include "ReportReader.h"
#include "ReportSide.h"
#include "Utf8.h"

#include <exception>
#include <map>
#include <thread>
#include <unordered_map>

namespace {

constexpr std::uint32_t kNone = ManifestDigests::kNoLine;

// A report as a check reads it; an archive report whose log starts with a
// medium's root has its base there.
CVerifyRequest RequestOf(const CCompareSide& side) {
    CVerifyRequest request;
    request.m_strReportPath = side.m_strReportPath;
    request.m_logText = side.m_logText;
    if (side.m_logText) {
        std::string_view line = std::string_view(*side.m_logText).substr(0, side.m_logText->find('\n'));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string_view tag, folder;
        if (CReportReader::ParseLogLine(line, tag, folder) && folder.size() > 1 &&
            (folder.back() == '/' || folder.back() == '\\')) {
            request.m_arrPaths.emplace_back(folder);
        }
    }
    return request;
}

// The form of a report's dates, from the distinct texts of its files.
CDateForm FormOf(const CReportSide& report) {
    std::vector<bool> dateUsed(report.Dates().size()), timeUsed(report.Times().size());
    for (std::size_t i = report.FirstEntry(); i < report.Count(); ++i) {
        if (!report.IsFolder(i)) {
            dateUsed[report.DateNumberOf(i)] = true;
            timeUsed[report.TimeNumberOf(i)] = true;
        }
    }
    const auto used = [](const std::vector<std::string_view>& texts, const std::vector<bool>& isUsed) {
        std::vector<std::string_view> kept;
        for (std::size_t k = 0; k < texts.size(); ++k) {
            if (isUsed[k]) {
                kept.push_back(texts[k]);
            }
        }
        return kept;
    };
    return CDateForm::Of(used(report.Dates(), dateUsed), used(report.Times(), timeUsed), report.Options().IsListing());
}

std::string Joined(std::string_view group, std::string_view name) {
    std::string path(group);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

// Every entry's name in upper case, end to end in `text`.
std::vector<std::string_view> UpperNames(const CReportSide& report, const CLocaleFormat& upper, std::string& text) {
    std::vector<std::size_t> ends;
    ends.reserve(report.Count());
    for (std::size_t i = 0; i < report.Count(); ++i) {
        upper.AppendUpper(text, report.NameOf(i));
        ends.push_back(text.size());
    }
    std::vector<std::string_view> names;
    names.reserve(report.Count());
    std::size_t begin = 0;
    for (const std::size_t end : ends) {
        names.push_back(std::string_view(text).substr(begin, end - begin));
        begin = end;
    }
    return names;
}

// Each entry's digest from the report's manifest (none when it has no manifest).
bool DigestsOf(const CReportSide& report, const std::string& manifestPath, const CLocaleFormat& upper,
               CManifestReader& manifest, std::vector<std::uint32_t>& lines, std::string& error) {
    if (manifestPath.empty()) {
        return true;
    }
    if (!manifest.ReadFile(manifestPath)) {
        error = manifestPath + ": " + manifest.FaultText();
        return false;
    }
    std::vector<CDigestSubject> subjects;
    subjects.reserve(report.Count());
    for (std::size_t i = 0; i < report.Count(); ++i) {
        subjects.push_back({report.GroupOf(i), report.NameOf(i), !report.IsFolder(i)});
    }
    lines = ManifestDigests::Attach(subjects, report.Layout(), report.LogKnown(), manifest.Entries(), upper);
    return true;
}

std::string_view DigestKey(const Sha256Digest& digest) {
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// Files and bytes in and below each folder of a report, added to `totals`.
void AddTotals(const CReportSide& report, bool isNew, std::map<std::string, CFolderTotals>& totals) {
    std::unordered_map<std::string_view, std::pair<std::uint64_t, std::uint64_t>> byGroup;
    for (std::size_t i = report.FirstEntry(); i < report.Count(); ++i) {
        auto& sums = byGroup[report.GroupOf(i)];
        if (!report.IsFolder(i)) {
            ++sums.first;
            sums.second += report.SizeOf(i);
        }
    }
    for (const auto& [group, sums] : byGroup) {
        std::string_view folder = group;
        for (;;) {
            CFolderTotals& line = totals[folder.empty() ? std::string(".") : std::string(folder)];
            (isNew ? line.m_nNewFiles : line.m_nOldFiles) += sums.first;
            (isNew ? line.m_nNewBytes : line.m_nOldBytes) += sums.second;
            if (folder.empty()) {
                break;
            }
            const std::size_t slash = folder.rfind('/');
            folder = slash == std::string_view::npos ? std::string_view() : folder.substr(0, slash);
        }
    }
}

} // namespace

CReportComparer::CReportComparer(CCompareRequest request) : m_request(std::move(request)) {}

CReportComparer::Outcome CReportComparer::Fail(std::string text) {
    m_strError = std::move(text);
    return Outcome::Unreadable;
}

CReportComparer::Outcome CReportComparer::Run(const ProgressFn& progress) {
    const auto step = [&](int percent) {
        if (progress) {
            progress(percent);
        }
        return !m_bCancel;
    };
    const CVerifyRequest oldRequest = RequestOf(m_request.m_old);
    const CVerifyRequest newRequest = RequestOf(m_request.m_new);
    CReportSide oldReport(oldRequest), newReport(newRequest);
    // The two reports are read side by side: each costs about as much as all the rest.
    bool newRead = false;
    std::exception_ptr newFailure;
    std::thread reading([&] {
        try {
            newRead = newReport.Load() && newReport.Read();
        } catch (...) {
            newFailure = std::current_exception();
        }
    });
    bool oldRead = false;
    std::exception_ptr oldFailure;
    try {
        oldRead = oldReport.Load() && oldReport.Read();
    } catch (...) {
        oldFailure = std::current_exception();
    }
    reading.join();
    for (const std::exception_ptr& failure : {oldFailure, newFailure}) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    if (!oldRead || !newRead) {
        return Fail(!oldRead ? oldReport.Error() : newReport.Error());
    }
    if (!step(40)) {
        return Outcome::Cancelled;
    }
    CReportEntries found(newReport);
    CEntryMatcher matcher(oldReport, found);
    // A listing writes names in upper case and no archive: against an
    // archive report, names compare anywhere, in upper case.
    const bool oldListing = oldReport.Options().IsListing();
    const bool newListing = newReport.Options().IsListing();
    const CLocaleFormat upper = CLocaleFormat::FromEnvironment();
    std::string oldNameText, newNameText;
    std::vector<std::string_view> oldNames, newNames;
    if (oldListing != newListing) {
        m_arrHints.push_back("a listing compared with an archive report: names are matched anywhere, ignoring case");
        matcher.MatchAnywhere();
        oldNames = UpperNames(oldReport, upper, oldNameText);
        newNames = UpperNames(newReport, upper, newNameText);
        matcher.CompareNames(&oldNames);
        found.CompareNames(&newNames);
    } else if (!oldListing && (!oldReport.LogKnown() || !newReport.LogKnown())) {
        matcher.MatchAnywhere();
    }
    const CDateForm oldForm = FormOf(oldReport);
    const CDateForm newForm = FormOf(newReport);
    if (oldForm.SameAs(newForm)) {
        found.NumberTextsAs(oldReport);
    } else if (oldForm.Known() && newForm.Known()) {
        found.ConvertDates(&newForm, &oldForm);
    } else {
        std::string unknown;
        for (const auto* side : {&m_request.m_old, &m_request.m_new}) {
            if (!(side == &m_request.m_old ? oldForm : newForm).Known()) {
                unknown += unknown.empty() ? "" : " and ";
                unknown += Utf8::Printable(side->m_strReportPath);
            }
        }
        m_arrHints.push_back("the form of the dates and times in " + unknown +
                             " is not one of an installed locale; comparing names and sizes only");
        matcher.CompareDates(false);
    }
    if (!step(50)) {
        return Outcome::Cancelled;
    }
    matcher.Match();
    if (oldListing && !newListing) {
        // An archive report lists no folders: the listing's cannot be told missing.
        for (std::size_t i = oldReport.FirstEntry(); i < oldReport.Count(); ++i) {
            if (oldReport.IsFolder(i) && matcher.StateOf(i) == EntryState::Missing) {
                matcher.SetState(i, EntryState::Ok);
            }
        }
    }
    if (!step(80)) {
        return Outcome::Cancelled;
    }

    CManifestReader oldManifest, newManifest;
    std::vector<std::uint32_t> oldLines, newLines;
    std::string error;
    if (!DigestsOf(oldReport, m_request.m_old.m_strManifestPath, upper, oldManifest, oldLines, error) ||
        !DigestsOf(newReport, m_request.m_new.m_strManifestPath, upper, newManifest, newLines, error)) {
        return Fail(error);
    }
    std::unordered_map<std::size_t, std::string> details;
    if (!oldLines.empty() && !newLines.empty()) {
        const auto digestOfOld = [&](std::size_t i) { return &oldManifest.Entries()[oldLines[i]].m_digest; };
        const auto newLineOf = [&](std::uint32_t j) { return newLines[found.EntryOf(j)]; };
        // The same name, size, date and time, other bytes: corrupt.
        for (std::size_t i = oldReport.FirstEntry(); i < oldReport.Count(); ++i) {
            if (matcher.StateOf(i) != EntryState::Ok || oldLines[i] == kNone || newLineOf(matcher.PairOf(i)) == kNone) {
                continue;
            }
            const Sha256Digest& was = *digestOfOld(i);
            const Sha256Digest& now = newManifest.Entries()[newLineOf(matcher.PairOf(i))].m_digest;
            if (was != now) {
                matcher.SetState(i, EntryState::Corrupt);
                details[i] = "sha256 " + DigestHex(was) + " -> " + DigestHex(now);
            }
        }
        // The same bytes under another name or in another folder: moved.
        std::unordered_map<std::string_view, std::vector<std::uint32_t>> newByDigest;
        for (std::size_t j = found.Count(); j-- > 0;) {
            if (!matcher.Taken(j) && !found.IsFolder(j) && newLineOf(static_cast<std::uint32_t>(j)) != kNone) {
                newByDigest[DigestKey(newManifest.Entries()[newLineOf(static_cast<std::uint32_t>(j))].m_digest)]
                    .push_back(static_cast<std::uint32_t>(j)); // the first last
            }
        }
        for (std::size_t i = oldReport.FirstEntry(); i < oldReport.Count() && !newByDigest.empty(); ++i) {
            if (matcher.StateOf(i) != EntryState::Missing || oldReport.IsFolder(i) || oldLines[i] == kNone) {
                continue;
            }
            const auto at = newByDigest.find(DigestKey(*digestOfOld(i)));
            if (at == newByDigest.end()) {
                continue;
            }
            matcher.Pair(i, at->second.back(), EntryState::Moved);
            at->second.pop_back();
            if (at->second.empty()) {
                newByDigest.erase(at);
            }
        }
    }
    if (!step(90)) {
        return Outcome::Cancelled;
    }

    const auto movedFrom = [&](std::size_t i) {
        return Utf8::Printable(Joined(oldReport.GroupOf(i), oldReport.NameOf(i)));
    };
    CMatchAccount::Build(oldReport, found, matcher, m_request.m_bIncludeOk, movedFrom, details, m_arrLines, m_counts);
    for (const std::string& hint : matcher.Hints()) {
        m_arrHints.push_back(hint);
    }

    if (!m_request.m_bFolderTotals) {
        step(100);
        return Outcome::Compared;
    }
    std::map<std::string, CFolderTotals> totals;
    AddTotals(oldReport, false, totals);
    AddTotals(newReport, true, totals);
    const auto differs = [](const CFolderTotals& t) {
        return t.m_nOldFiles != t.m_nNewFiles || t.m_nOldBytes != t.m_nNewBytes;
    };
    if (const auto base = totals.find("."); base != totals.end() && differs(base->second)) {
        m_arrFolders.push_back(base->second);
        m_arrFolders.back().m_strFolder = ".";
    }
    for (auto& [folder, line] : totals) {
        if (folder != "." && differs(line)) {
            line.m_strFolder = Utf8::Printable(folder);
            m_arrFolders.push_back(std::move(line));
        }
    }
    step(100);
    return Outcome::Compared;
}
