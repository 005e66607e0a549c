#include "AtomicFile.h"

#include "PathName.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (length < 0) {
            return current;
        }
        std::string target(buffer.data(), static_cast<std::size_t>(length));
        if (target.empty() || target.front() != '/') {
            target = std::string(PathName::FolderOf(current)) + target;
        }
        current = std::move(target);
    }
    return current;
}

mode_t CurrentUmask() {
    // "Umask:" in /proc/self/status (Linux 4.7 and later); umask() itself
    // would clear the mask for every thread while it is read.
    const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[4096];
        const ssize_t length = read(fd, buffer, sizeof buffer - 1);
        close(fd);
        const std::string_view text(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
        constexpr std::string_view kKey = "\nUmask:";
        if (const auto at = text.find(kKey); at != std::string_view::npos) {
            auto start = at + kKey.size();
            while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
                ++start;
            }
            unsigned mask = 0;
            const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), mask, 8);
            if (error == std::errc() && end != text.data() + start) {
                return static_cast<mode_t>(mask & 0777);
            }
        }
    }
    return 022;
}

CAtomicFile::~CAtomicFile() { Abandon(); }

bool CAtomicFile::Fail(int error) {
    m_nError = error != 0 ? error : EIO;
    return false;
}

bool CAtomicFile::Open(const std::string& target) {
    Abandon();
    m_nError = 0;
    m_strTarget = FollowLinks(target);
    struct stat existing {};
    const bool exists = stat(m_strTarget.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return Fail(EISDIR);
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // Non-blocking open: a pipe without a reader fails instead of hanging.
        m_fd = open(m_strTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0) {
            return Fail(errno);
        }
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    if (exists && access(m_strTarget.c_str(), W_OK) != 0) {
        return Fail(errno); // a read-only file is not silently replaced
    }
    const std::string folder(PathName::FolderOf(m_strTarget));
    const std::string name(PathName::FileNameOf(m_strTarget));
    if (name.empty()) {
        return Fail(EISDIR);
    }
    std::string pattern = folder + "." + name.substr(0, 200) + ".XXXXXX";
    m_fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return Fail(errno);
    }
    m_strTemp = std::move(pattern);
    m_nWritten = 0;
    m_nWriteBackStart = 0;
    // The folder, held open so the temporary file can be removed even when the
    // folder has been moved or renamed meanwhile.
    m_folderFd = open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const mode_t mode = exists ? (existing.st_mode & 07777) : static_cast<mode_t>(0666 & ~CurrentUmask());
    fchmod(m_fd, mode);
    return true;
}

void CAtomicFile::Attach(int fd) {
    Abandon();
    m_nError = 0;
    m_strTarget.clear();
    m_fd = fd;
    m_bAttached = true;
}

bool CAtomicFile::Write(std::string_view bytes) {
    if (m_fd < 0) {
        return Fail(m_nError != 0 ? m_nError : EBADF);
    }
    while (!bytes.empty()) {
        const ssize_t written = write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        m_nWritten += static_cast<std::uint64_t>(written);
    }
    if (!m_strTemp.empty() && m_nWritten - m_nWriteBackStart >= kWriteBackChunk) {
        StartWriteBack();
    }
    return true;
}

// Only a start: the data is durable after Commit's fsync, which waits for
// these writes too and reports their failures, so the result is not needed here.
void CAtomicFile::StartWriteBack() {
    const auto length = static_cast<off64_t>(m_nWritten - m_nWriteBackStart);
    sync_file_range(m_fd, static_cast<off64_t>(m_nWriteBackStart), length, SYNC_FILE_RANGE_WRITE);
    m_nWriteBackStart = m_nWritten;
}

bool CAtomicFile::Commit() {
    if (m_fd < 0) {
        return Fail(m_nError != 0 ? m_nError : EBADF);
    }
    if (!m_strTemp.empty() && fsync(m_fd) != 0) {
        const int error = errno;
        Abandon();
        return Fail(error);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (m_bAttached) {
        m_bAttached = false;
        return true;
    }
    if (close(fd) != 0 && !m_strTemp.empty()) {
        const int error = errno;
        RemoveTemp();
        return Fail(error);
    }
    if (!m_strTemp.empty()) {
        if (rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) {
            const int error = errno;
            RemoveTemp();
            return Fail(error);
        }
        m_strTemp.clear();
        // The rename lives in the folder: flushed too, or a power loss can undo it.
        if (m_folderFd >= 0) {
            const int folder = openat(m_folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folder >= 0) {
                fsync(folder);
                close(folder);
            }
        }
        CloseFolder();
    }
    return true;
}

void CAtomicFile::RemoveTemp() {
    if (!m_strTemp.empty()) {
        const std::string name(PathName::FileNameOf(m_strTemp));
        if (m_folderFd < 0 || unlinkat(m_folderFd, name.c_str(), 0) != 0) {
            unlink(m_strTemp.c_str());
        }
        m_strTemp.clear();
    }
    CloseFolder();
}

void CAtomicFile::CloseFolder() {
    if (m_folderFd >= 0) {
        close(m_folderFd);
        m_folderFd = -1;
    }
}

void CAtomicFile::Abandon() {
    if (m_fd >= 0 && !m_bAttached) {
        close(m_fd);
    }
    m_fd = -1;
    m_bAttached = false;
    RemoveTemp();
}
