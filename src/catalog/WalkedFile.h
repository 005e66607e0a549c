#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// A regular file that a drop walked, kept only when the drop keeps them
// (for checksums).
struct CWalkedFile {
    std::string m_strPath; // absolute, as the walk spelled it
    dev_t m_nDevice = 0;
    std::uint64_t m_nSize = 0;
};

// The files of a drop in the order of its report's records, files in walk
// order within each, and the folder their manifest paths start from: the
// first path of a root drop, otherwise the folder of the first dropped item.
struct CDropFiles {
    std::string m_strBase;
    std::vector<CWalkedFile> m_arrFiles;
};
