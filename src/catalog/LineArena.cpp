#include "LineArena.h"

#include <algorithm>
#include <new>
#include <sys/mman.h>

CLineArena::~CLineArena() { Clear(); }

CLineArena::Block CLineArena::Map(std::size_t size) {
    // Twice the block, so that a block-aligned block lies inside; the rest is
    // given back at once.
    const bool huge = size == kBlockSize;
    const std::size_t mapped = huge ? 2 * kBlockSize : size;
    void* address = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* start = static_cast<char*>(address);
    if (!huge) {
        return {start, size};
    }
    const auto misalignment = reinterpret_cast<std::uintptr_t>(start) % kBlockSize;
    char* aligned = misalignment == 0 ? start : start + (kBlockSize - misalignment);
    if (aligned > start) {
        munmap(start, static_cast<std::size_t>(aligned - start));
    }
    char* const end = start + mapped;
    if (aligned + kBlockSize < end) {
        munmap(aligned + kBlockSize, static_cast<std::size_t>(end - (aligned + kBlockSize)));
    }
#ifdef MADV_HUGEPAGE
    madvise(aligned, kBlockSize, MADV_HUGEPAGE); // a hint: without huge pages all works the same
#endif
    return {aligned, kBlockSize};
}

CLineRef CLineArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const std::size_t stored = CLineRef::StoredSize(text.size());
    if (stored > m_nLeft) {
        const bool own = stored > kBlockSize / 4; // an oversized line gets a block of its own
        m_blocks.reserve(m_blocks.size() + 1);
        const std::size_t size = own ? stored : kBlockSize;
        if (size > m_nReserveLimit - std::min(m_nReserved, m_nReserveLimit)) {
            throw std::bad_alloc();
        }
        const Block block = Map(size);
        m_blocks.push_back(block);
        m_nReserved += block.size;
        if (own) {
            return CLineRef::Write(block.data, text);
        }
        m_pFree = block.data;
        m_nLeft = block.size;
    }
    const CLineRef line = CLineRef::Write(m_pFree, text);
    m_pFree += stored;
    m_nLeft -= stored;
    return line;
}

CLineRef CLineArena::StoreVital(std::string_view text) {
    try {
        return Store(text);
    } catch (const std::bad_alloc&) {
        m_spilled.reserve(m_spilled.size() + 1);
        auto& stored = m_spilled.emplace_back(new char[CLineRef::StoredSize(text.size())]);
        return CLineRef::Write(stored.get(), text);
    }
}

void CLineArena::Clear() {
    for (const Block& block : m_blocks) {
        munmap(block.data, block.size);
    }
    std::vector<Block>().swap(m_blocks);
    std::vector<std::unique_ptr<char[]>>().swap(m_spilled);
    m_pFree = nullptr;
    m_nLeft = 0;
    m_nReserved = 0;
}
