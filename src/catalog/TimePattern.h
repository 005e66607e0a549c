#pragma once

#include <ctime>
#include <locale.h>
#include <string>
#include <string_view>
#include <vector>

// A date or time format of strftime, compiled once for one locale so that
// each use costs no more than its digits. Knows the conversions that the
// short date and time formats of locales are made of: %d %e %m %y %Y %H %I
// %M %S %p %D %T %R %r %x %X %n %t %% (without flags, widths or the E and
// O modifiers). Compile() refuses any other format, and the caller then
// formats with strftime_l itself.
class CTimePattern {
public:
    // False when the format (or a locale format it refers to) holds a
    // conversion this class does not know.
    bool Compile(const char* format, locale_t locale);

    // Appends what strftime_l would give for the compiled format. The year
    // must lie between 1000 and 9999.
    void AppendTo(std::string& out, const std::tm& time) const;

    // Reads back a text that AppendTo gives (in either case) into the fields
    // the format holds: day, month, year, hour, minute, second. False when
    // the text does not have the form or a field is out of range.
    bool Parse(std::string_view text, std::tm& time) const;

private:
    enum class Field : unsigned char {
        Literal,
        Day,          // %d
        DayPadded,    // %e
        Month,        // %m
        ShortYear,    // %y
        Year,         // %Y
        Hour,         // %H
        Hour12,       // %I
        Minute,       // %M
        Second,       // %S
        AmPm,         // %p
    };
    struct Piece {
        Field field;
        std::string literal; // the text of a Literal piece
    };

    bool CompileInto(const char* format, locale_t locale, int depth);
    void AddLiteral(const char* text, std::size_t length);

    std::vector<Piece> m_pieces;
    std::string m_strAm;
    std::string m_strPm;
};
