#include "Utf8.h"

namespace Utf8 {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

} // namespace

bool Decode(std::string_view text, std::size_t pos, char32_t& codePoint, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        codePoint = lead;
        length = 1;
        return true;
    }
    std::size_t need;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return false;
    }
    if (pos + need > text.size()) {
        return false;
    }
    for (std::size_t i = 1; i < need; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(byte)) {
            return false;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    codePoint = value;
    length = need;
    return true;
}

std::size_t SequenceLength(std::string_view text, std::size_t pos) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
        return 1;
    }
    char32_t codePoint;
    std::size_t length;
    return Decode(text, pos, codePoint, length) ? length : 1;
}

std::size_t EncodeTo(char32_t codePoint, char* out) {
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

void Encode(char32_t codePoint, std::string& out) {
    char bytes[4];
    out.append(bytes, EncodeTo(codePoint, bytes));
}

std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += SequenceLength(text, pos)) {
        ++count;
    }
    return count;
}

std::size_t ByteOffsetOfChar(std::string_view text, std::size_t charIndex) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < charIndex && pos < text.size(); ++i) {
        pos += SequenceLength(text, pos);
    }
    return pos < text.size() ? pos : text.size();
}

void AppendPrintable(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out.append(text.substr(start, i - start));
            out.push_back('?');
            start = i + 1;
        }
    }
    out.append(text.substr(start));
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendPrintable(out, text);
    return out;
}

std::string_view LeftChars(std::string_view text, std::size_t maxChars) {
    return text.substr(0, ByteOffsetOfChar(text, maxChars));
}

} // namespace Utf8
