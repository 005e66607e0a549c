#pragma once

#include "EntryBlock.h"
#include "RoaringBitmap.h"
#include "SegmentFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

// One entry handed to a segment writer.
struct CSegmentEntry {
    std::string_view m_strMedium; // as the report holds them
    std::string_view m_strFolder;
    std::string_view m_strFolded; // the folded name (FindOrder::AppendFoldedName)
    CBlockEntry m_fields;         // m_nReport: the number AddReport gave
};

// Writes one segment file from entries given in Find's order, as they come:
// memory grows with the folded names and the posting lists of this segment,
// never with its other fields. The file is complete and synced only once
// Finish returns true; a writer that goes before that removes it.
class CSegmentWriter {
public:
    explicit CSegmentWriter(std::string path);
    ~CSegmentWriter();
    CSegmentWriter(const CSegmentWriter&) = delete;
    CSegmentWriter& operator=(const CSegmentWriter&) = delete;

    // Creates the file; false when it exists or cannot be made.
    bool Open();
    // Every report of the segment, those without entries too, before their entries.
    std::uint32_t AddReport(std::int64_t source, std::string_view path);
    bool Add(const CSegmentEntry& entry);
    bool Finish();

    std::uint64_t Entries() const { return m_nEntries; }
    const std::string& LastError() const { return m_strError; }

private:
    struct Report {
        std::int64_t m_nSource;
        std::string m_strPath;
        std::uint64_t m_nEntries = 0;
        CRoaringBitmap m_entries;
    };

    bool Put(const void* data, std::size_t size);
    bool PutNumber(std::uint64_t value) { return Put(&value, sizeof value); }
    bool Flush();
    bool FlushDataBlock();
    void AddTrigram(std::uint32_t trigram, std::uint32_t block);
    bool Section(SegmentFormat::Section section, std::string_view bytes);
    bool Fail(const std::string& what);

    std::string m_strPath;
    int m_fd = -1;
    bool m_bFinished = false;
    std::string m_strError;
    std::string m_strBuffer;
    std::uint64_t m_nWritten = 0; // the file's length once the buffer is written
    SegmentFormat::Header m_header{};

    std::uint64_t m_nEntries = 0;
    CEntryBlock m_block;
    std::vector<std::uint64_t> m_arrDataIndex;
    std::string m_strFolded;
    std::vector<std::uint64_t> m_arrNameStarts;
    // Posting lists being gathered: m_pSlots maps a trigram to its list's
    // number plus one (a table of every trigram, of which only the pages
    // of trigrams met are ever touched).
    struct FreeSlots {
        void operator()(std::uint32_t* slots) const;
    };
    std::unique_ptr<std::uint32_t[], FreeSlots> m_pSlots;
    std::vector<std::uint32_t> m_arrTrigrams; // of each list
    std::vector<std::vector<std::uint32_t>> m_arrPostings;
    std::vector<std::uint64_t> m_arrPlaceStarts;
    std::vector<std::uint64_t> m_arrPlaceIndex;
    std::string m_strPlaces;
    std::string m_strMedium, m_strFolder; // the current place
    std::vector<Report> m_arrReports;
    CRoaringBitmap m_folders;
};
