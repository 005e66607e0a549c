#pragma once

#include "SegmentFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CEntryBlock;
class CMappedFile;
class CRoaringBitmap;

// A segment file mapped read-only. Open checks the header and that every
// section lies in the file with the sizes its counts need; what lies inside
// the sections is bounded where it is read, so that a damaged file gives
// wrong answers at worst, never a read outside the mapping. Read-only
// after Open: any number of threads may use it at once.
class CSegmentReader {
public:
    struct Place {
        std::string_view m_medium, m_folder, m_foldedMedium, m_foldedFolder;
        bool m_bWindows1252 = false;
    };
    struct Report {
        std::int64_t m_nSource = 0;
        std::uint64_t m_nEntries = 0;
        std::string_view m_path;
        std::string_view m_entries; // the bitmap of its entries, as stored
    };

    ~CSegmentReader();
    CSegmentReader(const CSegmentReader&) = delete;
    CSegmentReader& operator=(const CSegmentReader&) = delete;

    // Null when the file is missing or not a segment.
    static std::unique_ptr<CSegmentReader> Open(const std::string& path);

    std::uint64_t Entries() const { return m_header.m_nEntries; }
    std::uint64_t NameBlocks() const { return Blocks(SegmentFormat::kNameBlock); }
    // The folded names of one block, each ended by '\n'.
    std::string_view NameBlock(std::uint64_t block) const;
    // The posting list of a trigram; false when no name holds it.
    bool Postings(std::uint32_t trigram, CRoaringBitmap& blocks) const;

    std::uint64_t Places() const { return m_header.m_nPlaces; }
    std::uint64_t PlaceStart(std::uint64_t place) const;
    // The place of an entry; Places() when there is none.
    std::uint64_t PlaceOf(std::uint64_t entry) const;
    Place PlaceAt(std::uint64_t place) const;

    std::uint64_t Reports() const { return m_header.m_nReports; }
    Report ReportAt(std::uint64_t report) const;
    bool Folders(CRoaringBitmap& folders) const;
    // The fields of the entries of one data block (kDataBlock entries each),
    // and when asked their folded names.
    bool DataBlock(std::uint64_t block, CEntryBlock& entries, std::vector<std::string_view>* folded = nullptr) const;
    // Gives the mapping's pages read so far back to the system.
    void ReleasePages() const;

private:
    CSegmentReader() = default;
    std::uint64_t Blocks(std::uint64_t size) const { return (m_header.m_nEntries + size - 1) / size; }
    std::string_view SectionBytes(SegmentFormat::Section section) const;
    std::uint64_t NumberAt(SegmentFormat::Section section, std::uint64_t index) const;

    std::unique_ptr<CMappedFile> m_pMapping;
    std::string_view m_bytes;
    SegmentFormat::Header m_header{};
};
