#include "TextScan.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Compares the needle's first and last bytes at 32 places at once and the
// rest only where both agree.
const char* TextScan::Find(const char* from, std::size_t size, std::string_view needle) {
    const std::size_t length = needle.size();
    if (length == 0) {
        return from;
    }
    if (size < length) {
        return nullptr;
    }
    if (length == 1) {
        return static_cast<const char*>(std::memchr(from, needle[0], size));
    }
    const std::size_t places = size - length + 1;
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[length - 1]);
    const auto matches = [&](std::size_t i) {
        const auto* a = reinterpret_cast<const __m128i*>(from + i);
        const auto* b = reinterpret_cast<const __m128i*>(from + i + length - 1);
        const __m128i low = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a), first),
                                          _mm_cmpeq_epi8(_mm_loadu_si128(b), last));
        const __m128i high = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a + 1), first),
                                           _mm_cmpeq_epi8(_mm_loadu_si128(b + 1), last));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
    };
    const auto middleAgrees = [&](const char* candidate) {
        for (std::size_t k = 1; k + 1 < length; ++k) {
            if (candidate[k] != needle[k]) {
                return false;
            }
        }
        return true;
    };
    for (; at + 32 <= places; at += 32) {
        for (std::uint32_t mask = matches(at); mask != 0; mask &= mask - 1) {
            const char* candidate = from + at + static_cast<unsigned>(__builtin_ctz(mask));
            if (middleAgrees(candidate)) {
                return candidate;
            }
        }
    }
#endif
    for (; at < places; ++at) {
        if (from[at] == needle[0] && std::memcmp(from + at, needle.data(), length) == 0) {
            return from + at;
        }
    }
    return nullptr;
}
