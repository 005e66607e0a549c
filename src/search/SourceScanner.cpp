#include "SourceScanner.h"

#include "ReportReader.h"
#include "ReportStream.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

class CDir {
public:
    explicit CDir(const std::string& path) : m_pDir(opendir(path.c_str())) {}
    ~CDir() {
        if (m_pDir != nullptr) {
            closedir(m_pDir);
        }
    }
    CDir(const CDir&) = delete;
    CDir& operator=(const CDir&) = delete;
    DIR* Get() const { return m_pDir; }

private:
    DIR* m_pDir;
};

// Regular files under folder, links not followed.
void CollectFiles(const std::string& folder, std::vector<std::string>& files, int depth) {
    const CDir dir(folder);
    if (dir.Get() == nullptr || depth > 256) {
        return;
    }
    while (const dirent* entry = readdir(dir.Get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            CollectFiles(path, files, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            files.push_back(path);
        }
    }
}

} // namespace

CSourceScanner::CSourceScanner(std::string cataloguePath, ISourceFileSystem& fileSystem)
    : m_strCataloguePath(std::move(cataloguePath)), m_fileSystem(fileSystem) {}

CSourceScanner::CSniff CSourceScanner::Sniff(const std::string& path) {
    CSniff sniff;
    std::string head;
    if (const int error = m_fileSystem.ReadHead(path, kSniffBytes, head); error != 0) {
        sniff.m_strReason = std::strerror(error);
        return sniff;
    }
    CReportReader reader;
    sniff.m_bReport = reader.Sniff(head, head.size() < kSniffBytes);
    if (sniff.m_bReport) {
        sniff.m_kind = reader.Layout() == ReportLayout::ArchiveLog ? SourceKind::Log : SourceKind::Report;
    } else {
        sniff.m_strReason = reader.Reason();
    }
    return sniff;
}

CSourceScanner::CFolderScan CSourceScanner::ScanFolder(
    const std::string& folder, const std::function<bool(const std::string&)>& known,
    const std::function<bool(const std::string&, const CFileVersion&)>& remembered, const std::atomic<bool>& cancel) {
    std::vector<std::string> files;
    CollectFiles(folder, files, 0);
    CFolderScan scan;
    for (const std::string& path : files) {
        if (cancel) {
            break;
        }
        CFound found{path, SourceKind::Report, {}};
        if (path == m_strCataloguePath || known(path) || m_fileSystem.Stat(path, found.m_version) != 0 ||
            !found.m_version.m_bRegular || remembered(path, found.m_version)) {
            continue;
        }
        const CSniff sniff = Sniff(path);
        found.m_kind = sniff.m_kind;
        (sniff.m_bReport ? scan.m_arrReports : scan.m_arrNonReports).push_back(std::move(found));
    }
    return scan;
}

std::string CSourceScanner::FileSystemOfFile(const std::string& path) {
    return m_fileSystem.FileSystemOf(ParentOf(path));
}

CSourceScanner::CCheck CSourceScanner::Check(const CSourceRow& row, CFileSystems& seen) {
    CCheck check;
    CFileVersion version;
    const int error = m_fileSystem.Stat(row.m_strPath, version);
    if (error == ENOENT || error == ENOTDIR) {
        CFileVersion parent;
        const std::string folder = ParentOf(row.m_strPath);
        if (row.m_kind != SourceKind::Folder && !row.m_strFileSystem.empty() &&
            m_fileSystem.Stat(folder, parent) == 0 && parent.m_bFolder &&
            m_fileSystem.FileSystemOf(folder) == row.m_strFileSystem) {
            check.m_verdict = Verdict::Delete; // deleted or moved
        } else if (row.m_state != SourceState::Missing) {
            check.m_verdict = Verdict::MarkMissing;
        }
        return check;
    }
    if (error != 0) {
        check.m_nError = error;
        if (row.m_state != SourceState::Unreadable || row.m_nMtime != kNotLookedAt) {
            check.m_verdict = Verdict::MarkUnreadable;
        }
        return check;
    }
    if (row.m_kind == SourceKind::Folder) {
        check.m_verdict = row.m_state == SourceState::Ok ? Verdict::Unchanged : Verdict::MarkOk;
        return check;
    }
    const std::string folder = ParentOf(row.m_strPath);
    const auto known = seen.find(folder);
    check.m_strFileSystem = known != seen.end() ? known->second : (seen[folder] = m_fileSystem.FileSystemOf(folder));
    if (row.m_state == SourceState::Changed || row.m_state == SourceState::Missing ||
        static_cast<std::int64_t>(version.m_nSize) != row.m_nSize || version.m_nModifiedNs != row.m_nMtime) {
        check.m_verdict = Verdict::Read;
    }
    return check;
}
