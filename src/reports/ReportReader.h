#pragma once

#include "ReportEntry.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Reads the bytes of a report or an archive log back into entries: every
// layout the export writes, with CRLF or LF line ends, any locale's date,
// time and digit grouping, and the Windows form of the layouts (drive
// paths, 8.3 short names, Windows-1252 bytes, sizes past 2 GiB printed as
// negative 32-bit numbers). Linear in the input; never throws on bad bytes.
//
// The bytes may come in chunks of any size (Begin, Feed..., Finish): the
// layout is decided from the opening lines, each entry is handed on as soon
// as its line is complete, and reading stops at the first line that cannot
// belong to a report (one over kLongestLine bytes cannot). Memory: one line
// and the current record's folder header, whatever the input's size.
// One reader per thread.
class CReportReader {
public:
    using Sink = std::function<void(const CReportEntry&)>;
    // No report line is longer; a longer one ends the reading.
    static constexpr std::size_t kLongestLine = std::size_t{1} << 20;

    // The archive log that belongs to the next archive reports read: their
    // files get the folder that the log gives for their medium tag.
    void SetLog(std::string_view logText);

    // Reads a whole file's bytes, handing each entry to sink in report order.
    // Returns false, with Reason() set to one line, when the bytes are not a
    // report or an archive log; sink may have seen entries before that.
    bool Read(std::string_view bytes, const Sink& sink);

    // The same in chunks: Begin(), then Feed() while it returns true, then
    // Finish(). Feed() and Finish() return false once the input is refused.
    void Begin();
    bool Feed(std::string_view chunk, const Sink& sink);
    bool Finish(const Sink& sink);
    // Whether the first bytes of a file (the whole file when wholeFile) can
    // begin a report; false with Reason() set when they plainly cannot.
    bool Sniff(std::string_view firstBytes, bool wholeFile);

    // During a sink call: the line the entry was read from, without its line
    // end, and the line number of its record's folder header (0 when none).
    std::string_view CurrentLine() const { return m_strCurrentLine; }
    std::size_t RecordLine() const { return m_nRecordLine; }
    // Lines taken so far.
    std::size_t LinesRead() const { return m_nLines; }

    ReportLayout Layout() const { return m_layout; }
    const std::string& Reason() const { return m_strReason; }
    // Lines of an archive log just read: (medium tag, folder).
    const std::vector<std::pair<std::string, std::string>>& LogLines() const { return m_arrLogLines; }

    // Splits "TAG\tFOLDER"; false when the line is not an archive log line.
    static bool ParseLogLine(std::string_view line, std::string_view& tag, std::string_view& folder);
    // A medium tag as the archive report prints it: text, two or more digits, "-", two or more digits.
    static bool IsMediumTag(std::string_view tag);
    // A size as a report prints it: digits with any locale's grouping (grouped
    // true), an optional "-"; negative 32-bit values come back plus 2^32.
    static bool ParseSize(std::string_view text, bool grouped, std::uint64_t& size);

private:
    enum class State {
        Start,         // no line yet
        Archive,       // archive report lines
        Log,           // archive log lines
        ListingFirst,  // a path on line 1: a folder list or a record's header
        ListingFirstBlank,
        FolderList,    // one path a line
        FolderListBlank,
        HeaderExpected, // after a record's blank line: a header or the summary
        HeaderBlank,
        BodyFirst,
        EmptyMarker,   // after "FOLDER IS EMPTY"
        Body,
        Ended,         // after the summary
    };

    bool Fail(std::size_t line, const char* what);
    bool TakeLine(std::string_view rawLine, const Sink& sink);
    bool TakeFirstLine(std::string_view line, const Sink& sink);
    bool TakeArchiveLine(std::string_view line, const Sink& sink);
    bool TakeListingLine(std::string_view line, const Sink& sink);
    bool TakeSummary(std::string_view line);
    void EmitFolderListLine(std::string_view line, std::size_t number, const Sink& sink);
    bool ReadListingEntry(std::string_view line, CReportEntry& entry) const;

    std::unordered_map<std::string, std::string> m_mapLogFolders;
    std::vector<std::pair<std::string, std::string>> m_arrLogLines;
    ReportLayout m_layout = ReportLayout::ArchiveReport;
    std::string m_strReason;
    State m_state = State::Start;
    bool m_bRefused = false;
    bool m_bLayoutDecided = false;  // a listing's layout, from its first entry line
    std::size_t m_nLines = 0;
    std::size_t m_nBlankLine = 0;   // a folder list's blank line
    std::size_t m_nRecordLine = 0;
    std::string m_strHeader;        // the current record's folder, or a listing's first line
    std::string m_strCarry;         // a line begun in the previous chunk
    std::string_view m_strCurrentLine;
    CReportEntry m_entry;
};
