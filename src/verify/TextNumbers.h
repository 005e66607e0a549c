#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Numbers the distinct texts given to it in the order first seen, so that
// many entries share one copy of each date or time text. The copies sit
// side by side, apart from anything else, so that the few thousand texts
// a report repeats stay in the processor's cache; the lookup is open
// addressing in one flat array: a hash and nearly always one comparison.
// Not thread-safe.
class CTextNumbers {
public:
    std::uint32_t Number(std::string_view text);
    // The texts by number; views valid as long as this lives.
    const std::vector<std::string_view>& Texts() const { return m_arrTexts; }
    // Frees the lookup table; Texts() stay.
    void Seal() { m_arrSlots = {}; }

private:
    void Grow();
    std::string_view Keep(std::string_view text);

    std::vector<std::string_view> m_arrTexts;
    // Per slot: the text's hash above, its number + 1 below; 0 when free.
    std::vector<std::uint64_t> m_arrSlots;
    unsigned m_nSlotBits = 0;
    std::vector<std::unique_ptr<char[]>> m_arrBlocks;
    char* m_pFree = nullptr;
    std::size_t m_nFree = 0;
};
