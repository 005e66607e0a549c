#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Unsigned numbers in seven-bit groups, low first, as the catalogue's stored
// blobs and blocks write them.
namespace Varint {

inline void Put(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

// Takes one number from the front of in; false when in ends inside it or it
// runs past 64 bits.
inline bool Get(std::string_view& in, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
        const auto byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// A text with its length first.
inline void PutText(std::string& out, std::string_view text) {
    Put(out, text.size());
    out.append(text);
}

// Takes one text from the front of in; false when in ends inside it.
inline bool GetText(std::string_view& in, std::string_view& text) {
    std::uint64_t length = 0;
    if (!Get(in, length) || length > in.size()) {
        return false;
    }
    text = in.substr(0, length);
    in.remove_prefix(length);
    return true;
}

} // namespace Varint
