#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A printf-style format from the string table, parsed once and applied many
// times. Understands %s, %d (with or without the L/l/ll length), %f, the
// flags "-" and "0", a width, a precision for %f, and %%. Widths count
// characters (see Utf8), so a non-ASCII name pads like an ASCII one.
// An argument of the other kind is converted instead of misread.
class CTextFormat {
public:
    class Arg {
    public:
        Arg(std::string_view text) : m_text(text), m_kind(Kind::Text) {}
        Arg(const std::string& text) : m_text(text), m_kind(Kind::Text) {}
        Arg(const char* text) : m_text(text), m_kind(Kind::Text) {}
        Arg(int number) : m_number(number), m_kind(Kind::Integer) {}
        Arg(long number) : m_number(number), m_kind(Kind::Integer) {}
        Arg(long long number) : m_number(number), m_kind(Kind::Integer) {}
        Arg(double number) : m_real(number), m_kind(Kind::Real) {}

    private:
        friend class CTextFormat;
        enum class Kind { Text, Integer, Real };
        std::string_view m_text;
        long long m_number = 0;
        double m_real = 0;
        Kind m_kind;
    };

    explicit CTextFormat(std::string_view format);

    void AppendTo(std::string& out, std::initializer_list<Arg> args) const;
    std::string operator()(std::initializer_list<Arg> args) const;

private:
    struct Piece {
        std::string literal; // text before the conversion
        char conversion = 0; // 's', 'd', 'f' or 0 for the trailing literal
        bool leftAlign = false;
        bool zeroPad = false;
        int width = 0;
        int precision = -1;
    };
    static void AppendPadded(std::string& out, std::string_view text, const Piece& piece);
    std::vector<Piece> m_pieces;
};

// One-off formatting of a string-table entry.
std::string FormatString(int id, std::initializer_list<CTextFormat::Arg> args);

// Decimal text of a signed integer, without the cost of the stream machinery.
void AppendDecimal(std::string& out, long long value);
