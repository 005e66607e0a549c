#pragma once

#include "SourceFileSystem.h"

// The machine's own file system. A file system is told by its mount
// (statx's mount id, the never-reused one where the kernel has it), its
// device and, where /dev/disk/by-uuid names it, its UUID.
class CLocalFileSystem : public ISourceFileSystem {
public:
    int Stat(const std::string& path, CFileVersion& version) override;
    std::string FileSystemOf(const std::string& folder) override;
    int ReadSample(const std::string& path, std::size_t headBytes, std::size_t tailBytes, std::string& head,
                   std::string& tail) override;
};
