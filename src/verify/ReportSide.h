#pragma once

#include "OptionsSnapshot.h"
#include "ReportEntry.h"
#include "ReportFile.h"
#include "ReportReader.h"
#include "VerifyRequest.h"

#include <cstddef>
#include <deque>
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

    // Reads the file's bytes; false with Error() set.
    bool Load();
    std::string_view Bytes() const { return m_file.m_strBytes; }
    // Its lines, counted once by Load(): about how many entries it holds.
    std::size_t LineCount() const { return m_nLines; }
    // The walk's options as the first lines give them, for a report past
    // readFirstBytes; none for a smaller one, or when they do not read.
    std::optional<COptionsSnapshot> GuessWalk(std::size_t readFirstBytes) const;
    // Whether the report is of a whole medium: its first record (or folder,
    // or its log's first archive) is a root, written with its final "/".
    bool OfWholeMedium() const;
    // Reads every entry; false with Error() set when the bytes are not a report.
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

    const CVerifyRequest& m_request;
    CReportFile m_file;
    CReportReader m_reader;
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
