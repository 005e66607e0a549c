#include "SettingsStore.h"

#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// The whole file if it is a regular file of sensible size, else nothing.
std::string ReadSmallFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::string text;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) <= CSettingsStore::kMaxFileSize) {
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || text.size() + static_cast<std::size_t>(n) > CSettingsStore::kMaxFileSize) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return text;
}

void MakeParentFolders(const std::string& path) {
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

} // namespace

bool CSettingsStore::FileIdentity::operator==(const FileIdentity& other) const {
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

CSettingsLock::~CSettingsLock() {
    if (m_pStore != nullptr) {
        m_pStore->Unlock();
    }
}

CSettingsStore::CSettingsStore(std::string path) : m_strPath(std::move(path)) {}

CSettingsStore::~CSettingsStore() {
    if (m_nLockFd >= 0) {
        close(m_nLockFd);
    }
}

CSettingsStore::FileIdentity CSettingsStore::IdentityOf(const std::string& path) {
    FileIdentity identity;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        identity.size = info.st_size;
        identity.modified = info.st_mtim;
        identity.changed = info.st_ctim;
    }
    return identity;
}

timespec CSettingsStore::RealTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

void CSettingsStore::Load() {
    // Identity first: a change racing with the read is caught by the next check.
    m_identity = m_identityOf(m_strPath);
    m_document = CIniDocument(m_identity.exists ? ReadSmallFile(m_strPath) : std::string());
    m_bLoaded = true;
}

void CSettingsStore::Refresh() {
    if (!m_bLoaded || !(m_identityOf(m_strPath) == m_identity)) {
        Load();
        return;
    }
    const timespec now = m_now();
    const std::int64_t age = (static_cast<std::int64_t>(now.tv_sec) - m_identity.modified.tv_sec) * 1'000'000'000 +
                             (now.tv_nsec - m_identity.modified.tv_nsec);
    if (m_identity.exists && age < kRacySeconds * 1'000'000'000) {
        Load(); // too recent to trust the identity
    }
}

CSettingsLock CSettingsStore::Lock() {
    if (m_nLockDepth++ == 0) {
        // Beside the path as named: a link to a device must not put a file beside the device.
        MakeParentFolders(m_strPath);
        m_nLockFd = open((m_strPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
        while (m_nLockFd >= 0 && flock(m_nLockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return CSettingsLock(this);
}

void CSettingsStore::Unlock() {
    if (--m_nLockDepth == 0 && m_nLockFd >= 0) {
        close(m_nLockFd); // the lock goes with the descriptor
        m_nLockFd = -1;
    }
}

int CSettingsStore::GetInt(std::string_view section, std::string_view key, int defaultValue) {
    Refresh();
    const auto value = m_document.Find(section, key);
    return value && !value->empty() ? ParseProfileInt(*value) : defaultValue;
}

std::string CSettingsStore::GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) {
    Refresh();
    auto value = m_document.Find(section, key);
    std::string text = value ? std::move(*value) : std::string(defaultValue);
    if (text.size() > kMaxValueLength) {
        text.resize(kMaxValueLength);
    }
    return text;
}

bool CSettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool CSettingsStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return WriteValues(section, {{std::string(key), std::string(value)}});
}

bool CSettingsStore::WriteValues(std::string_view section, const std::vector<KeyValue>& values) {
    const CSettingsLock lock = Lock();
    Load(); // never write over an edit that the cache has not seen yet
    const FileIdentity before = m_identity;
    if (before.exists && static_cast<std::size_t>(before.size) > kMaxFileSize) {
        m_nWriteError = EFBIG;
        return false; // not ours to rewrite: it would lose what we could not read
    }
    CIniDocument changed = m_document;
    for (const auto& [key, value] : values) {
        if (!changed.Set(section, key, value)) {
            m_nWriteError = EINVAL;
            return false;
        }
    }
    MakeParentFolders(FollowLinks(m_strPath));
    CAtomicFile file;
    if (!file.Open(m_strPath) || !file.Write(changed.Text()) || !file.Commit()) {
        m_nWriteError = file.LastError();
        return false;
    }
    m_nWriteError = 0;
    Load();
    return true;
}
