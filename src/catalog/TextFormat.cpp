#include "TextFormat.h"

#include "StringTable.h"
#include "Utf8.h"

#include <charconv>
#include <cstdio>

namespace {

// Reads the digits at `pos` into `count` (left alone when there are none);
// the position after them.
std::size_t ReadCount(std::string_view format, std::size_t pos, int& count) {
    const char* const first = format.data() + pos;
    const char* const last = format.data() + format.size();
    const char* end = first;
    while (end != last && *end >= '0' && *end <= '9') {
        ++end;
    }
    if (end != first && std::from_chars(first, end, count).ec != std::errc()) {
        count = 0; // too wide to mean anything
    }
    return static_cast<std::size_t>(end - format.data());
}

} // namespace

CTextFormat::CTextFormat(std::string_view format) {
    Piece piece;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i++];
        if (c != '%') {
            piece.literal.push_back(c);
            continue;
        }
        if (i < format.size() && format[i] == '%') {
            piece.literal.push_back('%');
            ++i;
            continue;
        }
        for (; i < format.size() && (format[i] == '-' || format[i] == '0'); ++i) {
            (format[i] == '-' ? piece.leftAlign : piece.zeroPad) = true;
        }
        i = ReadCount(format, i, piece.width);
        if (i < format.size() && format[i] == '.') {
            piece.precision = 0;
            i = ReadCount(format, i + 1, piece.precision);
        }
        while (i < format.size() && (format[i] == 'L' || format[i] == 'l')) {
            ++i;
        }
        if (i >= format.size()) {
            break;
        }
        const char conversion = format[i++];
        piece.conversion = (conversion == 'd' || conversion == 'i' || conversion == 'u') ? 'd'
                           : (conversion == 'f')                                         ? 'f'
                                                                                         : 's';
        m_pieces.push_back(std::move(piece));
        piece = Piece{};
    }
    m_pieces.push_back(std::move(piece));
}

void AppendDecimal(std::string& out, long long value) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void CTextFormat::AppendPadded(std::string& out, std::string_view text, const Piece& piece) {
    std::size_t chars = piece.width > 0 ? Utf8::CharCount(text) : 0;
    const std::size_t pad = chars < static_cast<std::size_t>(piece.width) ? piece.width - chars : 0;
    if (piece.leftAlign) {
        out.append(text);
        out.append(pad, ' ');
    } else if (piece.zeroPad && piece.conversion != 's') {
        const bool negative = !text.empty() && text[0] == '-';
        if (negative) {
            out.push_back('-');
            text.remove_prefix(1);
        }
        out.append(pad, '0');
        out.append(text);
    } else {
        out.append(pad, ' ');
        out.append(text);
    }
}

void CTextFormat::AppendTo(std::string& out, std::initializer_list<Arg> args) const {
    auto arg = args.begin();
    std::string scratch;
    for (const Piece& piece : m_pieces) {
        out.append(piece.literal);
        if (piece.conversion == 0) {
            break;
        }
        const Arg empty{std::string_view{}};
        const Arg& value = arg != args.end() ? *arg++ : empty;
        std::string_view text;
        scratch.clear();
        if (piece.conversion == 'f' || value.m_kind == Arg::Kind::Real) {
            const double real = value.m_kind == Arg::Kind::Real      ? value.m_real
                                : value.m_kind == Arg::Kind::Integer ? static_cast<double>(value.m_number)
                                                                     : 0.0;
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.*f", piece.precision < 0 ? 6 : piece.precision, real);
            scratch = buffer;
            text = scratch;
        } else if (value.m_kind == Arg::Kind::Integer) {
            AppendDecimal(scratch, value.m_number);
            text = scratch;
        } else {
            text = value.m_text;
        }
        if (piece.width == 0) {
            out.append(text);
        } else {
            AppendPadded(out, text, piece);
        }
    }
}

std::string CTextFormat::operator()(std::initializer_list<Arg> args) const {
    std::string out;
    AppendTo(out, args);
    return out;
}

std::string FormatString(int id, std::initializer_list<CTextFormat::Arg> args) {
    return CTextFormat(LoadString(id))(args);
}
