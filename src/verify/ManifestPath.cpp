#include "ManifestPath.h"

#include "PathName.h"

#include <cerrno>
#include <string_view>
#include <unistd.h>
#include <sys/stat.h>
#include <strings.h>
#include <vector>

namespace {

std::vector<std::string_view> PathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return parts;
}

} // namespace

std::string ManifestRelativePath(const std::string& base, const std::string& absolute) {
    const auto from = PathParts(base);
    const auto to = PathParts(absolute);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common]) {
        ++common;
    }
    std::string relative;
    for (std::size_t i = common; i < from.size(); ++i) {
        relative += "../";
    }
    for (std::size_t i = common; i < to.size(); ++i) {
        relative += to[i];
        relative += '/';
    }
    if (relative.empty()) {
        return ".";
    }
    relative.pop_back();
    return relative;
}

std::string ManifestFileFor(const std::string& reportPath) {
    static constexpr std::string_view kText = ".txt";
    const std::string_view name = PathName::FileNameOf(reportPath);
    // A name that is only ".txt" (a hidden file) keeps it.
    if (name.size() > kText.size() && strcasecmp(name.data() + name.size() - kText.size(), kText.data()) == 0) {
        return reportPath.substr(0, reportPath.size() - kText.size()) + ".sha256";
    }
    return reportPath + ".sha256";
}

CManifestChoice ManifestToCheck(const std::string& reportPath, const std::string& remembered) {
    const auto modifiedNs = [](const struct stat& info) {
        return static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    };
    struct stat report {};
    const bool reportKnown = stat(reportPath.c_str(), &report) == 0;
    CManifestChoice choice;
    for (const std::string& candidate : {ManifestFileFor(reportPath), remembered}) {
        struct stat info {};
        if (candidate.empty() || stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        if (!reportKnown || modifiedNs(info) >= modifiedNs(report) - kManifestSlackNs) {
            choice.m_strPath = candidate;
            return choice;
        }
        if (choice.m_strIgnoredPath.empty()) {
            choice.m_strIgnoredPath = candidate;
            choice.m_strReason = "the manifest is older than its report and is ignored";
        }
    }
    return choice;
}

int RetireStaleManifest(const std::string& reportPath, const std::string& manifestWritten) {
    const std::string beside = ManifestFileFor(reportPath);
    if (beside == manifestWritten) {
        return 0;
    }
    struct stat info {};
    if (lstat(beside.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return 0;
    }
    return unlink(beside.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}
