#include "ReportStream.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

// pread() until count bytes or the end; -1 with errno on failure.
ssize_t ReadAt(int fd, char* into, std::size_t count, off_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, into + done, count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

bool CReportStream::Open(const std::string& path, int& error) {
    m_fd.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!m_fd.IsOpen()) {
        error = errno;
        return false;
    }
    return Identify(error);
}

bool CReportStream::Adopt(int fd, int& error) {
    m_fd.Reset(fd);
    if (!m_fd.IsOpen()) {
        error = EBADF;
        return false;
    }
    return Identify(error);
}

bool CReportStream::Identify(int& error) {
    struct stat info {};
    if (fstat(m_fd.Get(), &info) != 0) {
        error = errno;
        m_fd.Reset();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        m_fd.Reset();
        return false;
    }
    m_nDevice = info.st_dev;
    m_nInode = info.st_ino;
    m_nSize = static_cast<std::uint64_t>(info.st_size);
    m_nModifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    error = 0;
    return true;
}

bool CReportStream::Read(CReportReader& reader, const CReportReader::Sink& sink) {
    m_nReadError = 0;
    reader.Begin();
    const std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ReadAt(m_fd.Get(), buffer.get(), kChunkBytes, offset);
        if (got < 0) {
            m_nReadError = errno;
            return false;
        }
        if (got == 0) {
            return reader.Finish(sink);
        }
        offset += got;
        if (!reader.Feed(std::string_view(buffer.get(), static_cast<std::size_t>(got)), sink)) {
            return false;
        }
    }
}

bool CReportStream::Sniff(CReportReader& reader) {
    m_nReadError = 0;
    char buffer[kSniffBytes];
    const ssize_t got = ReadAt(m_fd.Get(), buffer, sizeof buffer, 0);
    if (got < 0) {
        m_nReadError = errno;
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(got);
    return reader.Sniff(std::string_view(buffer, size), size < sizeof buffer);
}
