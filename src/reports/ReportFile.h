#pragma once

#include <cstdint>
#include <string>

// The whole contents of a file, read through one descriptor, with the
// identity and version that the catalogue keeps to notice changes.
struct CReportFile {
    std::string m_strBytes;
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;
    std::uint64_t m_nSize = 0;
    std::int64_t m_nModifiedNs = 0;

    // Reads a regular file; false with errno's value in error otherwise
    // (EISDIR for a folder, EFBIG past maxBytes).
    bool Load(const std::string& path, std::uint64_t maxBytes, int& error);
};
