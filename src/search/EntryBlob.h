#pragma once

#include "ReportEntry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

// The entries of one report as the catalogue stores them: one compact blob
// (repeated folders, tags, dates and times stored once), written in one
// row so that a report is in the catalogue whole or not at all.
class CEntryBlobWriter {
public:
    void Add(const CReportEntry& entry);
    std::size_t Count() const { return m_nCount; }
    std::string Finish();

private:
    std::uint32_t Intern(std::string_view text);
    std::string m_strStrings;
    std::string m_strRecords;
    std::unordered_map<std::string, std::uint32_t> m_mapStrings;
    std::uint32_t m_nStrings = 0;
    std::size_t m_nCount = 0;
};

// Hands each stored entry to sink (the views live until the sink returns);
// false when the blob is damaged.
bool ReadEntryBlob(std::string_view blob, const std::function<void(const CReportEntry&)>& sink);
