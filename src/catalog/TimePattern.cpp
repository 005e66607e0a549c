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

} // namespace

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
