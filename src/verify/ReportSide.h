#pragma once

#include "OptionsSnapshot.h"
#include "ReportEntry.h"
#include "ReportReader.h"
#include "ReportStream.h"
#include "TextNumbers.h"
#include "VerifyRequest.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A report as a check reads it: its entries in report order, its layout,
// the options its drop was walked with (what the user gave, else what the
// report shows, else the settings), and each entry's group: its folder
// relative to the report's base, "/" between names (a listing), or its
// archive's folder (an archive report whose log is known), which is where
// the medium must hold it. Not thread-safe.
class CReportSide {
public:
    explicit CReportSide(const CVerifyRequest& request);

    // Opens the file and reads its first and last bytes; false with Error() set.
    bool Load();
    std::uint64_t Size() const { return m_stream.Size(); }
    // About how many entries it holds, from the lines of its first bytes
    // (never more than kMostLinesGuessed): a hint for reserving, no more.
    std::size_t LineCount() const { return m_nLines; }
    static constexpr std::size_t kMostLinesGuessed = std::size_t{1} << 22;
    // The walk's options as the first lines give them, for a report past
    // readFirstBytes; none for a smaller one, or when they do not read.
    // Only the first and last bytes are looked at: a report whose hidden
    // names or further records show only in between has the medium walked
    // again once it is read.
    std::optional<COptionsSnapshot> GuessWalk(std::size_t readFirstBytes) const;
    // Whether the report is of a whole medium: its first record (or folder,
    // or its log's first archive) is a root, written with its final "/".
    bool OfWholeMedium() const;
    // Reads every entry, streaming the file: what it keeps grows with the
    // entries read, not with the file. False with Error() set when the bytes
    // are not a report or cannot be read.
    bool Read();
    const std::string& Error() const { return m_strError; }

    // The entries read, each as its line shows it (texts valid as long as
    // the side lives).
    std::size_t Count() const { return m_arrEntries.size(); }
    bool IsFolder(std::size_t entry) const { return (m_arrEntries[entry].m_nName & kFolderBit) != 0; }
    std::uint64_t SizeOf(std::size_t entry) const { return m_arrEntries[entry].m_nSize; }
    std::string_view NameOf(std::size_t entry) const {
        return {m_arrEntries[entry].m_pName, m_arrEntries[entry].m_nName & kNameBytes};
    }
    std::string_view DateOf(std::size_t entry) const { return m_dates.Texts()[m_arrEntries[entry].m_nDate]; }
    std::string_view TimeOf(std::size_t entry) const { return m_times.Texts()[m_arrEntries[entry].m_nTime]; }
    // Entries with equal texts have equal numbers: Dates()[DateNumberOf(i)] is DateOf(i).
    std::uint32_t DateNumberOf(std::size_t entry) const { return m_arrEntries[entry].m_nDate; }
    std::uint32_t TimeNumberOf(std::size_t entry) const { return m_arrEntries[entry].m_nTime; }
    const std::vector<std::string_view>& Dates() const { return m_dates.Texts(); }
    const std::vector<std::string_view>& Times() const { return m_times.Texts(); }
    // A folder list's first line is its base, not an entry.
    std::size_t FirstEntry() const { return m_nFirstEntry; }
    std::string_view GroupOf(std::size_t entry) const {
        return m_arrFolderGroups.empty() ? std::string_view() : m_arrFolderGroups[m_arrEntries[entry].m_nFolder];
    }
    ReportLayout Layout() const { return m_layout; }
    const COptionsSnapshot& Options() const { return m_options; }
    bool LogKnown() const { return m_bLogKnown; }

private:
    // One entry kept: 32 bytes and its name's bytes (dates, times and
    // folders are kept once each and numbered).
    struct CKeptEntry {
        const char* m_pName;
        std::uint64_t m_nSize;
        std::uint32_t m_nName; // the name's bytes, kFolderBit for a folder, kInOneLineBit
        std::uint32_t m_nDate;
        std::uint32_t m_nTime;
        std::uint32_t m_nFolder;
    };
    // Lines are never longer than CReportReader::kLongestLine: a name's bytes leave these bits free.
    static constexpr std::uint32_t kFolderBit = std::uint32_t{1} << 31;
    // The folder and the name are views into one copy of their line, the folder first.
    static constexpr std::uint32_t kInOneLineBit = std::uint32_t{1} << 30;
    static constexpr std::uint32_t kNameBytes = kInOneLineBit - 1;
    static_assert(CReportReader::kLongestLine <= kNameBytes);

    template <class EntryList>
    COptionsSnapshot ResolveOptions(ReportLayout layout, const EntryList& entries, bool& foldersOnlyWithSub) const;
    void FindGroups();
    void Keep(const CReportEntry& entry);
    std::string_view Copy(std::string_view text);
    std::string_view FolderOf(std::size_t entry) const { return m_arrFolders[m_arrEntries[entry].m_nFolder]; }
    std::string_view WholePath(std::size_t entry) const;

    const CVerifyRequest& m_request;
    CReportStream m_stream;
    CReportReader m_reader;
    std::string m_strHead;  // the first kGuessBytes
    std::string m_strTail;  // the last bytes, at most kTailBytes
    // The entries' texts, in blocks that never move.
    std::vector<std::unique_ptr<char[]>> m_arrBlocks;
    char* m_pFree = nullptr;
    std::size_t m_nFree = 0;
    std::size_t m_nKeptRecord = 0;
    std::string_view m_strKeptFolder;
    std::vector<CKeptEntry> m_arrEntries;
    CTextNumbers m_dates;
    CTextNumbers m_times;
    // Each entry's folder as its line or record gives it, and its group.
    std::vector<std::string_view> m_arrFolders;
    std::vector<std::string_view> m_arrFolderGroups;
    ReportLayout m_layout = ReportLayout::ArchiveReport;
    COptionsSnapshot m_options;
    bool m_bLogKnown = false;
    bool m_bFoldersOnlyWithSub = false;
    std::size_t m_nFirstEntry = 0;
    std::size_t m_nLines = 0;
    std::string m_strBase;
    std::deque<std::string> m_arrGroupTexts;  // groups rewritten with "/"
    std::string m_strError;
};
