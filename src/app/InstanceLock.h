#pragma once

#include <string>

// The single-instance guard: an exclusive lock on a file, held while the
// object lives. The kernel drops it when the process ends, however it ends.
class CInstanceLock {
public:
    explicit CInstanceLock(const std::string& path);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // False when another process holds the lock. A lock file that cannot be
    // created at all does not stop the program: it then runs unguarded.
    bool IsOnlyInstance() const { return m_bOnly; }

private:
    int m_fd = -1;
    bool m_bOnly = true;
};
