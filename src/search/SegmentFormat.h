#pragma once

#include <cstdint>

// The layout of a segment file, shared by its writer and its reader.
//
// A segment holds the entries of some reports in Find's order (place, folded
// name, report path, line). After the header come its sections, each a
// range of the file:
// - folded names, each ended by '\n';
// - name block starts: where each block of kNameBlock entries begins in the
//   folded names (uint64, one more than the blocks);
// - data index and data: the entries' other fields, kDataBlock entries a
//   block, each block compressed on its own (uint64 offsets, one more than
//   the blocks);
// - places (medium tag and folder): their first entries (uint64, one more
//   than the places), the offsets of their records, the records;
// - reports: the offsets of their records, the records (source id, entries,
//   path, the entries' bitmap);
// - the bitmap of the entries that are folders;
// - the trigram directory (sorted by trigram) and the posting lists: for
//   each trigram of the folded names, the name blocks that hold it.
// Bitmaps are CRoaring's portable form. Numbers are in the writer's byte
// order, which the header records.
namespace SegmentFormat {

constexpr char kMagic[8] = {'S', 'T', 'O', 'W', 'S', 'E', 'G', '1'};
constexpr std::uint32_t kByteOrder = 0x01020304;
constexpr std::uint32_t kNameBlock = 64;
constexpr std::uint32_t kDataBlock = 32; // a hit decompresses one of these: kept small

struct Range {
    std::uint64_t m_nOffset;
    std::uint64_t m_nSize;
};

enum Section {
    kFolded,
    kNameStarts,
    kDataIndex,
    kData,
    kPlaceStarts,
    kPlaceIndex,
    kPlaces,
    kReportIndex,
    kReports,
    kFolders,
    kTrigrams,
    kPostings,
    kSections
};

struct Header {
    char m_magic[8];
    std::uint32_t m_nByteOrder;
    std::uint32_t m_nNameBlock;
    std::uint32_t m_nDataBlock;
    std::uint32_t m_nReserved;
    std::uint64_t m_nEntries;
    std::uint64_t m_nPlaces;
    std::uint64_t m_nReports;
    Range m_sections[kSections];
};
static_assert(sizeof(Header) % 8 == 0);

struct TrigramSlot {
    std::uint32_t m_nTrigram;
    std::uint32_t m_nSize;
    std::uint64_t m_nOffset; // into the posting lists
};
static_assert(sizeof(TrigramSlot) == 16);

} // namespace SegmentFormat
