#include "IniDocument.h"

#include <climits>

namespace {

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const auto close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Splits a key line; false for a line without "=" or a comment.
bool SplitKey(std::string_view line, std::string_view& key, std::string_view& value) {
    if (IsComment(line)) {
        return false;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

CIniDocument::CIniDocument(std::string_view text) {
    m_bCrLf = text.find("\r\n") != std::string_view::npos;
    m_bFinalNewline = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        // Every carriage return before the line end goes: one left behind
        // would make a "\r\n" of a "\n" line end when the text is written.
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        m_lines.emplace_back(line);
        start = end + 1;
    }
}

std::optional<std::string> CIniDocument::Find(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const std::string& line : m_lines) {
        if (auto name = SectionName(line)) {
            if (inSection) {
                return std::nullopt; // the first matching section ends here
            }
            inSection = EqualNoCase(*name, section);
            continue;
        }
        std::string_view lineKey, value;
        if (inSection && SplitKey(line, lineKey, value) && EqualNoCase(lineKey, key)) {
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value.substr(0, value.find('\0')));
        }
    }
    return std::nullopt;
}

namespace {

// Whether a name, written out, would read back as itself.
bool IsWritableName(std::string_view name) {
    return !name.empty() && Trim(name) == name && name.find('\0') == std::string_view::npos && !HasLineBreak(name);
}

} // namespace

bool CIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsWritableName(section) || !IsWritableName(key) || HasLineBreak(value) ||
        section.find_first_of("[]") != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == '[' || key.front() == ';' || key.front() == '#') {
        return false;
    }
    std::string entry = std::string(key) + "=" + std::string(value);
    std::size_t index = 0;
    while (index < m_lines.size()) {
        auto name = SectionName(m_lines[index]);
        ++index;
        if (!name || !EqualNoCase(*name, section)) {
            continue;
        }
        std::size_t lastContent = index; // insert after the last non-blank line of the section
        for (; index < m_lines.size() && !SectionName(m_lines[index]); ++index) {
            std::string_view lineKey, lineValue;
            if (SplitKey(m_lines[index], lineKey, lineValue) && EqualNoCase(lineKey, key)) {
                m_lines[index] = std::move(entry);
                return true;
            }
            if (!Trim(m_lines[index]).empty()) {
                lastContent = index + 1;
            }
        }
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(lastContent), std::move(entry));
        return true;
    }
    if (!m_lines.empty() && !m_bFinalNewline) {
        m_bFinalNewline = true; // the old last line gets its line end before the new section
    }
    if (!m_lines.empty() && !Trim(m_lines.back()).empty()) {
        m_lines.emplace_back();
    }
    m_lines.push_back("[" + std::string(section) + "]");
    m_lines.push_back(std::move(entry));
    return true;
}

std::string CIniDocument::Text() const {
    const char* newline = m_bCrLf ? "\r\n" : "\n";
    std::string text;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i];
        if (i + 1 < m_lines.size() || m_bFinalNewline) {
            text += newline;
        }
    }
    return text;
}

int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value < INT_MIN ? INT_MIN : value);
}
