#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The shapes of file the reader recognises.
enum class ReportLayout {
    ArchiveReport,  // name, size, date, time, medium tag
    ListingTabbed,  // records of tab-separated entry lines
    ListingPadded,  // records of column-aligned entry lines
    FoldersOnly,    // one folder path a line (with or without sub-folders walked)
    ArchiveLog,     // medium tag, tab, archived folder
};

// One entry as its report line shows it. The views point into the report's
// bytes (or the reader's log), valid only during the callback that gets them.
struct CReportEntry {
    bool m_bFolder = false;
    std::uint64_t m_nSize = 0;      // 0 for a folder
    std::string_view m_strName;
    std::string_view m_strDate;
    std::string_view m_strTime;
    std::string_view m_strFolder;   // record path, or archive folder from the log; may be empty
    std::string_view m_strMedium;   // medium tag of an archive report; empty for a listing
    std::size_t m_nLine = 0;        // from 1
    bool m_bWindows1252 = false;    // the line is not valid UTF-8: show it as Windows-1252
};
