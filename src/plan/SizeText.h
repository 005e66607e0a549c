#pragma once

#include <cstdint>
#include <string_view>

// Why a size text was refused; the string table holds the message of each
// (IDS_SIZE_ERROR_FIRST plus the reason).
enum class ESizeError : int {
    kNone = 0,
    kEmpty = 1,       // nothing given
    kNotANumber = 2,  // no digits where the number should start
    kBadFraction = 3, // a decimal point without digits after it, or a fraction of a byte
    kBadUnit = 4,     // anything after the number but k, M, G, T, KiB, MiB, GiB, TiB
    kTooLarge = 5,    // more bytes than 64 bits hold
};

// A size as people write it: a whole number of bytes ("737280000"), or a
// number with a decimal point allowed and a unit, k, M, G, T (powers of
// 1000) or KiB, MiB, GiB, TiB (powers of 1024). The result is rounded down
// to whole bytes and computed exactly ("4.7G" is 4,700,000,000).
class CSizeText {
public:
    // False, with the reason, for anything else; `bytes` is then untouched.
    static bool Parse(std::string_view text, std::uint64_t& bytes, ESizeError& reason);
};
