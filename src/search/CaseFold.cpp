#include "CaseFold.h"

#include "Utf8.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace {

// A locale that knows every Unicode character's lower case, whatever the
// user's locale is; made once, never freed.
locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made != static_cast<locale_t>(nullptr) ? made : newlocale(LC_CTYPE_MASK, "C", nullptr);
    }();
    return locale;
}

char32_t FoldCodePoint(char32_t c) {
    switch (c) {
    case 0x03C2: // final sigma folds to sigma
        return 0x03C3;
    case 0x017F: // long s
        return 's';
    case 0x1E9E: // capital sharp s
        return 0xDF;
    default:
        break;
    }
    const wint_t lower = towlower_l(static_cast<wint_t>(c), UnicodeLocale());
    return static_cast<char32_t>(lower);
}

} // namespace

namespace CaseFold {

void Append(std::string& out, std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            out.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : static_cast<char>(byte));
            ++pos;
            continue;
        }
        char32_t codePoint = 0;
        std::size_t length = 0;
        if (!Utf8::Decode(utf8, pos, codePoint, length)) {
            out.push_back(utf8[pos]);
            ++pos;
            continue;
        }
        Utf8::Encode(FoldCodePoint(codePoint), out);
        pos += length;
    }
}

std::string Fold(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    Append(out, utf8);
    return out;
}

} // namespace CaseFold
