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
// One reader per thread.
class CReportReader {
public:
    using Sink = std::function<void(const CReportEntry&)>;

    // The archive log that belongs to the next archive reports read: their
    // files get the folder that the log gives for their medium tag.
    void SetLog(std::string_view logText);

    // Reads a whole file's bytes, handing each entry to sink in report order.
    // Returns false, with Reason() set to one line, when the bytes are not a
    // report or an archive log; sink may have seen entries before that.
    bool Read(std::string_view bytes, const Sink& sink);

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
    bool Fail(std::size_t line, const char* what);
    bool ReadArchive(const std::vector<std::string_view>& lines, const Sink& sink);
    bool ReadLog(const std::vector<std::string_view>& lines);
    bool ReadListing(const std::vector<std::string_view>& lines, const Sink& sink);
    bool ReadListingEntry(std::string_view line, CReportEntry& entry) const;

    std::unordered_map<std::string, std::string> m_mapLogFolders;
    std::vector<std::pair<std::string, std::string>> m_arrLogLines;
    ReportLayout m_layout = ReportLayout::ArchiveReport;
    std::string m_strReason;
};
