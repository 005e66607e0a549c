#pragma once

#include "LineRef.h"
#include "WalkedFile.h"

#include <string_view>
#include <vector>

// Lines of the catalogue; their text lives in the session's CLineArena.
using CLineArray = std::vector<CLineRef>;

// One walked folder of a directory listing.
struct CFolderRecord {
    CLineRef m_path;           // upper case; ends in "/" only for a root; in the CLineArena
    CLineArray m_arrSubFolders; // listing lines of its sub-folders
    CLineArray m_arrFiles;      // listing lines of its files
    std::vector<CWalkedFile> m_arrWalkedFiles; // its regular files in walk order, when kept
};
