#include "Windows1252.h"

#include "Utf8.h"

#include <cstdint>
#include <cstring>

namespace {

// 0x80 to 0x9F; 0 marks a byte that Windows-1252 leaves unassigned.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

namespace Windows1252 {

bool IsValidUtf8(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    for (std::size_t pos = 0; pos < text.size();) {
        // Plain ASCII eight bytes at a time: most names are.
        std::uint64_t eight = 0;
        if (text.size() - pos >= sizeof eight) {
            std::memcpy(&eight, text.data() + pos, sizeof eight);
            if ((eight & kHighBits) == 0) {
                pos += sizeof eight;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t codePoint = 0;
        std::size_t length = 0;
        if (!Utf8::Decode(text, pos, codePoint, length)) {
            return false;
        }
        pos += length;
    }
    return true;
}

void AppendUtf8(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else if (byte < 0xA0) {
            const char16_t mapped = kHigh[byte - 0x80];
            Utf8::Encode(mapped != 0 ? mapped : 0xFFFD, out);
        } else {
            Utf8::Encode(byte, out);
        }
    }
}

void AppendShown(std::string& out, std::string_view text, bool cp1252) {
    if (cp1252) {
        AppendUtf8(out, text);
    } else {
        out.append(text);
    }
}

} // namespace Windows1252
