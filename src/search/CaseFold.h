#pragma once

#include <string>
#include <string_view>

// The case folding that Find compares with: ASCII letters, and for valid
// UTF-8 the simple (one to one) lower-case mapping of every character.
// Bytes outside a valid sequence pass unchanged. Thread-safe.
namespace CaseFold {

void Append(std::string& out, std::string_view utf8);
std::string Fold(std::string_view utf8);

} // namespace CaseFold
