#include "SequentialReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

int KindError(mode_t mode) {
    if (S_ISLNK(mode)) {
        return ELOOP;
    }
    return S_ISDIR(mode) ? EISDIR : ENOTSUP;
}

} // namespace

int CSequentialReader::Open(const std::string& path) {
    m_fd.Reset();
    // Looked at before opening, so that opening a device never happens.
    struct stat before {};
    if (lstat(path.c_str(), &before) != 0) {
        return errno;
    }
    if (!S_ISREG(before.st_mode)) {
        return KindError(before.st_mode);
    }
    CFileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.IsOpen()) {
        return errno;
    }
    // Replaced between the look and the open: whatever it is now must be a
    // regular file too.
    struct stat opened {};
    if (fstat(fd.Get(), &opened) != 0) {
        return errno;
    }
    if (!S_ISREG(opened.st_mode)) {
        return KindError(opened.st_mode);
    }
    posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = std::move(fd);
    return 0;
}

int CSequentialReader::Read(void* buffer, std::size_t capacity, std::size_t& length) {
    length = 0;
    if (!m_fd.IsOpen()) {
        return EBADF;
    }
    auto* bytes = static_cast<char*>(buffer);
    while (length < capacity) {
        const ssize_t got = read(m_fd.Get(), bytes + length, capacity - length);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        length += static_cast<std::size_t>(got);
    }
    return 0;
}
