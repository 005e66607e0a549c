#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct roaring_bitmap_s;

// A set of 32-bit numbers held by CRoaring, owned. Read from a file only
// through FromBytes, which checks the bytes before the library sees them.
class CRoaringBitmap {
public:
    CRoaringBitmap();
    ~CRoaringBitmap();
    CRoaringBitmap(CRoaringBitmap&& other) noexcept;
    CRoaringBitmap& operator=(CRoaringBitmap&& other) noexcept;
    CRoaringBitmap(const CRoaringBitmap&) = delete;
    CRoaringBitmap& operator=(const CRoaringBitmap&) = delete;

    // The set held in bytes of the portable form, which must fill them
    // exactly; false, leaving the set empty, when they are not sound (keys
    // and values rising, counts agreeing, nothing past the end).
    bool FromBytes(std::string_view bytes);
    static bool IsSound(std::string_view bytes);

    void Add(std::uint32_t value);
    void AddMany(const std::vector<std::uint32_t>& values);
    bool Contains(std::uint32_t value) const;
    void IntersectWith(const CRoaringBitmap& other);
    void UniteWith(const CRoaringBitmap& other);
    std::uint64_t Count() const;
    bool Empty() const { return Count() == 0; }
    // The portable form, runs made where they are smaller.
    std::string Bytes();
    // The members in [from, to), in rising order.
    std::vector<std::uint32_t> Values(std::uint32_t from = 0, std::uint32_t to = UINT32_MAX) const;

private:
    roaring_bitmap_s* m_pBitmap;
};
