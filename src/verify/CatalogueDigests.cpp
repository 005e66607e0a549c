#include "CatalogueDigests.h"

#include "BasePath.h"
#include "LocaleFormat.h"
#include "ManifestDigests.h"
#include "ManifestPath.h"
#include "ManifestReader.h"
#include "ReportReader.h"

#include <algorithm>
#include <deque>

namespace {

// The base the manifest's paths are relative to, as a check finds it: a
// listing's first record; for an archive report with a log, the first
// archive's folder when it is a whole medium (written with its final
// separator), else the folder that holds it.
std::string BaseOf(const CReportForDigests& report) {
    const auto& entries = report.m_arrEntries;
    if (report.m_layout != ReportLayout::ArchiveReport) {
        return entries.empty() ? std::string() : std::string(entries.front().m_strFolder);
    }
    std::string_view text = report.m_strLogText;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string_view tag, folder;
        if (CReportReader::ParseLogLine(line, tag, folder) && !folder.empty()) {
            const bool root = folder.back() == '/' || folder.back() == '\\';
            return std::string(root ? folder : BasePath::FolderOf(folder));
        }
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return {};
}

} // namespace

std::vector<std::optional<EntryDigest>> CatalogueDigests::FromManifest(const CReportForDigests& report) {
    std::vector<std::optional<EntryDigest>> digests(report.m_arrEntries.size());
    const CManifestChoice choice = ManifestToCheck(report.m_strReportPath, report.m_strRememberedManifest);
    CManifestReader manifest;
    if (choice.m_strPath.empty() || !manifest.ReadFile(choice.m_strPath)) {
        return digests;
    }
    const bool logKnown = report.m_layout == ReportLayout::ArchiveReport && !report.m_strLogText.empty();
    const bool grouped = report.m_layout != ReportLayout::ArchiveReport || logKnown;
    const std::string base = grouped ? BaseOf(report) : std::string();
    std::deque<std::string> rewritten; // groups spelled with "\" given with "/"
    std::vector<CDigestSubject> subjects;
    subjects.reserve(report.m_arrEntries.size());
    for (const CReportEntry& entry : report.m_arrEntries) {
        std::string_view group;
        if (grouped) {
            group = BasePath::Strip(base, entry.m_strFolder);
            if (group.find('\\') != std::string_view::npos) {
                std::string& text = rewritten.emplace_back(group);
                std::replace(text.begin(), text.end(), '\\', '/');
                group = text;
            }
        }
        subjects.push_back({group, entry.m_strName, !entry.m_bFolder});
    }
    const CLocaleFormat upper = CLocaleFormat::FromEnvironment();
    const std::vector<std::uint32_t> lines =
        ManifestDigests::Attach(subjects, report.m_layout, logKnown, manifest.Entries(), upper);
    for (std::size_t i = 0; i < lines.size() && i < digests.size(); ++i) {
        if (lines[i] != ManifestDigests::kNoLine) {
            digests[i] = manifest.Entries()[lines[i]].m_digest;
        }
    }
    return digests;
}
