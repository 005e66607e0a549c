// The size text of the media planner: any bytes are refused with a reason or
// give a number that the same text always gives, and no number that does
// not fit 64 bits is ever returned wrapped.
#include "SizeText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::uint64_t bytes = 0;
    ESizeError reason = ESizeError::kNone;
    const bool ok = CSizeText::Parse(text, bytes, reason);
    if (ok != (reason == ESizeError::kNone)) {
        std::abort();
    }
    if (ok && !text.empty() && text.back() == 'B') {
        // The same number in the unit 1024 times smaller is at least as large.
        const std::string_view smaller = text.substr(0, text.size() - 3);
        std::uint64_t whole = 0;
        ESizeError wholeReason = ESizeError::kNone;
        if (smaller.find('.') == std::string_view::npos && CSizeText::Parse(smaller, whole, wholeReason) &&
            bytes < whole) {
            std::abort();
        }
    }
    return 0;
}
