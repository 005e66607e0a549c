#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading a report back line by line, to check its shape against the tree
// it describes rather than against fixed bytes (for trees too large or too
// strange to spell out).
namespace ReportShape {

// The lines between CR LF ends; the last element is what follows the last
// line end (a listing's summary, or "" after an archive report).
std::vector<std::string> SplitLines(const std::string& report);

// The tab-separated columns of a line.
std::vector<std::string> Columns(const std::string& line);

// A control byte other than the tab: a name that could break the line.
bool HasControlBytes(const std::string& line);

// What a full directory listing holds: a header per folder record, its
// entry lines, the summary.
struct Listing {
    std::int64_t records = 0;
    std::int64_t fileLines = 0;
    std::int64_t folderLines = 0;
    std::uint64_t bytes = 0; // sum of the file sizes (tab-delimited only)
    std::string summary;
    std::vector<std::string> faults; // lines that break the shape, described
};

// Sizes are read as plain digits: the listing must be written without
// grouping for the byte total to be checked.
Listing ReadFullListing(const std::string& report, bool tabbed);

// The summary line of a listing ("Summary: 3 Folder(s), 2 File(s)\t... Bytes").
std::string Summary(std::int64_t folders, std::int64_t files, std::uint64_t bytes, bool padded);

} // namespace ReportShape
