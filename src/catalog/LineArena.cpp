#include "LineArena.h"

#include <cstring>

std::string_view CLineArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > m_nLeft) {
        const std::size_t size = text.size() > kBlockSize / 4 ? text.size() : kBlockSize;
        auto block = std::make_unique_for_overwrite<char[]>(size);
        if (size == text.size()) { // an oversized line gets a block of its own
            std::memcpy(block.get(), text.data(), text.size());
            std::string_view stored(block.get(), text.size());
            m_blocks.push_back(std::move(block));
            m_nReserved += size;
            return stored;
        }
        m_pFree = block.get();
        m_nLeft = size;
        m_blocks.push_back(std::move(block));
        m_nReserved += size;
    }
    std::memcpy(m_pFree, text.data(), text.size());
    std::string_view stored(m_pFree, text.size());
    m_pFree += text.size();
    m_nLeft -= text.size();
    return stored;
}

void CLineArena::Clear() {
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_pFree = nullptr;
    m_nLeft = 0;
    m_nReserved = 0;
}
