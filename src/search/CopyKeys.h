#pragma once

#include "ReportDigests.h"

#include <cstdint>
#include <string>
#include <string_view>

// What Copies knows of one file entry: where it is, its name, size, date,
// time and line, and its digest when its manifest gave one.
struct CCopyKey {
    std::string_view m_strTag;    // the medium tag of an archive report; empty for a listing
    std::string_view m_strFolder;
    bool m_bFolderWindows1252 = false;
    std::uint32_t m_nPlace = 0; // tag and folder's number within the report
    std::string_view m_strName;
    std::string_view m_strFolded; // as Find compares it
    bool m_bWindows1252 = false;
    std::uint64_t m_nSize = 0;
    std::uint32_t m_nLine = 0;
    std::string_view m_strDate;
    std::string_view m_strTime;
    const EntryDigest* m_pDigest = nullptr;
};

// A 64-bit hash of what groups an entry without a digest: its folded name,
// size, date and time; with byName its folded name and size. Held in
// memory only, never stored.
std::uint64_t GroupingKey(const CCopyKey& key, bool byName);

// The case-folded name as Find compares it (a Windows-1252 name as shown).
std::string FoldedName(std::string_view name, bool windows1252);
