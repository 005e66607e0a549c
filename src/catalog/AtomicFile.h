#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

// Writes a file so that readers only ever see the old or the new contents:
// the bytes go to a temporary file beside the target, which replaces the
// target by rename only when everything has been written and flushed to the
// device, and the folder is flushed after the rename, so a power loss leaves
// the old file or the whole new one. A target that is a
// symbolic link is followed, so the link stays. A target that exists but is
// not a regular file (a device such as /dev/full, a pipe) is written
// directly, since it cannot be replaced. The temporary file is removed on
// every path that does not commit.
class CAtomicFile {
public:
    CAtomicFile() = default;
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file. On failure returns false and LastError() is
    // the errno of the cause.
    bool Open(const std::string& target);

    // Writes straight to a descriptor that the caller owns (standard
    // output), with no temporary file: Commit and Abandon leave it open.
    void Attach(int fd);

    // Writes all bytes; false with LastError() on failure. Into a temporary
    // file, every kWriteBackChunk bytes written are handed to the device at
    // once (write-back started, not waited for), so that Commit's flush finds
    // little left to wait for.
    bool Write(std::string_view bytes);

    static constexpr std::uint64_t kWriteBackChunk = std::uint64_t{8} << 20;

    // Flushes the new file, puts it in place and flushes its folder. Once this
    // has returned true the target durably holds exactly what was written.
    bool Commit();

    // Gives up: removes the temporary file, leaves the target as it was.
    void Abandon();

    int LastError() const { return m_nError; }
    bool IsOpen() const { return m_fd >= 0; }

private:
    bool Fail(int error);
    void RemoveTemp();
    void CloseFolder();
    void StartWriteBack();

    std::string m_strTarget; // the file finally written (a link's target)
    std::string m_strTemp;   // empty when writing the target directly
    int m_fd = -1;
    int m_folderFd = -1;      // the temporary file's folder while there is one
    bool m_bAttached = false; // m_fd belongs to the caller
    int m_nError = 0;
    std::uint64_t m_nWritten = 0;       // bytes written to the temporary file
    std::uint64_t m_nWriteBackStart = 0; // where write-back has not been started yet
};

// The target of a symbolic link chain (without resolving the folders above
// it), or the path itself when it is not a link.
std::string FollowLinks(const std::string& path);

// The process's file creation mask, read without changing it.
mode_t CurrentUmask();
