#include "ManifestDigests.h"

#include "LocaleFormat.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

std::string_view NameOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The manifest's path without a leading "./".
std::string_view Plain(std::string_view path) {
    while (path.substr(0, 2) == "./") {
        path.remove_prefix(2);
    }
    return path;
}

// Each name of some manifest lines: its line when it is the only one, else kNoLine.
using LineOfName = std::unordered_map<std::string_view, std::uint32_t>;

void AddName(LineOfName& lines, std::string_view name, std::uint32_t line) {
    const auto [at, inserted] = lines.emplace(name, line);
    if (!inserted) {
        at->second = ManifestDigests::kNoLine;
    }
}

std::vector<std::uint32_t> AttachToListing(const std::vector<CDigestSubject>& subjects,
                                           const std::vector<CManifestEntry>& manifest, const CLocaleFormat& upper) {
    std::unordered_map<std::string, std::uint32_t> lineOfPath;
    std::string key;
    for (std::size_t k = 0; k < manifest.size(); ++k) {
        key.clear();
        upper.AppendUpper(key, Plain(manifest[k].m_strPath));
        const auto [at, inserted] = lineOfPath.emplace(key, static_cast<std::uint32_t>(k));
        if (!inserted) {
            at->second = ManifestDigests::kNoLine;
        }
    }
    std::vector<std::uint32_t> lines(subjects.size(), ManifestDigests::kNoLine);
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        if (!subjects[i].m_bFile) {
            continue;
        }
        key.clear();
        if (!subjects[i].m_strFolder.empty()) {
            upper.AppendUpper(key, subjects[i].m_strFolder);
            key.push_back('/');
        }
        upper.AppendUpper(key, subjects[i].m_strName);
        const auto at = lineOfPath.find(key);
        if (at != lineOfPath.end()) {
            lines[i] = at->second;
        }
    }
    return lines;
}

std::vector<std::uint32_t> AttachToArchive(const std::vector<CDigestSubject>& subjects, bool logKnown,
                                           const std::vector<CManifestEntry>& manifest) {
    std::vector<std::uint32_t> lines(subjects.size(), ManifestDigests::kNoLine);
    // The lines under each archive folder (every line when the log is not known).
    std::unordered_map<std::string_view, LineOfName> namesUnder;
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        if (!subjects[i].m_bFile) {
            continue;
        }
        const std::string_view folder = logKnown ? subjects[i].m_strFolder : std::string_view();
        auto [at, inserted] = namesUnder.try_emplace(folder);
        if (inserted) {
            for (std::size_t k = 0; k < manifest.size(); ++k) {
                const std::string_view path = Plain(manifest[k].m_strPath);
                const bool under = folder.empty() || (path.size() > folder.size() && path[folder.size()] == '/' &&
                                                      path.substr(0, folder.size()) == folder);
                if (under) {
                    AddName(at->second, NameOfPath(path), static_cast<std::uint32_t>(k));
                }
            }
        }
        const auto line = at->second.find(subjects[i].m_strName);
        if (line != at->second.end()) {
            lines[i] = line->second;
        }
    }
    return lines;
}

} // namespace

std::vector<std::uint32_t> ManifestDigests::Attach(const std::vector<CDigestSubject>& subjects, ReportLayout layout,
                                                   bool logKnown, const std::vector<CManifestEntry>& manifest,
                                                   const CLocaleFormat& upper) {
    if (manifest.empty()) {
        return std::vector<std::uint32_t>(subjects.size(), kNoLine);
    }
    if (layout == ReportLayout::ArchiveReport) {
        return AttachToArchive(subjects, logKnown, manifest);
    }
    return AttachToListing(subjects, manifest, upper);
}
