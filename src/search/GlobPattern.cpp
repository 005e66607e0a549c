#include "GlobPattern.h"

#include "Utf8.h"

namespace {

char32_t CharAt(std::string_view text, std::size_t pos, std::size_t& length) {
    char32_t c = 0;
    if (!Utf8::Decode(text, pos, c, length)) {
        length = 1;
        return static_cast<unsigned char>(text[pos]) | 0x110000u; // never equal to a decoded character
    }
    return c;
}

// Matches the bracket expression at pattern[p] against c; end gets the
// position after it. False with end == p when the bracket is not closed.
bool MatchBracket(std::string_view pattern, std::size_t p, char32_t c, std::size_t& end) {
    std::size_t i = p + 1;
    bool negate = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
        negate = true;
        ++i;
    }
    bool matched = false;
    bool first = true;
    while (i < pattern.size() && (first || pattern[i] != ']')) {
        first = false;
        // "\" quotes the next character here too, "]" and "-" included.
        const auto element = [&]() {
            if (pattern[i] == '\\' && i + 1 < pattern.size()) {
                ++i;
            }
            std::size_t length = 0;
            const char32_t c = CharAt(pattern, i, length);
            i += length;
            return c;
        };
        const char32_t low = element();
        char32_t high = low;
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            ++i;
            high = element();
        }
        matched = matched || (c >= low && c <= high);
    }
    if (i >= pattern.size()) {
        end = p;
        return false;
    }
    end = i + 1;
    return matched != negate;
}

} // namespace

CGlobPattern::CGlobPattern(std::string folded) : m_strPattern(std::move(folded)) {}

// Iterative matching with one remembered star: linear in practice, at
// worst pattern length times name length, never exponential.
bool CGlobPattern::Matches(std::string_view name) const {
    const std::string_view pattern = m_strPattern;
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '*') {
                starP = ++p;
                starN = n;
                continue;
            }
            std::size_t nameLength = 0;
            const char32_t c = CharAt(name, n, nameLength);
            if (pc == '?') {
                ++p;
                n += nameLength;
                continue;
            }
            if (pc == '[') {
                std::size_t end = p;
                if (MatchBracket(pattern, p, c, end)) {
                    p = end;
                    n += nameLength;
                    continue;
                }
                if (end != p) {
                    goto retry; // a closed bracket that did not match
                }
            }
            {
                std::size_t q = p;
                if (pc == '\\' && q + 1 < pattern.size()) {
                    ++q;
                }
                std::size_t patternLength = 0;
                if (CharAt(pattern, q, patternLength) == c) {
                    p = q + patternLength;
                    n += nameLength;
                    continue;
                }
            }
        }
    retry:
        if (starP == std::string_view::npos) {
            return false;
        }
        p = starP;
        starN += Utf8::SequenceLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::string CGlobPattern::LongestLiteral() const {
    std::string best, current;
    const auto flush = [&] {
        if (current.size() > best.size()) {
            best = current;
        }
        current.clear();
    };
    for (std::size_t p = 0; p < m_strPattern.size(); ++p) {
        const char c = m_strPattern[p];
        if (c == '*' || c == '?') {
            flush();
            continue;
        }
        if (c == '[') {
            std::size_t j = p + 1;
            if (j < m_strPattern.size() && (m_strPattern[j] == '!' || m_strPattern[j] == '^')) {
                ++j;
            }
            // Where MatchBracket ends it: the first "]" after the first
            // character, one quoted by "\" not counted.
            std::size_t close = j;
            for (bool first = true; close < m_strPattern.size() && (first || m_strPattern[close] != ']'); first = false) {
                close += m_strPattern[close] == '\\' && close + 1 < m_strPattern.size() ? 2 : 1;
            }
            if (close < m_strPattern.size()) {
                flush();
                p = close;
                continue;
            }
        }
        if (c == '\\' && p + 1 < m_strPattern.size()) {
            ++p;
        }
        current.push_back(m_strPattern[p]);
    }
    flush();
    return best;
}
