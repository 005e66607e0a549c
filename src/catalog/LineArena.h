#pragma once

#include <memory>
#include <string_view>
#include <vector>

// Storage for the text of catalogue lines: large blocks filled one after the
// other, so a line costs its own bytes and no allocation of its own. Views
// handed out stay valid until Clear() or destruction.
class CLineArena {
public:
    CLineArena() = default;
    CLineArena(const CLineArena&) = delete;
    CLineArena& operator=(const CLineArena&) = delete;

    // Copies the text in; throws std::bad_alloc when memory runs out.
    std::string_view Store(std::string_view text);
    void Clear();
    std::size_t BytesReserved() const { return m_nReserved; }

private:
    static constexpr std::size_t kBlockSize = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_pFree = nullptr;
    std::size_t m_nLeft = 0;
    std::size_t m_nReserved = 0;
};
