#include "MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CMappedFile::~CMappedFile() {
    if (m_pData != nullptr) {
        munmap(m_pData, m_nSize);
    }
}

bool CMappedFile::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && info.st_size > 0) {
        void* data = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ok = data != MAP_FAILED;
        if (ok) {
            m_pData = data;
            m_nSize = static_cast<std::size_t>(info.st_size);
        }
    }
    close(fd);
    return ok;
}

void CMappedFile::ReleasePages() const {
    if (m_pData != nullptr) {
        madvise(m_pData, m_nSize, MADV_DONTNEED);
    }
}
