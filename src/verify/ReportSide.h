#pragma once

#include "OptionsSnapshot.h"
#include "ReportEntry.h"
#include "ReportReader.h"
#include "ReportStream.h"
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

    const std::vector<CReportEntry>& Entries() const { return m_arrEntries; }
    // A folder list's first line is its base, not an entry.
    std::size_t FirstEntry() const { return m_nFirstEntry; }
    std::string_view GroupOf(std::size_t entry) const { return m_arrGroups[entry]; }
    ReportLayout Layout() const { return m_layout; }
    const COptionsSnapshot& Options() const { return m_options; }
    bool LogKnown() const { return m_bLogKnown; }

private:
    COptionsSnapshot ResolveOptions(ReportLayout layout, const std::vector<CReportEntry>& entries,
                                    bool& foldersOnlyWithSub) const;
    void FindGroups();
    void Keep(const CReportEntry& entry);
    std::string_view Copy(std::string_view text);

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
    std::vector<CReportEntry> m_arrEntries;
    ReportLayout m_layout = ReportLayout::ArchiveReport;
    COptionsSnapshot m_options;
    bool m_bLogKnown = false;
    bool m_bFoldersOnlyWithSub = false;
    std::size_t m_nFirstEntry = 0;
    std::size_t m_nLines = 0;
    std::string m_strBase;
    std::vector<std::string_view> m_arrGroups; // per entry
    std::deque<std::string> m_arrGroupTexts;  // groups rewritten with "/"
    std::string m_strError;
};
