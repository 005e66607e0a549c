#pragma once

#include "FileDescriptor.h"

#include <cstddef>
#include <string>

// Reads one regular file from start to end for hashing. Only a regular file
// is ever opened: a path that is (or has become) a link, a folder, a pipe, a
// socket or a device fails without being read, so a FIFO cannot hang the
// reader and a tape cannot be rewound by an open. Errors are errno values:
// ELOOP for a link, EISDIR for a folder, ENOTSUP for any other kind of file.
class CSequentialReader {
public:
    // Opens `path` (absolute) and tells the kernel the reads will be
    // sequential. 0 or the errno of the failure.
    int Open(const std::string& path);

    // Reads up to `capacity` bytes into `buffer`, fewer only at the end of
    // the file; `length` is 0 at the end. 0 or the errno of the failure.
    int Read(void* buffer, std::size_t capacity, std::size_t& length);

    void Close() { m_fd.Reset(); }

private:
    CFileDescriptor m_fd;
};
