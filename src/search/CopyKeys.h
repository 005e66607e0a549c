#pragma once

#include "ReportDigests.h"

#include <cstdint>
#include <string>
#include <string_view>

// What Copies knows of one file entry: where it is, its name, size and line,
// the keys it is grouped by (case-folded name, size, date and time; folded
// name and size), and its digest when its manifest gave one.
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
    std::uint64_t m_nNameStamp = 0; // name (folded), size, date, time
    std::uint64_t m_nNameSize = 0;  // name (folded), size
    const EntryDigest* m_pDigest = nullptr;
};

// Sets the key's two grouping keys from its folded name and size and the
// entry's date and time texts.
void SetGroupingKeys(CCopyKey& key, std::string_view date, std::string_view time);

// The case-folded name as Find compares it (a Windows-1252 name as shown).
std::string FoldedName(std::string_view name, bool windows1252);
