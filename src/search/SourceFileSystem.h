#pragma once

#include <cstdint>
#include <string>

// What the catalogue keeps of a file to notice that it changed, and to
// tell it from another file that got the same device and inode.
struct CFileVersion {
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;
    std::uint64_t m_nSize = 0;
    std::int64_t m_nModifiedNs = 0;
    bool m_bFolder = false;
    bool m_bRegular = false;
};

// The file system as the source scanner sees it. CLocalFileSystem is the
// real one; tests put another in its place to play unmounted media,
// reused inodes and failing disks.
class ISourceFileSystem {
public:
    virtual ~ISourceFileSystem() = default;
    // 0 with the file's version (links followed), or errno's value.
    virtual int Stat(const std::string& path, CFileVersion& version) = 0;
    // Which mounted file system a folder lies on, as a text that differs for
    // another mount or another medium on the same device; empty when it
    // cannot be told.
    virtual std::string FileSystemOf(const std::string& folder) = 0;
    // The first bytes of a regular file, at most `bytes` of them (fewer:
    // the whole file). 0, or errno's value.
    virtual int ReadHead(const std::string& path, std::size_t bytes, std::string& head) = 0;
};
