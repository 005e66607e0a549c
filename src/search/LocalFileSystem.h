#pragma once

#include "SourceFileSystem.h"

#include <chrono>
#include <cstdint>
#include <unordered_map>

// The machine's own file system. A file system is told by its mount
// (statx's mount id, the never-reused one where the kernel has it), its
// device and, where /dev/disk/by-uuid names it, its UUID.
class CLocalFileSystem : public ISourceFileSystem {
public:
    int Stat(const std::string& path, CFileVersion& version) override;
    std::string FileSystemOf(const std::string& folder) override;
    int ReadHead(const std::string& path, std::size_t bytes, std::string& head) override;

private:
    std::string UuidOf(std::uint64_t device);

    // UUIDs by device, read at most every two seconds.
    std::unordered_map<std::uint64_t, std::string> m_mapUuids;
    std::chrono::steady_clock::time_point m_uuidsRead;
};
