#include "LocalFileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// Debian 12's headers know STATX_MNT_ID (0x1000); the unique mount id came
// with Linux 6.8. The kernel ignores bits it does not know and says in
// stx_mask which it filled.
#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

namespace {

class CFd {
public:
    explicit CFd(int fd) : m_nFd(fd) {}
    ~CFd() {
        if (m_nFd >= 0) {
            close(m_nFd);
        }
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

// Reads up to size bytes at offset; false on a read error.
bool ReadAt(int fd, std::string& out, std::size_t size, off_t offset) {
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, out.data() + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    out.resize(done);
    return true;
}

// The UUID that /dev/disk/by-uuid gives the block device, or empty.
std::string ReadUuidOf(dev_t device) {
    DIR* dir = opendir("/dev/disk/by-uuid");
    if (dir == nullptr) {
        return {};
    }
    std::string uuid;
    while (const dirent* entry = readdir(dir)) {
        struct stat node {};
        if (entry->d_name[0] != '.' && fstatat(dirfd(dir), entry->d_name, &node, 0) == 0 && S_ISBLK(node.st_mode) &&
            node.st_rdev == device) {
            uuid = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return uuid;
}

} // namespace

int CLocalFileSystem::Stat(const std::string& path, CFileVersion& version) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return errno;
    }
    version.m_nDevice = info.st_dev;
    version.m_nInode = info.st_ino;
    version.m_nSize = static_cast<std::uint64_t>(info.st_size);
    version.m_nModifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    version.m_bFolder = S_ISDIR(info.st_mode);
    version.m_bRegular = S_ISREG(info.st_mode);
    return 0;
}

// Looked up again after a moment: a medium may change in its drive.
std::string CLocalFileSystem::UuidOf(std::uint64_t device) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_uuidsRead > std::chrono::seconds(2)) {
        m_mapUuids.clear();
        m_uuidsRead = now;
    }
    const auto known = m_mapUuids.find(device);
    if (known != m_mapUuids.end()) {
        return known->second;
    }
    return m_mapUuids[device] = ReadUuidOf(static_cast<dev_t>(device));
}

std::string CLocalFileSystem::FileSystemOf(const std::string& folder) {
    struct statx info {};
    if (statx(AT_FDCWD, folder.c_str(), 0, STATX_MNT_ID | STATX_MNT_ID_UNIQUE, &info) != 0 ||
        (info.stx_mask & (STATX_MNT_ID | STATX_MNT_ID_UNIQUE)) == 0) {
        return {};
    }
    std::string text = (info.stx_mask & STATX_MNT_ID_UNIQUE) != 0 ? "mount " : "mount-id ";
    text += std::to_string(info.stx_mnt_id);
    text += " device " + std::to_string(info.stx_dev_major) + ":" + std::to_string(info.stx_dev_minor);
    const std::string uuid = UuidOf(makedev(info.stx_dev_major, info.stx_dev_minor));
    if (!uuid.empty()) {
        text += " uuid " + uuid;
    }
    return text;
}

int CLocalFileSystem::ReadHead(const std::string& path, std::size_t bytes, std::string& head) {
    head.clear();
    const CFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
    return ReadAt(fd.Get(), head, bytes, 0) ? 0 : errno;
}
