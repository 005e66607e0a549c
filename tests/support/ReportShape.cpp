#include "ReportShape.h"

namespace ReportShape {

std::vector<std::string> SplitLines(const std::string& report) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = report.find("\r\n"); end != std::string::npos; end = report.find("\r\n", start)) {
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(report.substr(start)); // the summary line, which has no line end
    return lines;
}

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> columns;
    std::size_t start = 0;
    for (auto tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        columns.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    columns.push_back(line.substr(start));
    return columns;
}

bool HasControlBytes(const std::string& line) {
    for (unsigned char c : line) {
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// Walks header, empty line, entry lines, empty line, ... up to the summary.
Listing ReadFullListing(const std::string& report, bool tabbed) {
    Listing shape;
    const auto lines = SplitLines(report);
    std::size_t i = 0;
    while (i + 1 < lines.size()) {
        if (i > 0) {
            if (!lines[i].empty()) {
                shape.faults.push_back("no empty line before header at line " + std::to_string(i));
            }
            ++i;
            if (i + 1 >= lines.size()) {
                break;
            }
        }
        ++shape.records; // the header
        if (lines[i].empty() || lines[i + 1] != "") {
            shape.faults.push_back("bad header at line " + std::to_string(i));
        }
        i += 2;
        for (; i + 1 < lines.size() && !lines[i].empty(); ++i) {
            const std::string& line = lines[i];
            if (HasControlBytes(line)) {
                shape.faults.push_back("control byte in line " + std::to_string(i));
            }
            if (line == "FOLDER IS EMPTY") {
                continue;
            }
            if (tabbed) {
                const auto columns = Columns(line);
                if (columns.size() != 5) {
                    shape.faults.push_back("line " + std::to_string(i) + " has " + std::to_string(columns.size()) +
                                           " columns");
                    continue;
                }
                if (columns[1] == "<FOLDER>") {
                    ++shape.folderLines;
                } else {
                    ++shape.fileLines;
                    shape.bytes += std::stoull(columns[1]);
                }
            } else {
                const bool folder = line.find(std::string(12, ' ') + "<FOLDER>  ") != std::string::npos;
                ++(folder ? shape.folderLines : shape.fileLines);
            }
        }
    }
    shape.summary = lines.back();
    return shape;
}

std::string Summary(std::int64_t folders, std::int64_t files, std::uint64_t bytes, bool padded) {
    const std::string total = std::to_string(bytes);
    return "Summary: " + std::to_string(folders) + " Folder(s), " + std::to_string(files) + " File(s)" +
           (padded ? "  " + std::string(total.size() < 20 ? 20 - total.size() : 0, ' ') : "\t") + total + " Bytes";
}

} // namespace ReportShape
