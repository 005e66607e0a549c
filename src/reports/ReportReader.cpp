#include "ReportReader.h"

#include "Utf8.h"
#include "Windows1252.h"

#include <charconv>
#include <cstring>

namespace {

constexpr std::string_view kSummary = "Summary: ";
constexpr std::string_view kFolderSize = "<FOLDER>";
constexpr std::string_view kFolderEmpty = "FOLDER IS EMPTY";
// The padded layout searches for where its two name columns meet only on
// lines up to this long, so that a hostile line cannot make it quadratic.
constexpr std::size_t kLongestPaddedSearch = 2048;

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const void* found = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
        const std::size_t end = found ? static_cast<const char*>(found) - bytes.data() : bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Exactly five tab-separated fields.
bool SplitFive(std::string_view line, std::string_view (&fields)[5]) {
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const auto tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            return false;
        }
        fields[i] = line.substr(start, tab - start);
        start = tab + 1;
    }
    fields[4] = line.substr(start);
    return fields[4].find('\t') == std::string_view::npos;
}

std::string_view TrimLeftSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseListingSize(std::string_view text, CReportEntry& entry) {
    if (text == kFolderSize) {
        entry.m_bFolder = true;
        entry.m_nSize = 0;
        return true;
    }
    entry.m_bFolder = false;
    return CReportReader::ParseSize(text, true, entry.m_nSize);
}

// Reads "S  D  T" of a padded line once the name columns are known: texts
// right-aligned in their columns, two spaces between them. The date may be
// empty (a time that could not be converted).
bool ParsePaddedMiddle(std::string_view middle, CReportEntry& entry) {
    std::string_view tokens[3];
    int count = 0;
    std::size_t pos = 0;
    while (pos < middle.size()) {
        while (pos < middle.size() && middle[pos] == ' ') {
            ++pos;
        }
        if (pos == middle.size()) {
            break;
        }
        const auto gap = middle.find("  ", pos);
        const std::size_t end = gap == std::string_view::npos ? middle.size() : gap;
        if (count == 3) {
            return false;
        }
        tokens[count++] = middle.substr(pos, end - pos);
        pos = end;
    }
    if (count < 2 || !ParseListingSize(tokens[0], entry)) {
        return false;
    }
    entry.m_strDate = count == 3 ? tokens[1] : std::string_view();
    entry.m_strTime = tokens[count - 1];
    return true;
}

// "%-15s  %20s  %8s  %11s  %s": short name, size, date, time, long name.
bool ParsePaddedLine(std::string_view line, CReportEntry& entry) {
    // Every column within its width: the long name starts at character 62.
    static constexpr std::size_t kMarks[] = {15, 17, 37, 39, 47, 49, 60, 62};
    std::size_t at[8];
    std::size_t pos = 0, chars = 0;
    for (int i = 0; i < 8; ++i) {
        while (chars < kMarks[i] && pos < line.size()) {
            pos += Utf8::SequenceLength(line, pos);
            ++chars;
        }
        at[i] = pos;
    }
    if (chars == 62 && line.substr(at[0], 2) == "  " && line.substr(at[2], 2) == "  " &&
        line.substr(at[4], 2) == "  " && line.substr(at[6], 2) == "  " &&
        ParseListingSize(TrimLeftSpaces(line.substr(at[1], at[2] - at[1])), entry)) {
        entry.m_strDate = TrimLeftSpaces(line.substr(at[3], at[4] - at[3]));
        entry.m_strTime = TrimLeftSpaces(line.substr(at[5], at[6] - at[5]));
        entry.m_strName = line.substr(at[7]);
        if (!entry.m_strName.empty()) {
            return true;
        }
    }
    // A wider column pushed the rest right. Here the long name stands in for
    // the short one: the line begins and ends with the same name.
    if (line.size() <= kLongestPaddedSearch) {
        for (std::size_t q = 2; q < line.size(); ++q) {
            if (line[q - 1] != ' ' || line[q - 2] != ' ') {
                continue;
            }
            const std::string_view name = line.substr(q);
            if (name.size() + 2 > q || line.substr(0, name.size()) != name) {
                continue;
            }
            if (ParsePaddedMiddle(line.substr(name.size(), q - 2 - name.size()), entry)) {
                entry.m_strName = name;
                return true;
            }
        }
    }
    // A short name without spaces, then the columns from the left.
    const auto firstGap = line.find("  ");
    if (firstGap == std::string_view::npos || firstGap == 0) {
        return false;
    }
    std::size_t p = firstGap;
    std::string_view texts[3];
    for (auto& text : texts) {
        while (p < line.size() && line[p] == ' ') {
            ++p;
        }
        const auto gap = line.find("  ", p);
        if (gap == std::string_view::npos) {
            return false;
        }
        text = line.substr(p, gap - p);
        p = gap + 2;
    }
    if (p >= line.size() || !ParseListingSize(texts[0], entry)) {
        return false;
    }
    entry.m_strDate = texts[1];
    entry.m_strTime = texts[2];
    entry.m_strName = line.substr(p);
    return true;
}

// A folders-only line: its last component is the name, the rest the folder.
void SplitPath(std::string_view path, CReportEntry& entry) {
    const bool windows = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
    const char separator = windows ? '\\' : '/';
    const std::size_t rootLength = windows ? 3 : 1;
    std::string_view trimmed = path;
    if (trimmed.size() > rootLength && trimmed.back() == separator) {
        trimmed.remove_suffix(1);
    }
    const auto last = trimmed.rfind(separator);
    if (last == std::string_view::npos || trimmed.size() <= rootLength) {
        entry.m_strName = trimmed;
        entry.m_strFolder = {};
        return;
    }
    entry.m_strName = trimmed.substr(last + 1);
    entry.m_strFolder = trimmed.substr(0, last < rootLength ? rootLength : last);
}

bool IsSummary(std::string_view line) {
    if (line.substr(0, kSummary.size()) != kSummary) {
        return false;
    }
    return line.find(" Folder(s), ") != std::string_view::npos && line.find(" File(s)") != std::string_view::npos &&
           line.size() >= 6 && line.substr(line.size() - 6) == " Bytes";
}

} // namespace

bool CReportReader::IsMediumTag(std::string_view tag) {
    const auto dash = tag.rfind('-');
    if (dash == std::string_view::npos || tag.size() - dash - 1 < 2 || dash < 2) {
        return false;
    }
    for (std::size_t i = dash + 1; i < tag.size(); ++i) {
        if (!IsDigit(tag[i])) {
            return false;
        }
    }
    return IsDigit(tag[dash - 1]) && IsDigit(tag[dash - 2]);
}

bool CReportReader::ParseSize(std::string_view text, bool grouped, std::uint64_t& size) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || !IsDigit(text.front()) || !IsDigit(text.back())) {
        return false;
    }
    char digits[24];
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (IsDigit(text[i])) {
            if (count == sizeof digits) {
                return false;
            }
            digits[count++] = text[i++];
            continue;
        }
        // A separator: a short run of anything but digits, tabs and minus signs.
        if (!grouped) {
            return false;
        }
        std::size_t run = 0;
        while (i < text.size() && !IsDigit(text[i])) {
            if (text[i] == '\t' || text[i] == '-' || ++run > 4) {
                return false;
            }
            ++i;
        }
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits, digits + count, value);
    if (error != std::errc() || end != digits + count) {
        return false;
    }
    if (negative) {
        // Sizes of 2 GiB and more as a 32-bit signed number prints them.
        if (value == 0 || value > 0x80000000ull) {
            return value == 0 ? (size = 0, true) : false;
        }
        value = 0x100000000ull - value;
    }
    size = value;
    return true;
}

bool CReportReader::ParseLogLine(std::string_view line, std::string_view& tag, std::string_view& folder) {
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return false;
    }
    tag = line.substr(0, tab);
    folder = line.substr(tab + 1);
    return !folder.empty() && folder.find('\t') == std::string_view::npos && IsMediumTag(tag);
}

void CReportReader::SetLog(std::string_view logText) {
    m_mapLogFolders.clear();
    for (std::string_view line : SplitLines(logText)) {
        std::string_view tag, folder;
        if (ParseLogLine(line, tag, folder)) {
            m_mapLogFolders.emplace(std::string(tag), std::string(folder)); // the first drop of a tag wins
        }
    }
}

bool CReportReader::Fail(std::size_t line, const char* what) {
    m_strReason = line == 0 ? std::string(what) : "line " + std::to_string(line) + ": " + what;
    return false;
}

bool CReportReader::Read(std::string_view bytes, const Sink& sink) {
    m_strReason.clear();
    m_arrLogLines.clear();
    if (bytes.empty()) {
        return Fail(0, "empty file");
    }
    if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
        return Fail(0, "binary data, not a text report");
    }
    const std::vector<std::string_view> lines = SplitLines(bytes);
    if (IsSummary(lines.back())) {
        return ReadListing(lines, sink);
    }
    std::string_view tag, folder;
    if (ParseLogLine(lines.front(), tag, folder)) {
        return ReadLog(lines);
    }
    return ReadArchive(lines, sink);
}

bool CReportReader::ReadArchive(const std::vector<std::string_view>& lines, const Sink& sink) {
    m_layout = ReportLayout::ArchiveReport;
    CReportEntry entry;
    std::string_view fields[5];
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!SplitFive(line, fields) || fields[0].empty() || !IsMediumTag(fields[4]) ||
            !ParseSize(fields[1], false, entry.m_nSize)) {
            return Fail(i + 1, i == 0 ? "not a Stowlist report or archive log" : "not an archive report line");
        }
        entry.m_strName = fields[0];
        entry.m_strDate = fields[2];
        entry.m_strTime = fields[3];
        entry.m_strMedium = fields[4];
        const auto found = m_mapLogFolders.find(std::string(fields[4]));
        entry.m_strFolder = found == m_mapLogFolders.end() ? std::string_view() : std::string_view(found->second);
        entry.m_nLine = i + 1;
        entry.m_bWindows1252 = !Windows1252::IsValidUtf8(line);
        sink(entry);
    }
    return true;
}

bool CReportReader::ReadLog(const std::vector<std::string_view>& lines) {
    m_layout = ReportLayout::ArchiveLog;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view tag, folder;
        if (!ParseLogLine(lines[i], tag, folder)) {
            m_arrLogLines.clear();
            return Fail(i + 1, "not an archive log line");
        }
        m_arrLogLines.emplace_back(std::string(tag), std::string(folder));
    }
    return true;
}

bool CReportReader::ReadListingEntry(std::string_view line, CReportEntry& entry) const {
    std::string_view fields[5];
    if (line.find('\t') != std::string_view::npos) {
        if (!SplitFive(line, fields) || fields[4].empty() || !ParseListingSize(fields[1], entry)) {
            return false;
        }
        entry.m_strName = fields[4];
        entry.m_strDate = fields[2];
        entry.m_strTime = fields[3];
        return true;
    }
    return ParsePaddedLine(line, entry);
}

bool CReportReader::ReadListing(const std::vector<std::string_view>& lines, const Sink& sink) {
    const std::size_t summary = lines.size() - 1;
    m_layout = lines[summary].find('\t') != std::string_view::npos ? ReportLayout::ListingTabbed
                                                                    : ReportLayout::ListingPadded;
    if (summary > 0 && !lines[summary - 1].empty()) {
        return Fail(summary, "no empty line before the summary");
    }
    const std::size_t bodyEnd = summary == 0 ? 0 : summary - 1;
    CReportEntry entry;
    const bool full = bodyEnd >= 2 && lines[1].empty();
    if (!full) {
        // Folders only: one path a line.
        if (bodyEnd > 0) {
            m_layout = ReportLayout::FoldersOnly;
        }
        for (std::size_t i = 0; i < bodyEnd; ++i) {
            if (lines[i].empty()) {
                return Fail(i + 1, "empty line inside a folder list");
            }
            entry.m_bFolder = true;
            entry.m_nSize = 0;
            SplitPath(lines[i], entry);
            entry.m_strDate = entry.m_strTime = {};
            entry.m_nLine = i + 1;
            entry.m_bWindows1252 = !Windows1252::IsValidUtf8(lines[i]);
            sink(entry);
        }
        return true;
    }
    std::size_t i = 0;
    while (i < bodyEnd) {
        const std::string_view header = lines[i];
        if (header.empty() || i + 1 >= bodyEnd || !lines[i + 1].empty()) {
            return Fail(i + 1, "not a folder header followed by an empty line");
        }
        entry.m_strFolder = header;
        i += 2;
        const std::size_t bodyStart = i;
        for (; i < bodyEnd && !lines[i].empty(); ++i) {
            if (i == bodyStart && lines[i] == kFolderEmpty && (i + 1 == bodyEnd || lines[i + 1].empty())) {
                continue;
            }
            if (!ReadListingEntry(lines[i], entry)) {
                return Fail(i + 1, "not a directory listing line");
            }
            entry.m_nLine = i + 1;
            entry.m_bWindows1252 = !Windows1252::IsValidUtf8(lines[i]);
            sink(entry);
        }
        if (i == bodyStart) {
            return Fail(i + 1, "folder header without entries");
        }
        ++i; // the empty line after the record
    }
    return true;
}
