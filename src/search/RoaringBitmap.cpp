#include "RoaringBitmap.h"

#include <roaring/roaring.h>

#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kCookieNoRuns = 12346;
constexpr std::uint32_t kCookieRuns = 12347;
constexpr std::size_t kNoOffsetThreshold = 4;
constexpr std::uint32_t kArrayLimit = 4096;

// Reads the portable form's numbers, each checked against the end.
class CPortableReader {
public:
    explicit CPortableReader(std::string_view bytes) : m_bytes(bytes) {}
    template <typename T> bool Take(T& value) {
        if (m_bytes.size() - m_nAt < sizeof value) {
            return false;
        }
        std::memcpy(&value, m_bytes.data() + m_nAt, sizeof value);
        m_nAt += sizeof value;
        return true;
    }
    bool Skip(std::size_t count) {
        if (m_bytes.size() - m_nAt < count) {
            return false;
        }
        m_nAt += count;
        return true;
    }
    const char* Here() const { return m_bytes.data() + m_nAt; }
    bool AtEnd() const { return m_nAt == m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_nAt = 0;
};

} // namespace

CRoaringBitmap::CRoaringBitmap() : m_pBitmap(roaring_bitmap_create()) {}

CRoaringBitmap::~CRoaringBitmap() {
    if (m_pBitmap != nullptr) {
        roaring_bitmap_free(m_pBitmap);
    }
}

CRoaringBitmap::CRoaringBitmap(CRoaringBitmap&& other) noexcept
    : m_pBitmap(std::exchange(other.m_pBitmap, roaring_bitmap_create())) {}

CRoaringBitmap& CRoaringBitmap::operator=(CRoaringBitmap&& other) noexcept {
    std::swap(m_pBitmap, other.m_pBitmap);
    return *this;
}

// The library's own reader trusts the values inside the containers; a set
// it reads must therefore be checked whole first: keys rising, each
// container's values rising and within 16 bits, bitsets holding as many
// values as their count says, runs apart, nothing left over.
bool CRoaringBitmap::IsSound(std::string_view bytes) {
    CPortableReader in(bytes);
    std::uint32_t cookie = 0;
    if (!in.Take(cookie)) {
        return false;
    }
    std::uint32_t containers = 0;
    const char* runFlags = nullptr;
    const bool hasRuns = (cookie & 0xFFFF) == kCookieRuns;
    if (hasRuns) {
        containers = (cookie >> 16) + 1;
        runFlags = in.Here();
        if (!in.Skip((containers + 7) / 8)) {
            return false;
        }
    } else if (cookie != kCookieNoRuns || !in.Take(containers) || containers > 65536) {
        return false;
    }
    std::vector<std::uint16_t> keys(containers);
    std::vector<std::uint32_t> counts(containers);
    for (std::uint32_t i = 0; i < containers; ++i) {
        std::uint16_t countLess = 0;
        if (!in.Take(keys[i]) || !in.Take(countLess) || (i > 0 && keys[i] <= keys[i - 1])) {
            return false;
        }
        counts[i] = std::uint32_t{countLess} + 1;
    }
    if ((!hasRuns || containers >= kNoOffsetThreshold) && !in.Skip(std::size_t{containers} * 4)) {
        return false;
    }
    for (std::uint32_t i = 0; i < containers; ++i) {
        const bool isRun = hasRuns && (static_cast<unsigned char>(runFlags[i / 8]) >> (i % 8) & 1) != 0;
        if (isRun) {
            std::uint16_t runs = 0;
            if (!in.Take(runs) || runs == 0) {
                return false;
            }
            std::uint32_t total = 0;
            std::int64_t previousEnd = -2;
            for (std::uint16_t r = 0; r < runs; ++r) {
                std::uint16_t start = 0, length = 0;
                if (!in.Take(start) || !in.Take(length) || std::uint32_t{start} + length > 0xFFFF ||
                    start <= previousEnd + 1) {
                    return false;
                }
                previousEnd = std::int64_t{start} + length;
                total += std::uint32_t{length} + 1;
            }
            if (total != counts[i]) {
                return false;
            }
        } else if (counts[i] > kArrayLimit) {
            std::uint32_t total = 0;
            for (int w = 0; w < 1024; ++w) {
                std::uint64_t word = 0;
                if (!in.Take(word)) {
                    return false;
                }
                total += static_cast<std::uint32_t>(__builtin_popcountll(word));
            }
            if (total != counts[i]) {
                return false;
            }
        } else {
            std::int32_t previous = -1;
            for (std::uint32_t k = 0; k < counts[i]; ++k) {
                std::uint16_t value = 0;
                if (!in.Take(value) || value <= previous) {
                    return false;
                }
                previous = value;
            }
        }
    }
    return in.AtEnd();
}

bool CRoaringBitmap::FromBytes(std::string_view bytes) {
    *this = CRoaringBitmap();
    if (!IsSound(bytes)) {
        return false;
    }
    roaring_bitmap_t* read = roaring_bitmap_portable_deserialize_safe(bytes.data(), bytes.size());
    if (read == nullptr) {
        return false;
    }
    roaring_bitmap_free(m_pBitmap);
    m_pBitmap = read;
    return true;
}

void CRoaringBitmap::Add(std::uint32_t value) { roaring_bitmap_add(m_pBitmap, value); }

void CRoaringBitmap::AddMany(const std::vector<std::uint32_t>& values) {
    roaring_bitmap_add_many(m_pBitmap, values.size(), values.data());
}

bool CRoaringBitmap::Contains(std::uint32_t value) const { return roaring_bitmap_contains(m_pBitmap, value); }

void CRoaringBitmap::IntersectWith(const CRoaringBitmap& other) { roaring_bitmap_and_inplace(m_pBitmap, other.m_pBitmap); }

void CRoaringBitmap::UniteWith(const CRoaringBitmap& other) { roaring_bitmap_or_inplace(m_pBitmap, other.m_pBitmap); }

std::uint64_t CRoaringBitmap::Count() const { return roaring_bitmap_get_cardinality(m_pBitmap); }

std::string CRoaringBitmap::Bytes() {
    roaring_bitmap_run_optimize(m_pBitmap);
    std::string bytes(roaring_bitmap_portable_size_in_bytes(m_pBitmap), '\0');
    bytes.resize(roaring_bitmap_portable_serialize(m_pBitmap, bytes.data()));
    return bytes;
}

std::vector<std::uint32_t> CRoaringBitmap::Values(std::uint32_t from, std::uint32_t to) const {
    std::vector<std::uint32_t> values;
    roaring_uint32_iterator_t it;
    roaring_init_iterator(m_pBitmap, &it);
    if (!roaring_move_uint32_iterator_equalorlarger(&it, from)) {
        return values;
    }
    // In steps, so that a set of billions read from a damaged file stops at `to`.
    std::uint32_t buffer[256];
    for (;;) {
        const std::uint32_t got = roaring_read_uint32_iterator(&it, buffer, 256);
        for (std::uint32_t i = 0; i < got; ++i) {
            if (buffer[i] >= to) {
                return values;
            }
            values.push_back(buffer[i]);
        }
        if (got < 256) {
            return values;
        }
    }
}
