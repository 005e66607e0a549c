#pragma once

#include "ReportDigests.h"
#include "ReportEntry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

// The grouping keys of one report's files, as Copies reads them: one compact
// blob a report, made when the report is read, so that a question never
// reads a report again. Per file: its tag and folder, name, size, line, the
// key of name, size, date and time (case-folded name), the key of name and
// size, and its digest when its manifest gives one.
struct CCopyKey {
    std::string_view m_strTag;    // the medium tag of an archive report; empty for a listing
    std::string_view m_strFolder;
    bool m_bFolderWindows1252 = false;
    std::uint32_t m_nPlace = 0; // tag and folder's number within the report
    std::string_view m_strName;
    bool m_bWindows1252 = false;
    std::uint64_t m_nSize = 0;
    std::uint32_t m_nLine = 0;
    std::uint64_t m_nNameStamp = 0; // name (folded), size, date, time
    std::uint64_t m_nNameSize = 0;  // name (folded), size
    const EntryDigest* m_pDigest = nullptr;
};

class CCopyKeysWriter {
public:
    // Files only; folders are left out.
    void Add(const CReportEntry& entry, const std::optional<EntryDigest>& digest);
    std::string Finish();

private:
    std::uint32_t Place(std::string_view tag, std::string_view folder, bool windows1252);
    std::string m_strPlaces;
    std::string m_strRecords;
    std::unordered_map<std::string, std::uint32_t> m_mapPlaces;
    std::uint32_t m_nPlaces = 0;
    std::uint32_t m_nCount = 0;
};

// Hands each file's keys to sink (the views live until the sink returns);
// false when the blob is damaged. Memory in proportion to its places.
bool ReadCopyKeys(std::string_view blob, const std::function<void(const CCopyKey&)>& sink);

// The case-folded name as Find compares it (a Windows-1252 name as shown).
std::string FoldedName(std::string_view name, bool windows1252);
