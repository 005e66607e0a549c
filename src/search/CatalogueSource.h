#pragma once

#include <cstdint>
#include <string>

enum class SourceKind { Report = 0, Log = 1, Folder = 2 };
enum class SourceState { Ok = 0, Changed = 1, Missing = 2, Unreadable = 3 };

// A source as `catalogue list` and the sources dialog show it.
struct CSourceInfo {
    std::string m_strPath;
    SourceKind m_kind = SourceKind::Report;
    SourceState m_state = SourceState::Changed;
    std::int64_t m_nEntries = 0; // for a folder: the reports found in it
};

// The modification time kept for a file that could not be looked at, so
// that it is read again once it can.
inline constexpr std::int64_t kNotLookedAt = -1;

// A source as the catalogue keeps it: what the checks of its file need.
struct CSourceRow {
    std::int64_t m_nId = 0;
    std::string m_strPath;
    SourceKind m_kind = SourceKind::Report;
    SourceState m_state = SourceState::Changed;
    std::int64_t m_nSize = 0;  // as last read
    std::int64_t m_nMtime = 0; // ns, as last read
    std::int64_t m_nFolder = 0;    // the remembered folder it was found in, or 0
    std::string m_strFileSystem;   // where its folder lay when last seen; empty: unknown
};
