#include "ReportFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

bool CReportFile::Load(const std::string& path, std::uint64_t maxBytes, int& error) {
    m_strBytes.clear();
    const CFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        error = EFBIG;
        return false;
    }
    m_nDevice = info.st_dev;
    m_nInode = info.st_ino;
    m_nSize = static_cast<std::uint64_t>(info.st_size);
    m_nModifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    m_strBytes.resize(m_nSize);
    std::size_t done = 0;
    while (done < m_strBytes.size()) {
        const ssize_t got = read(fd.Get(), m_strBytes.data() + done, m_strBytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = errno;
            return false;
        }
        if (got == 0) {
            break; // the file shrank meanwhile
        }
        done += static_cast<std::size_t>(got);
    }
    m_strBytes.resize(done);
    error = 0;
    return true;
}
