#include "SourceScanner.h"

#include "ReportFile.h"
#include "ReportReader.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr std::uint64_t kLargestReport = std::uint64_t(4) << 30;

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::int64_t ModifiedNs(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
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

CSourceScanner::CSourceScanner(std::string cataloguePath) : m_strCataloguePath(std::move(cataloguePath)) {}

SourceKind CSourceScanner::SniffKind(const std::string& path) {
    CReportFile file;
    CReportReader reader;
    int error = 0;
    if (file.Load(path, kLargestReport, error) && reader.Read(file.m_strBytes, [](const CReportEntry&) {}) &&
        reader.Layout() == ReportLayout::ArchiveLog) {
        return SourceKind::Log;
    }
    return SourceKind::Report;
}

std::vector<CSourceScanner::CFound> CSourceScanner::FindNew(const std::string& folder,
                                                            const std::function<bool(const std::string&)>& known,
                                                            const std::atomic<bool>& cancel) const {
    std::vector<std::string> files;
    CollectFiles(folder, files, 0);
    std::vector<CFound> found;
    CReportReader reader;
    CReportFile file;
    for (const std::string& path : files) {
        if (cancel) {
            break;
        }
        if (known(path)) {
            continue;
        }
        int error = 0;
        if (path == m_strCataloguePath || !file.Load(path, kLargestReport, error) ||
            !reader.Read(file.m_strBytes, [](const CReportEntry&) {})) {
            continue; // not a report: not a source
        }
        found.push_back({path, reader.Layout() == ReportLayout::ArchiveLog ? SourceKind::Log : SourceKind::Report});
    }
    return found;
}

CSourceScanner::Verdict CSourceScanner::Check(const CSourceRow& row) const {
    struct stat info {};
    if (stat(row.m_strPath.c_str(), &info) != 0) {
        struct stat parent {};
        const bool folderThere = stat(ParentOf(row.m_strPath).c_str(), &parent) == 0;
        if (folderThere && row.m_kind != SourceKind::Folder) {
            return Verdict::Delete; // deleted or moved
        }
        return row.m_state == SourceState::Missing ? Verdict::Unchanged : Verdict::MarkMissing;
    }
    if (row.m_kind == SourceKind::Folder) {
        return row.m_state == SourceState::Ok ? Verdict::Unchanged : Verdict::MarkOk;
    }
    if (row.m_state == SourceState::Changed || row.m_state == SourceState::Missing ||
        static_cast<std::int64_t>(info.st_size) != row.m_nSize || ModifiedNs(info) != row.m_nMtime) {
        return Verdict::Read;
    }
    return Verdict::Unchanged;
}
