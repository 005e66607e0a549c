#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Numbers the distinct texts given to it in the order first seen, so that
// many entries share one copy of each date or time text. The lookup is
// open addressing in one flat array whose slots hold a text's first 15
// bytes and its length: a date or a time is found in one slot, with no
// other memory read. Not thread-safe.
class CTextNumbers {
public:
    std::uint32_t Number(std::string_view text);
    // The texts by number; views valid as long as this lives.
    const std::vector<std::string_view>& Texts() const { return m_arrTexts; }
    // Frees the lookup table; Texts() stay.
    void Seal() { m_arrSlots = {}; }

private:
    // A text's first 15 bytes, then its length (255 for any longer).
    struct CKey {
        std::uint64_t m_nLow = 0;
        std::uint64_t m_nHigh = 0;
        bool operator==(const CKey&) const = default;
    };
    struct CSlot {
        CKey m_key;
        std::uint32_t m_nNumber = 0; // + 1; 0 when free
    };

    static CKey KeyOf(std::string_view text);
    std::size_t SlotOf(const CKey& key) const;
    void Grow();
    std::string_view Keep(std::string_view text);

    std::vector<std::string_view> m_arrTexts;
    std::vector<CSlot> m_arrSlots;
    unsigned m_nSlotBits = 0;
    std::vector<std::unique_ptr<char[]>> m_arrBlocks;
    char* m_pFree = nullptr;
    std::size_t m_nFree = 0;
};
