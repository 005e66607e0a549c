#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text of an INI file of sections and keys, read and changed the way the
// platform's profile functions do: names match without regard to ASCII case,
// the first matching section and key win, a new key goes to the end of its
// section and a new section to the end of the file. Lines that are not
// touched keep their bytes.
class CIniDocument {
public:
    CIniDocument() = default;
    explicit CIniDocument(std::string_view text);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // False (and nothing changed) when a name or the value would break the
    // layout: a line break anywhere, "]" in a section or "=" in a key.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;

private:
    std::vector<std::string> m_lines;
    bool m_bCrLf = false;
    bool m_bFinalNewline = true;
};

// Integer value of a profile string: leading blanks, an optional sign and
// the decimal digits that follow; anything else ends the number. No digits
// at all read as 0. Out-of-range values are clamped.
int ParseProfileInt(std::string_view text);
