#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// One line of the catalogue as stored in its CLineArena: a single pointer to
// the line's length followed by its bytes, so a line array costs 8 bytes a
// line. The length is one byte below 255; 255 is followed by the length as a
// std::size_t. A default reference is the empty line.
class CLineRef {
public:
    CLineRef() = default;
    static constexpr unsigned char kLongLength = 0xFF;

    // Bytes the stored form of a line of `length` bytes takes.
    static constexpr std::size_t StoredSize(std::size_t length) {
        return length + (length < kLongLength ? 1 : 1 + sizeof(std::size_t));
    }
    // Writes the stored form of `text` to `to` (StoredSize bytes).
    static CLineRef Write(char* to, std::string_view text) {
        const std::size_t length = text.size();
        char* bytes = to + 1;
        if (length < kLongLength) {
            *to = static_cast<char>(length);
        } else {
            *to = static_cast<char>(kLongLength);
            std::memcpy(bytes, &length, sizeof length);
            bytes += sizeof length;
        }
        std::memcpy(bytes, text.data(), length);
        return CLineRef(to);
    }

    std::string_view View() const {
        if (m_pStored == nullptr) {
            return {};
        }
        const auto first = static_cast<unsigned char>(*m_pStored);
        if (first != kLongLength) {
            return {m_pStored + 1, first};
        }
        std::size_t length = 0;
        std::memcpy(&length, m_pStored + 1, sizeof length);
        return {m_pStored + 1 + sizeof length, length};
    }
    operator std::string_view() const { return View(); } // NOLINT: a line reads as its text
    friend bool operator==(CLineRef line, std::string_view text) { return line.View() == text; }

private:
    explicit CLineRef(const char* stored) : m_pStored(stored) {}
    const char* m_pStored = nullptr;
};
