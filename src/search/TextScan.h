#pragma once

#include <cstddef>
#include <string_view>

namespace TextScan {

// The first place in [from, from + size) where needle (not empty) starts,
// or null. Tuned for folded names, whose bytes repeat too much for
// memmem's skips to pay.
const char* Find(const char* from, std::size_t size, std::string_view needle);

} // namespace TextScan
