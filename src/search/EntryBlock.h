#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The fields of one entry that Find shows but does not search.
struct CBlockEntry {
    std::string_view m_strName; // as the report holds it
    std::string_view m_strDate;
    std::string_view m_strTime;
    std::uint64_t m_nSize = 0;
    std::uint64_t m_nLine = 0;
    std::uint32_t m_nReport = 0; // the segment's own number of the report
    bool m_bFolder = false;
    bool m_bWindows1252 = false;
};

// A block of entries' fields as a segment stores it: column by column (the
// compressor finds the repeats of a column), compressed with zstd. A name
// is stored against its folded name, which the segment holds anyway: as
// the bytes that differ (mostly zeros) when the two are as long.
class CEntryBlock {
public:
    void Add(const CBlockEntry& entry, std::string_view folded);
    // Entries added, or decoded.
    std::size_t Size() const { return m_nAdded > 0 ? m_nAdded : m_arrEntries.size(); }
    // The compressed block; the block is then empty again.
    std::string Finish();

    // Reads a compressed block, given the folded names of its entries;
    // false, leaving it empty, when it is damaged.
    bool Decode(std::string_view compressed, const std::vector<std::string_view>& folded);
    const CBlockEntry& operator[](std::size_t i) const { return m_arrEntries[i]; }

private:
    enum Column { kFlags, kLines, kSizes, kReports, kNameForms, kDateLengths, kTimeLengths, kNames, kDates, kTimes, kColumns };
    std::string m_columns[kColumns]; // being added
    std::size_t m_nAdded = 0;
    std::vector<CBlockEntry> m_arrEntries; // decoded: views into m_strDecoded
    std::string m_strDecoded;
    std::string m_strNames; // decoded names, made from their folded names
};
