#pragma once

#include "CatalogSession.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

// Compares two keys byte by byte, folding only the letters A to Z to lower
// case; bytes are unsigned, a prefix comes first. Returns -1, 0 or +1.
inline int CompareKeys(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    // Identical stretches (the shared start of folder paths) eight bytes at a time.
    while (i + 8 <= common) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y) {
            break;
        }
        i += 8;
    }
    for (; i < common; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x == y) {
            continue;
        }
        if (x >= 'A' && x <= 'Z') {
            x += 0x20;
        }
        if (y >= 'A' && y <= 'Z') {
            y += 0x20;
        }
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The catalogue's quicksort. Equal keys may end in any order across
// partitions, so the algorithm is fixed exactly: the middle element as pivot,
// ranges of at most 13 elements by insertion sort, recursion into the
// smaller part only.
template <typename Element, typename KeyOf>
class CQuickSort {
public:
    explicit CQuickSort(KeyOf keyOf) : m_keyOf(keyOf) {}

    void Sort(Element* items, std::ptrdiff_t lo, std::ptrdiff_t hi) const {
        while (lo < hi) {
            if (hi - lo < kInsertionLimit) {
                InsertionSort(items, lo, hi);
                return;
            }
            const std::ptrdiff_t p = Partition(items, lo, hi);
            if (p - lo > hi - p) {
                Sort(items, p + 1, hi);
                hi = p - 1;
            } else {
                Sort(items, lo, p - 1);
                lo = p + 1;
            }
        }
    }

    static constexpr std::ptrdiff_t kInsertionLimit = 13;

private:
    bool SortsAfter(const Element& x, const Element& y) const { return CompareKeys(m_keyOf(x), m_keyOf(y)) > 0; }

    std::ptrdiff_t Partition(Element* items, std::ptrdiff_t lo, std::ptrdiff_t hi) const {
        const std::ptrdiff_t mid = lo + (hi - lo) / 2;
        Element pivot = std::move(items[mid]);
        items[mid] = std::move(items[lo]);
        std::ptrdiff_t i = lo + 1;
        std::ptrdiff_t j = hi;
        for (;;) {
            while (i < j && SortsAfter(pivot, items[i])) {
                ++i;
            }
            while (j >= i && SortsAfter(items[j], pivot)) {
                --j;
            }
            if (i >= j) {
                break;
            }
            std::swap(items[i], items[j]);
            ++i;
            --j;
        }
        if (j != lo) {
            items[lo] = std::move(items[j]); // no self-move: a moved-from element may be emptied
        }
        items[j] = std::move(pivot);
        return j;
    }

    void InsertionSort(Element* items, std::ptrdiff_t lo, std::ptrdiff_t hi) const {
        for (std::ptrdiff_t i = lo + 1; i <= hi; ++i) {
            Element held = std::move(items[i]);
            std::ptrdiff_t j = i - 1;
            while (j >= lo && SortsAfter(items[j], held)) {
                items[j + 1] = std::move(items[j]);
                --j;
            }
            items[j + 1] = std::move(held);
        }
    }

    KeyOf m_keyOf;
};

// Puts a directory listing in order: the records by path, then in each
// record the sub-folder lines and the file lines by their whole text.
// Touches nothing but the order of the records and their lines.
void SortCatalogue(CCatalogSession& session);
