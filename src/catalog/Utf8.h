#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Character counting over bytes that are UTF-8 in practice: a valid sequence
// is one character, every byte outside a valid sequence is one character too.
namespace Utf8 {

// Length of the character that starts at text[pos]: 1 to 4 bytes.
std::size_t SequenceLength(std::string_view text, std::size_t pos);

// Decodes the valid sequence at text[pos]; returns false for an invalid one.
bool Decode(std::string_view text, std::size_t pos, char32_t& codePoint, std::size_t& length);

void Encode(char32_t codePoint, std::string& out);
// Writes the 1 to 4 bytes of a code point to out and returns their number.
std::size_t EncodeTo(char32_t codePoint, char* out);

std::size_t CharCount(std::string_view text);

// Byte offset of character number charIndex, or text.size() when the text is shorter.
std::size_t ByteOffsetOfChar(std::string_view text, std::size_t charIndex);

// Appends text with every control byte (below 0x20, or 0x7F) shown as "?",
// so that a name always stays on one line and inside its column.
void AppendPrintable(std::string& out, std::string_view text);
std::string Printable(std::string_view text);

// Cuts text to at most maxChars characters, never inside a character.
std::string_view LeftChars(std::string_view text, std::size_t maxChars);

} // namespace Utf8
