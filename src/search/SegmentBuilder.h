#pragma once

#include "ReportEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Gathers the entries of whole reports in memory, then writes them as one
// segment in Find's order. Its caller bounds the memory: it writes a
// segment whenever BufferedBytes passes its bound, between two reports.
class CSegmentBuilder {
public:
    // The report whose entries follow.
    void AddReport(std::int64_t source, std::string_view path);
    void Add(const CReportEntry& entry);
    // Drops the entries of the report being added, and the report.
    void AbandonReport();

    bool Empty() const { return m_arrReports.empty(); }
    std::size_t Entries() const { return m_arrEntries.size(); }
    std::size_t BufferedBytes() const;

    // Writes a new segment file at path (which must not exist); the builder
    // is then empty. False, with a message in error, on failure.
    bool Write(const std::string& path, std::string& error);

private:
    struct Entry {
        std::uint64_t m_nFolded; // into m_strTexts: folded name, name, date, time
        std::uint32_t m_nFoldedLength;
        std::uint32_t m_nNameLength;
        std::uint32_t m_nPlace;
        std::uint16_t m_nDateLength;
        std::uint16_t m_nTimeLength;
        std::uint32_t m_nReport;
        std::uint8_t m_nFlags;
        std::uint64_t m_nLine;
        std::uint64_t m_nSize;
    };
    struct Pair {
        std::string m_first, m_second;
    };
    std::uint32_t PlaceOf(std::string_view medium, std::string_view folder);

    std::vector<Entry> m_arrEntries;
    std::string m_strTexts;
    std::vector<std::pair<std::int64_t, std::string>> m_arrReports;
    std::vector<Pair> m_arrPlaces; // medium, folder
    std::unordered_map<std::string, std::uint32_t> m_mapPlaces;
    std::uint32_t m_nLastPlace = UINT32_MAX;
    std::size_t m_nReportEntries = 0; // where the last report's entries start
    std::size_t m_nReportTexts = 0;
};
