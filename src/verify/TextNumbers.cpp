#include "TextNumbers.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kFirstSlotBits = 10;
constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

std::uint32_t HashOf(std::string_view text) {
    // FNV-1a: dates and times are a dozen bytes.
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

// FNV's low bits are its weakest: the slot comes from the high bits of a multiple.
std::size_t SlotOf(std::uint32_t hash, unsigned bits) {
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> (64 - bits));
}

} // namespace

std::uint32_t CTextNumbers::Number(std::string_view text) {
    if (m_arrTexts.size() * 2 >= m_arrSlots.size()) {
        Grow();
    }
    const std::uint32_t hash = HashOf(text);
    const std::size_t mask = m_arrSlots.size() - 1;
    for (std::size_t at = SlotOf(hash, m_nSlotBits);; at = (at + 1) & mask) {
        const std::uint64_t slot = m_arrSlots[at];
        if (slot == 0) {
            const auto number = static_cast<std::uint32_t>(m_arrTexts.size());
            m_arrTexts.push_back(Keep(text));
            m_arrSlots[at] = std::uint64_t{hash} << 32 | (number + 1);
            return number;
        }
        if (static_cast<std::uint32_t>(slot >> 32) == hash) {
            const auto number = static_cast<std::uint32_t>(slot) - 1;
            if (m_arrTexts[number] == text) {
                return number;
            }
        }
    }
}

void CTextNumbers::Grow() {
    m_nSlotBits = m_arrSlots.empty() ? kFirstSlotBits : m_nSlotBits + 1;
    std::vector<std::uint64_t> slots(std::size_t{1} << m_nSlotBits, 0);
    const std::size_t mask = slots.size() - 1;
    for (const std::uint64_t slot : m_arrSlots) {
        if (slot == 0) {
            continue;
        }
        std::size_t at = SlotOf(static_cast<std::uint32_t>(slot >> 32), m_nSlotBits);
        while (slots[at] != 0) {
            at = (at + 1) & mask;
        }
        slots[at] = slot;
    }
    m_arrSlots = std::move(slots);
}

std::string_view CTextNumbers::Keep(std::string_view text) {
    if (text.size() > m_nFree) {
        const std::size_t size = std::max(kBlockBytes, text.size());
        m_pFree = m_arrBlocks.emplace_back(new char[size]).get();
        m_nFree = size;
    }
    if (!text.empty()) {
        std::memcpy(m_pFree, text.data(), text.size());
    }
    const std::string_view copy(m_pFree, text.size());
    m_pFree += text.size();
    m_nFree -= text.size();
    return copy;
}
