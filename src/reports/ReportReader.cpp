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

// A folder as a listing writes it: "/..." or a Windows drive or share path.
bool IsAbsolutePath(std::string_view line) {
    if (!line.empty() && (line.front() == '/' || line.front() == '\\')) {
        return true;
    }
    const bool letter = line.size() >= 3 && ((line[0] >= 'A' && line[0] <= 'Z') || (line[0] >= 'a' && line[0] <= 'z'));
    return letter && line[1] == ':' && (line[2] == '\\' || line[2] == '/');
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
    m_bRefused = true;
    if (m_layout == ReportLayout::ArchiveLog) {
        m_arrLogLines.clear();
    }
    return false;
}

void CReportReader::Begin() {
    m_strReason.clear();
    m_arrLogLines.clear();
    m_layout = ReportLayout::ArchiveReport;
    m_state = State::Start;
    m_bRefused = false;
    m_bLayoutDecided = false;
    m_nLines = 0;
    m_nBlankLine = 0;
    m_nRecordLine = 0;
    m_strHeader.clear();
    m_strCarry.clear();
    m_strCurrentLine = {};
}

bool CReportReader::Read(std::string_view bytes, const Sink& sink) {
    Begin();
    return Feed(bytes, sink) && Finish(sink);
}

bool CReportReader::Feed(std::string_view chunk, const Sink& sink) {
    if (m_bRefused) {
        return false;
    }
    std::size_t pos = 0;
    if (!m_strCarry.empty()) {
        const void* found = std::memchr(chunk.data(), '\n', chunk.size());
        const std::size_t end = found ? static_cast<const char*>(found) - chunk.data() : chunk.size();
        if (m_strCarry.size() + end > kLongestLine) {
            return Fail(m_nLines + 1, "longer than any report line");
        }
        m_strCarry.append(chunk.substr(0, end));
        if (found == nullptr) {
            return true;
        }
        const std::string line = std::move(m_strCarry);
        m_strCarry.clear();
        if (!TakeLine(line, sink)) {
            return false;
        }
        pos = end + 1;
    }
    while (pos < chunk.size()) {
        const void* found = std::memchr(chunk.data() + pos, '\n', chunk.size() - pos);
        const std::size_t end = found ? static_cast<const char*>(found) - chunk.data() : chunk.size();
        if (end - pos > kLongestLine) {
            return Fail(m_nLines + 1, "longer than any report line");
        }
        if (found == nullptr) {
            m_strCarry.assign(chunk.substr(pos));
            break;
        }
        if (!TakeLine(chunk.substr(pos, end - pos), sink)) {
            return false;
        }
        pos = end + 1;
    }
    return true;
}

bool CReportReader::Finish(const Sink& sink) {
    if (m_bRefused) {
        return false;
    }
    if (!m_strCarry.empty()) {
        const std::string line = std::move(m_strCarry);
        m_strCarry.clear();
        if (!TakeLine(line, sink)) {
            return false;
        }
    }
    m_strCurrentLine = {};
    switch (m_state) {
    case State::Start:
        return Fail(0, "empty file");
    case State::Archive:
    case State::Log:
    case State::Ended:
        return true;
    default:
        // A listing ends with its summary.
        return Fail(1, "not a Stowlist report or archive log");
    }
}

bool CReportReader::Sniff(std::string_view firstBytes, bool wholeFile) {
    Begin();
    const Sink ignore = [](const CReportEntry&) {};
    if (!Feed(firstBytes, ignore)) {
        return false;
    }
    return !wholeFile || Finish(ignore);
}

bool CReportReader::TakeLine(std::string_view line, const Sink& sink) {
    ++m_nLines;
    if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        return Fail(0, "binary data, not a text report");
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    m_strCurrentLine = line;
    switch (m_state) {
    case State::Start:
        return TakeFirstLine(line, sink);
    case State::Archive:
        return TakeArchiveLine(line, sink);
    case State::Log: {
        std::string_view tag, folder;
        if (!ParseLogLine(line, tag, folder)) {
            return Fail(m_nLines, "not an archive log line");
        }
        m_arrLogLines.emplace_back(std::string(tag), std::string(folder));
        return true;
    }
    case State::Ended:
        // A listing ends with its summary.
        return Fail(1, "not a Stowlist report or archive log");
    default:
        return TakeListingLine(line, sink);
    }
}

bool CReportReader::TakeFirstLine(std::string_view line, const Sink& sink) {
    std::string_view tag, folder;
    if (IsSummary(line)) {
        return TakeSummary(line); // a listing of nothing
    }
    if (ParseLogLine(line, tag, folder)) {
        m_layout = ReportLayout::ArchiveLog;
        m_state = State::Log;
        m_arrLogLines.emplace_back(std::string(tag), std::string(folder));
        return true;
    }
    if (!IsAbsolutePath(line) || line.find('\t') != std::string_view::npos) {
        m_state = State::Archive;
        return TakeArchiveLine(line, sink);
    }
    m_layout = ReportLayout::ListingTabbed;
    m_state = State::ListingFirst;
    m_strHeader.assign(line);
    return true;
}

bool CReportReader::TakeArchiveLine(std::string_view line, const Sink& sink) {
    std::string_view fields[5];
    CReportEntry& entry = m_entry;
    if (!SplitFive(line, fields) || fields[0].empty() || !IsMediumTag(fields[4]) ||
        !ParseSize(fields[1], false, entry.m_nSize)) {
        return Fail(m_nLines, m_nLines == 1 ? "not a Stowlist report or archive log" : "not an archive report line");
    }
    entry.m_bFolder = false;
    entry.m_strName = fields[0];
    entry.m_strDate = fields[2];
    entry.m_strTime = fields[3];
    entry.m_strMedium = fields[4];
    const auto found = m_mapLogFolders.find(std::string(fields[4]));
    entry.m_strFolder = found == m_mapLogFolders.end() ? std::string_view() : std::string_view(found->second);
    entry.m_nLine = m_nLines;
    entry.m_bWindows1252 = !Windows1252::IsValidUtf8(line);
    sink(entry);
    return true;
}

bool CReportReader::TakeSummary(std::string_view line) {
    const ReportLayout layout =
        line.find('\t') != std::string_view::npos ? ReportLayout::ListingTabbed : ReportLayout::ListingPadded;
    if (m_state == State::HeaderExpected && m_bLayoutDecided && layout != m_layout) {
        return Fail(m_nLines, "a summary of another layout than its entries");
    }
    if (m_state != State::FolderListBlank && m_state != State::ListingFirstBlank) {
        m_layout = layout;
    }
    m_state = State::Ended;
    return true;
}

void CReportReader::EmitFolderListLine(std::string_view line, std::size_t number, const Sink& sink) {
    CReportEntry& entry = m_entry;
    m_layout = ReportLayout::FoldersOnly;
    m_strCurrentLine = line;
    entry.m_bFolder = true;
    entry.m_nSize = 0;
    SplitPath(line, entry);
    entry.m_strDate = entry.m_strTime = {};
    entry.m_strMedium = {};
    entry.m_nLine = number;
    entry.m_bWindows1252 = !Windows1252::IsValidUtf8(line);
    sink(entry);
}

bool CReportReader::TakeListingLine(std::string_view line, const Sink& sink) {
    const std::size_t number = m_nLines;
    switch (m_state) {
    case State::ListingFirst:
        if (line.empty()) {
            m_state = State::ListingFirstBlank;
            return true;
        }
        if (IsSummary(line)) {
            return Fail(number - 1, "no empty line before the summary");
        }
        EmitFolderListLine(m_strHeader, 1, sink);
        m_state = State::FolderList;
        return TakeListingLine(line, sink);
    case State::ListingFirstBlank:
        if (IsSummary(line)) {
            EmitFolderListLine(m_strHeader, 1, sink); // a list of one folder
            m_strCurrentLine = line;
            return TakeSummary(line);
        }
        m_nRecordLine = 1;
        m_state = State::BodyFirst;
        return TakeListingLine(line, sink);
    case State::FolderList:
        if (line.empty()) {
            m_nBlankLine = number;
            m_state = State::FolderListBlank;
            return true;
        }
        if (IsSummary(line)) {
            return Fail(number - 1, "no empty line before the summary");
        }
        if (!IsAbsolutePath(line)) {
            return Fail(number, "not a folder path");
        }
        EmitFolderListLine(line, number, sink);
        return true;
    case State::FolderListBlank:
        if (!IsSummary(line)) {
            return Fail(m_nBlankLine, "empty line inside a folder list");
        }
        return TakeSummary(line);
    case State::HeaderExpected:
        if (IsSummary(line)) {
            return TakeSummary(line);
        }
        if (!IsAbsolutePath(line)) {
            return Fail(number, "not a folder header followed by an empty line");
        }
        m_strHeader.assign(line);
        m_nRecordLine = number;
        m_state = State::HeaderBlank;
        return true;
    case State::HeaderBlank:
        if (!line.empty()) {
            return Fail(number - 1, "not a folder header followed by an empty line");
        }
        m_state = State::BodyFirst;
        return true;
    case State::BodyFirst:
        if (line.empty()) {
            return Fail(number, "folder header without entries");
        }
        if (line == kFolderEmpty) {
            m_state = State::EmptyMarker;
            return true;
        }
        break;
    case State::EmptyMarker:
        if (!line.empty()) {
            return Fail(number - 1, "not a directory listing line");
        }
        m_state = State::HeaderExpected;
        return true;
    default: // State::Body
        if (line.empty()) {
            m_state = State::HeaderExpected;
            return true;
        }
        break;
    }
    CReportEntry& entry = m_entry;
    entry.m_strFolder = m_strHeader;
    entry.m_strMedium = {};
    if (!ReadListingEntry(line, entry)) {
        return IsSummary(line) ? Fail(number - 1, "no empty line before the summary")
                               : Fail(number, "not a directory listing line");
    }
    if (!m_bLayoutDecided) {
        m_bLayoutDecided = true;
        m_layout = line.find('\t') != std::string_view::npos ? ReportLayout::ListingTabbed
                                                               : ReportLayout::ListingPadded;
    }
    entry.m_nLine = number;
    entry.m_bWindows1252 = !Windows1252::IsValidUtf8(line);
    m_state = State::Body;
    sink(entry);
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

