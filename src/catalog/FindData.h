#pragma once

#include <cstdint>
#include <string_view>
#include <sys/types.h>

// What the walk learns of one directory entry (lstat: a link is its own entry).
struct CFindData {
    std::string_view m_strName; // the entry's name without its folder, as the file system returns it
    bool m_bDirectory = false;
    bool m_bRegular = false; // a regular file: only these are read for checksums
    std::uint64_t m_nSize = 0;     // 0 for a folder
    std::int64_t m_nLastWrite = 0; // seconds since the epoch, UTC
    std::string_view m_strFolder;  // the path of the folder that holds the entry
    dev_t m_nDevice = 0;           // st_dev
};

// Hidden entries: the name begins with ".".
inline bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }
