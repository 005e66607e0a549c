#pragma once

#include "IniDocument.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <time.h>
#include <utility>
#include <vector>

// The settings file: an INI file read and written in the profile-file
// layout (see CIniDocument). Reads are served from a parsed copy that is
// checked against the file (inode, size, times) whenever it is older than
// the recheck interval, so a hand edit is seen at the next read after at most
// that interval, and immediately after Revalidate(). Every write re-reads the
// file first, so it never loses an edit made meanwhile, and replaces the file
// atomically. A missing, unreadable, binary or oversized file reads as empty;
// a failed write changes nothing and is not reported.
//
// Not thread-safe: one thread (the user-interface thread) owns the store.
class CSettingsStore {
public:
    explicit CSettingsStore(std::string path);

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

    // Counts changes of the contents seen so far. Between rechecks it costs
    // one read of the coarse clock and touches no file.
    std::uint64_t Generation() {
        if (!m_bLoaded || CoarseNow() - m_nLastCheck >= m_nRecheckAfter) {
            Revalidate();
        }
        return m_nGeneration;
    }

    // Checks the file now, whatever the interval.
    void Revalidate();

    void SetRecheckInterval(std::chrono::milliseconds interval);

    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxValueLength = 4095;

private:
    struct Identity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Identity& other) const;
    };
    static Identity IdentityOf(const std::string& path);
    // Nanoseconds of a monotonic clock that is cheap to read but only
    // advances every few milliseconds.
    static std::int64_t CoarseNow() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }
    void Load();

    std::string m_strPath;
    CIniDocument m_document;
    Identity m_identity;
    bool m_bLoaded = false;
    std::uint64_t m_nGeneration = 0;
    int m_nWriteError = 0;
    // Coarse-clock nanoseconds after the last check at which the next is due:
    // the interval less the clock's resolution, so no edit waits longer than
    // the interval.
    std::int64_t m_nRecheckAfter = 0;
    std::int64_t m_nLastCheck = 0;
};
