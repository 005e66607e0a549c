#pragma once

#include "IniDocument.h"
#include "SettingsLock.h"

#include <functional>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <time.h>
#include <utility>
#include <vector>

// The settings file: an INI file read and written in the profile-file
// layout (see CIniDocument). Every read checks the file (inode, size, times)
// and parses it again when it changed, so a hand edit is seen by the next
// read. A file modified within the last two seconds counts as changed
// whatever its identity says: on a file system with coarse timestamps a
// same-size rewrite within one tick keeps all of them. Every write re-reads
// the file first, under the store's lock (see Lock), so it never loses an
// edit made meanwhile, and replaces the file atomically and durably. A
// missing, unreadable, binary or oversized file reads as empty; a failed
// write changes nothing and is not reported.
//
// Not thread-safe: one thread (the user-interface thread) owns the store.
class CSettingsStore {
public:
    explicit CSettingsStore(std::string path);
    ~CSettingsStore();
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    const std::string& Path() const { return m_strPath; }

    int GetInt(std::string_view section, std::string_view key, int defaultValue);
    // A stored value longer than 4095 bytes is cut to its first 4095.
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue);

    bool WriteInt(std::string_view section, std::string_view key, int value);
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section in one replacement of the file: a reader
    // (or a crash) sees all of them changed or none.
    using KeyValue = std::pair<std::string, std::string>;
    bool WriteValues(std::string_view section, const std::vector<KeyValue>& values);
    // The errno of the last write's failure, or 0 when it succeeded (EINVAL
    // for a value the file cannot hold, EFBIG for a file too large to rewrite).
    int LastWriteError() const { return m_nWriteError; }

    // An exclusive advisory lock (flock) on "<settings file>.lock" beside the
    // file, shared by every process that uses the same settings: a
    // read-modify-write that holds it cannot interleave with another's. Every
    // write takes it; a caller that reads, decides and writes holds it across
    // all three. Nested locks of one store count; the lock goes with the last.
    // Blocks while another process holds it. Without a lock file (a folder
    // that cannot be written) the store goes on unlocked.
    [[nodiscard]] CSettingsLock Lock();

    struct FileIdentity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const FileIdentity& other) const;
    };
    // Test hooks: how the store learns the file's identity and the time of day.
    std::function<FileIdentity(const std::string& path)> m_identityOf = IdentityOf;
    std::function<timespec()> m_now = RealTime;

    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxValueLength = 4095;
    static constexpr std::int64_t kRacySeconds = 2;

private:
    friend class CSettingsLock;
    static FileIdentity IdentityOf(const std::string& path);
    static timespec RealTime();
    // Parses the file again when it is not known to be unchanged.
    void Refresh();
    void Load();
    void Unlock();

    std::string m_strPath;
    CIniDocument m_document;
    FileIdentity m_identity;
    bool m_bLoaded = false;
    int m_nWriteError = 0;
    int m_nLockFd = -1;
    int m_nLockDepth = 0;
};
