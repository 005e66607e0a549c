#include "TempTree.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error(what + ": " + std::to_string(errno));
    }
}

void SetTime(const std::string& path, std::int64_t mtime) {
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(mtime);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    Check(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + path);
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP) {
        chmod(path, 0700);
        return rmdir(path);
    }
    return unlink(path);
}

} // namespace

CTempTree::CTempTree() {
    std::string pattern = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/stowlist-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    m_root = pattern;
}

CTempTree::~CTempTree() {
    // Folders made unreadable by a test must be opened up before removal.
    nftw(
        m_root.c_str(), [](const char* path, const struct stat* info, int type, struct FTW*) {
            if (type == FTW_D || type == FTW_DNR) {
                chmod(path, 0700);
            }
            (void)info;
            return 0;
        },
        64, FTW_PHYS);
    nftw(m_root.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
}

std::string CTempTree::Path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void CTempTree::File(const std::string& relative, std::uint64_t size, std::int64_t mtime) {
    const std::string path = Path(relative);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "create " + path);
    Check(ftruncate(fd, static_cast<off_t>(size)) == 0, "ftruncate " + path);
    close(fd);
    SetTime(path, mtime);
}

void CTempTree::Folder(const std::string& relative, std::int64_t mtime) {
    const std::string path = Path(relative);
    Check(mkdir(path.c_str(), 0755) == 0 || errno == EEXIST, "mkdir " + path);
    m_folderTimes.push_back({path, mtime});
}

void CTempTree::Symlink(const std::string& relative, const std::string& target, std::int64_t mtime) {
    const std::string path = Path(relative);
    Check(symlink(target.c_str(), path.c_str()) == 0, "symlink " + path);
    SetTime(path, mtime);
}

void CTempTree::WriteText(const std::string& relative, const std::string& text) {
    std::ofstream(Path(relative), std::ios::binary) << text;
}

std::string CTempTree::ReadText(const std::string& relative) const { return ReadFile(Path(relative)); }

std::string CTempTree::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool CTempTree::Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

void CTempTree::Finish() {
    // Deepest first: setting a folder's time must come after its contents change.
    for (auto it = m_folderTimes.rbegin(); it != m_folderTimes.rend(); ++it) {
        SetTime(it->path, it->mtime);
    }
}

std::string UpperAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::int64_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(mktime(&fields));
}

void UseTestTimeZone() {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
}
