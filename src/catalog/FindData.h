#pragma once

#include <cstdint>
#include <string_view>

// What the walk learns of one directory entry (lstat: a link is its own entry).
struct CFindData {
    std::string_view m_strName; // the entry's name without its folder, as the file system returns it
    bool m_bDirectory = false;
    std::uint64_t m_nSize = 0;     // 0 for a folder
    std::int64_t m_nLastWrite = 0; // seconds since the epoch, UTC
};

// Hidden entries: the name begins with ".".
inline bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }
