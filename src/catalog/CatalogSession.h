#pragma once

#include "FolderRecord.h"
#include "LineArena.h"

#include <cstdint>
#include <memory>
#include <vector>

// The catalogue of one drop: the flat lines of an archive report or the
// folder records of a directory listing, with the counters the status line,
// the "no files" check and the export need.
class CCatalogSession {
public:
    int m_bSaved = 1;             // 0 while a completed catalogue waits for export
    int m_bBusy = 0;              // 1 while a drop (and its sort) is processed
    std::uint64_t m_dwTotalBytes = 0;
    std::int64_t m_nFileCount = 0;
    std::int64_t m_nExportCount = 0; // number behind the proposal "Export<n>"
    CLineArray m_arrArchiveLines;
    std::vector<CWalkedFile> m_arrArchiveFiles; // an archive report's regular files, when kept
    bool m_bKeepFiles = false; // the drop keeps its walked files (for checksums)
    std::vector<std::unique_ptr<CFolderRecord>> m_arrFolderRecords;
    CLineArena m_lines; // text of every line above

    // Empties the catalogue: lines, counters, records; m_bSaved becomes 1.
    // m_bBusy and m_nExportCount stay.
    void Reset();
    void FreeFolderRecords();
};
