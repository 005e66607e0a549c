#pragma once

#include <string>
#include <string_view>

// A shell pattern ("*", "?", "[...]" with ranges and "!" or "^" negation,
// "\" quoting the next character) matched against a whole name, both
// already case-folded. "?" and brackets match one UTF-8 character.
class CGlobPattern {
public:
    explicit CGlobPattern(std::string folded);

    bool Matches(std::string_view name) const;
    // The longest run of plain characters, which every match contains.
    std::string LongestLiteral() const;

private:
    std::string m_strPattern;
};
