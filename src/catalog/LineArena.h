#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include "LineRef.h"

#include <string_view>
#include <vector>

// Storage for the text of catalogue lines: large blocks filled one after the
// other, so a line costs its own bytes, its length and no allocation of its
// own. References handed out stay valid until Clear() or destruction.
//
// Blocks are mapped from the system directly and asked for in huge pages
// where the system offers them: a catalogue of millions of lines then takes
// a page fault per two megabytes instead of one per four kilobytes.
class CLineArena {
public:
    CLineArena() = default;
    ~CLineArena();
    CLineArena(const CLineArena&) = delete;
    CLineArena& operator=(const CLineArena&) = delete;

    // Copies the text in; throws std::bad_alloc when memory runs out.
    CLineRef Store(std::string_view text);
    // The same, for text the catalogue cannot do without (a folder's path):
    // when the blocks run out it is kept on the heap instead, and only an
    // exhausted heap throws.
    CLineRef StoreVital(std::string_view text);
    void Clear();
    std::size_t BytesReserved() const { return m_nReserved; }

    static constexpr std::size_t kBlockSize = 2 * 1024 * 1024;
    // Test hook: memory runs out once this many bytes are reserved.
    std::size_t m_nReserveLimit = SIZE_MAX;

private:
    struct Block {
        char* data;
        std::size_t size;
    };
    // A mapping of at least `size` bytes; throws std::bad_alloc.
    static Block Map(std::size_t size);

    std::vector<Block> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_spilled; // StoreVital's text past the blocks
    char* m_pFree = nullptr;
    std::size_t m_nLeft = 0;
    std::size_t m_nReserved = 0;
};
