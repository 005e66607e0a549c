#include "TextNumbers.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kFirstSlotBits = 10;
constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

} // namespace

CTextNumbers::CKey CTextNumbers::KeyOf(std::string_view text) {
    unsigned char bytes[16] = {};
    if (!text.empty()) {
        std::memcpy(bytes, text.data(), std::min<std::size_t>(text.size(), 15));
    }
    bytes[15] = static_cast<unsigned char>(std::min<std::size_t>(text.size(), 255));
    CKey key;
    std::memcpy(&key.m_nLow, bytes, 8);
    std::memcpy(&key.m_nHigh, bytes + 8, 8);
    return key;
}

std::size_t CTextNumbers::SlotOf(const CKey& key) const {
    const std::uint64_t mixed = (key.m_nLow * 0x9E3779B97F4A7C15ULL) ^ (key.m_nHigh * 0xC2B2AE3D27D4EB4FULL);
    return static_cast<std::size_t>((mixed ^ (mixed >> 29)) * 0xBF58476D1CE4E5B9ULL >> (64 - m_nSlotBits));
}

std::uint32_t CTextNumbers::Number(std::string_view text) {
    if (m_arrTexts.size() * 4 >= m_arrSlots.size() * 3) {
        Grow();
    }
    const CKey key = KeyOf(text);
    const std::size_t mask = m_arrSlots.size() - 1;
    for (std::size_t at = SlotOf(key);; at = (at + 1) & mask) {
        CSlot& slot = m_arrSlots[at];
        if (slot.m_nNumber == 0) {
            const auto number = static_cast<std::uint32_t>(m_arrTexts.size());
            m_arrTexts.push_back(Keep(text));
            slot.m_key = key;
            slot.m_nNumber = number + 1;
            return number;
        }
        if (slot.m_key == key && (text.size() < 16 || m_arrTexts[slot.m_nNumber - 1] == text)) {
            return slot.m_nNumber - 1;
        }
    }
}

void CTextNumbers::Grow() {
    m_nSlotBits = m_arrSlots.empty() ? kFirstSlotBits : m_nSlotBits + 1;
    std::vector<CSlot> slots(std::size_t{1} << m_nSlotBits);
    const std::size_t mask = slots.size() - 1;
    for (const CSlot& slot : m_arrSlots) {
        if (slot.m_nNumber == 0) {
            continue;
        }
        std::size_t at = SlotOf(slot.m_key);
        while (slots[at].m_nNumber != 0) {
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
