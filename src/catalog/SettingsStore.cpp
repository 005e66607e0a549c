#include "SettingsStore.h"

#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
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

bool CSettingsStore::Identity::operator==(const Identity& other) const {
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

CSettingsStore::CSettingsStore(std::string path) : m_strPath(std::move(path)) {
    SetRecheckInterval(std::chrono::milliseconds(20));
}

void CSettingsStore::SetRecheckInterval(std::chrono::milliseconds interval) {
    timespec resolution{};
    clock_getres(CLOCK_MONOTONIC_COARSE, &resolution);
    const std::int64_t after = std::chrono::duration_cast<std::chrono::nanoseconds>(interval).count() -
                               (static_cast<std::int64_t>(resolution.tv_sec) * 1'000'000'000 + resolution.tv_nsec);
    m_nRecheckAfter = after > 0 ? after : 0;
}

CSettingsStore::Identity CSettingsStore::IdentityOf(const std::string& path) {
    Identity identity;
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

void CSettingsStore::Load() {
    // Identity first: a change racing with the read is caught by the next check.
    m_identity = IdentityOf(m_strPath);
    m_document = CIniDocument(m_identity.exists ? ReadSmallFile(m_strPath) : std::string());
    m_bLoaded = true;
    ++m_nGeneration;
}

void CSettingsStore::Revalidate() {
    m_nLastCheck = CoarseNow();
    if (!m_bLoaded || !(IdentityOf(m_strPath) == m_identity)) {
        Load();
    }
}

int CSettingsStore::GetInt(std::string_view section, std::string_view key, int defaultValue) {
    Generation();
    const auto value = m_document.Find(section, key);
    return value && !value->empty() ? ParseProfileInt(*value) : defaultValue;
}

std::string CSettingsStore::GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) {
    Generation();
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
    Load(); // never write over an edit that the cache has not seen yet
    const Identity before = m_identity;
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
    if (!file.Open(m_strPath) || !file.Write(changed.Text()) || !file.Commit(false)) {
        m_nWriteError = file.LastError();
        return false;
    }
    m_nWriteError = 0;
    Load();
    return true;
}
