#include "TimePattern.h"

#include <cstring>
#include <langinfo.h>

namespace {

// Formats that name others nest at most this deep (%x in a locale's date
// format would otherwise never end).
constexpr int kMaxNesting = 4;

void AppendTwoDigits(std::string& out, int value, char pad) {
    out.push_back(value < 10 ? pad : static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Up to `most` digits (a space first when `padded`); -1 when there are none.
int ReadNumber(std::string_view& text, std::size_t most, bool padded) {
    if (padded && !text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
        most = 1;
    }
    int value = 0;
    std::size_t digits = 0;
    while (digits < most && digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    text.remove_prefix(digits);
    return digits == 0 ? -1 : value;
}

} // namespace

bool CTimePattern::Parse(std::string_view text, std::tm& time) const {
    int hour12 = -1;
    int pm = -1;
    for (const Piece& piece : m_pieces) {
        int value = 0;
        switch (piece.field) {
        case Field::Literal:
            if (!EqualIgnoringCase(text.substr(0, piece.literal.size()), piece.literal)) {
                return false;
            }
            text.remove_prefix(piece.literal.size());
            continue;
        case Field::AmPm:
            if (!m_strAm.empty() && EqualIgnoringCase(text.substr(0, m_strAm.size()), m_strAm)) {
                pm = 0;
                text.remove_prefix(m_strAm.size());
            } else if (!m_strPm.empty() && EqualIgnoringCase(text.substr(0, m_strPm.size()), m_strPm)) {
                pm = 1;
                text.remove_prefix(m_strPm.size());
            } else {
                return false;
            }
            continue;
        case Field::Year: value = ReadNumber(text, 4, false); break;
        case Field::DayPadded: value = ReadNumber(text, 2, true); break;
        default: value = ReadNumber(text, 2, false); break;
        }
        if (value < 0) {
            return false;
        }
        switch (piece.field) {
        case Field::Day:
        case Field::DayPadded:
            if (value < 1 || value > 31) {
                return false;
            }
            time.tm_mday = value;
            break;
        case Field::Month:
            if (value < 1 || value > 12) {
                return false;
            }
            time.tm_mon = value - 1;
            break;
        case Field::ShortYear: time.tm_year = value < 69 ? value + 100 : value; break;
        case Field::Year: time.tm_year = value - 1900; break;
        case Field::Hour:
            if (value > 23) {
                return false;
            }
            time.tm_hour = value;
            break;
        case Field::Hour12:
            if (value < 1 || value > 12) {
                return false;
            }
            hour12 = value;
            break;
        case Field::Minute:
            if (value > 59) {
                return false;
            }
            time.tm_min = value;
            break;
        case Field::Second:
            if (value > 60) {
                return false;
            }
            time.tm_sec = value;
            break;
        default: break;
        }
    }
    if (hour12 >= 0) {
        time.tm_hour = hour12 % 12 + (pm == 1 ? 12 : 0);
    }
    return text.empty() && !m_pieces.empty();
}

void CTimePattern::AddLiteral(const char* text, std::size_t length) {
    if (length == 0) {
        return;
    }
    if (m_pieces.empty() || m_pieces.back().field != Field::Literal) {
        m_pieces.push_back({Field::Literal, {}});
    }
    m_pieces.back().literal.append(text, length);
}

bool CTimePattern::Compile(const char* format, locale_t locale) {
    m_pieces.clear();
    m_strAm = nl_langinfo_l(AM_STR, locale);
    m_strPm = nl_langinfo_l(PM_STR, locale);
    if (!CompileInto(format, locale, 0)) {
        m_pieces.clear();
        return false;
    }
    return true;
}

bool CTimePattern::CompileInto(const char* format, locale_t locale, int depth) {
    if (depth > kMaxNesting) {
        return false;
    }
    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            const std::size_t length = next == nullptr ? std::strlen(p) : static_cast<std::size_t>(next - p);
            AddLiteral(p, length);
            p += length;
            continue;
        }
        const char conversion = p[1];
        p += conversion == '\0' ? 1 : 2;
        Field field = Field::Literal;
        const char* nested = nullptr;
        switch (conversion) {
        case 'd': field = Field::Day; break;
        case 'e': field = Field::DayPadded; break;
        case 'm': field = Field::Month; break;
        case 'y': field = Field::ShortYear; break;
        case 'Y': field = Field::Year; break;
        case 'H': field = Field::Hour; break;
        case 'I': field = Field::Hour12; break;
        case 'M': field = Field::Minute; break;
        case 'S': field = Field::Second; break;
        case 'p': field = Field::AmPm; break;
        case 'D': nested = "%m/%d/%y"; break;
        case 'T': nested = "%H:%M:%S"; break;
        case 'R': nested = "%H:%M"; break;
        case 'r':
            nested = nl_langinfo_l(T_FMT_AMPM, locale);
            if (*nested == '\0') {
                nested = "%I:%M:%S %p";
            }
            break;
        case 'x': nested = nl_langinfo_l(D_FMT, locale); break;
        case 'X': nested = nl_langinfo_l(T_FMT, locale); break;
        case 'n': AddLiteral("\n", 1); continue;
        case 't': AddLiteral("\t", 1); continue;
        case '%': AddLiteral("%", 1); continue;
        default: return false; // names, flags, widths, modifiers, a lone "%"
        }
        if (nested != nullptr) {
            if (!CompileInto(nested, locale, depth + 1)) {
                return false;
            }
            continue;
        }
        m_pieces.push_back({field, {}});
    }
    return true;
}

void CTimePattern::AppendTo(std::string& out, const std::tm& time) const {
    for (const Piece& piece : m_pieces) {
        switch (piece.field) {
        case Field::Literal: out.append(piece.literal); break;
        case Field::Day: AppendTwoDigits(out, time.tm_mday, '0'); break;
        case Field::DayPadded: AppendTwoDigits(out, time.tm_mday, ' '); break;
        case Field::Month: AppendTwoDigits(out, time.tm_mon + 1, '0'); break;
        case Field::ShortYear: AppendTwoDigits(out, (time.tm_year + 1900) % 100, '0'); break;
        case Field::Year: {
            const int year = time.tm_year + 1900;
            AppendTwoDigits(out, year / 100, '0');
            AppendTwoDigits(out, year % 100, '0');
            break;
        }
        case Field::Hour: AppendTwoDigits(out, time.tm_hour, '0'); break;
        case Field::Hour12: AppendTwoDigits(out, time.tm_hour % 12 == 0 ? 12 : time.tm_hour % 12, '0'); break;
        case Field::Minute: AppendTwoDigits(out, time.tm_min, '0'); break;
        case Field::Second: AppendTwoDigits(out, time.tm_sec, '0'); break;
        case Field::AmPm: out.append(time.tm_hour > 11 ? m_strPm : m_strAm); break;
        }
    }
}
