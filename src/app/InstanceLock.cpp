#include "InstanceLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CInstanceLock::CInstanceLock(const std::string& path) {
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        return;
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        m_bOnly = false;
    }
}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}
