#include "SizeText.h"

#include <charconv>

namespace {

struct Unit {
    std::string_view name;
    std::uint64_t multiplier;
};

constexpr std::uint64_t kKilo = 1000;
constexpr std::uint64_t kKibi = 1024;
constexpr Unit kUnits[] = {
    {"", 1},
    {"k", kKilo},
    {"M", kKilo * kKilo},
    {"G", kKilo * kKilo * kKilo},
    {"T", kKilo * kKilo * kKilo * kKilo},
    {"KiB", kKibi},
    {"MiB", kKibi * kKibi},
    {"GiB", kKibi * kKibi * kKibi},
    {"TiB", kKibi * kKibi * kKibi * kKibi},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// floor(multiplier * 0.<digits>), exactly, for any number of digits: the
// product is formed from the last digit up, and only what carries past the
// decimal point is kept. The carry stays below the multiplier.
std::uint64_t FractionBytes(std::string_view digits, std::uint64_t multiplier) {
    std::uint64_t carry = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        carry = (static_cast<std::uint64_t>(*it - '0') * multiplier + carry) / 10;
    }
    return carry;
}

} // namespace

bool CSizeText::Parse(std::string_view text, std::uint64_t& bytes, ESizeError& reason) {
    reason = ESizeError::kNone;
    if (text.empty()) {
        reason = ESizeError::kEmpty;
        return false;
    }
    if (!IsDigit(text.front())) {
        reason = ESizeError::kNotANumber;
        return false;
    }
    std::uint64_t whole = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (error == std::errc::result_out_of_range) {
        reason = ESizeError::kTooLarge;
        return false;
    }
    std::size_t pos = static_cast<std::size_t>(end - text.data());
    std::string_view fraction;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t first = ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
        }
        fraction = text.substr(first, pos - first);
        if (fraction.empty()) {
            reason = ESizeError::kBadFraction;
            return false;
        }
    }
    const std::string_view unitName = text.substr(pos);
    const Unit* unit = nullptr;
    for (const Unit& candidate : kUnits) {
        if (candidate.name == unitName) {
            unit = &candidate;
        }
    }
    if (unit == nullptr) {
        reason = ESizeError::kBadUnit;
        return false;
    }
    if (unit->multiplier == 1 && !fraction.empty()) {
        reason = ESizeError::kBadFraction;
        return false;
    }
    std::uint64_t result = 0;
    if (__builtin_mul_overflow(whole, unit->multiplier, &result) ||
        __builtin_add_overflow(result, FractionBytes(fraction, unit->multiplier), &result)) {
        reason = ESizeError::kTooLarge;
        return false;
    }
    bytes = result;
    return true;
}
