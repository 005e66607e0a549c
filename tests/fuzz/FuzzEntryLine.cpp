// Arbitrary names, sizes, times and options through the entry-line
// formatter: every line must stay one line, keep its column count, and a
// padded line must keep its first columns at their widths.
#include "EntryFormatter.h"
#include "Utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

CLocaleFormat& Locale(int which) {
    static CLocaleFormat locales[] = {
        CLocaleFormat("C.UTF-8", "C.UTF-8", "C.UTF-8"),
        CLocaleFormat("en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8"),
        CLocaleFormat("de_DE.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8"),
        CLocaleFormat("C", "C", "C"),
    };
    return locales[which % 4];
}

std::size_t Count(const std::string& text, char c) {
    std::size_t n = 0;
    for (char x : text) {
        n += x == c;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 18) {
        return 0;
    }
    const int flags = data[0];
    std::uint64_t sizeValue;
    std::int64_t time;
    std::memcpy(&sizeValue, data + 1, 8);
    std::memcpy(&time, data + 9, 8);
    sizeValue &= 0x7FFFFFFFFFFFFFFFULL;
    const std::string_view name(reinterpret_cast<const char*>(data) + 17, size - 17);

    CEntryFormatter formatter(Locale(flags & 3));
    CFindData entry;
    entry.m_strName = name;
    entry.m_bDirectory = (flags & 4) != 0;
    entry.m_nSize = entry.m_bDirectory ? 0 : sizeValue;
    entry.m_nLastWrite = time;

    std::string line;
    if (flags & 8) {
        CArchiveSettings tags;
        tags.m_strMediaType = (flags & 16) ? "DAT" : "CD\n";
        tags.m_nMediaNumber = static_cast<int>(time % 1000);
        tags.m_nArchiveNumber = static_cast<int>(sizeValue % 100000) - 50;
        formatter.BuildArchiveLine(line, entry, tags);
        Require(Count(line, '\t') == 4, "an archive line has five columns");
    } else {
        const int outputFormat = (flags & 16) ? 1 : 0;
        formatter.BuildListingLine(line, entry, (flags & 32) != 0, outputFormat);
        if (outputFormat == 0) {
            Require(Count(line, '\t') == 4, "a tabbed line has five columns");
        } else {
            Require(Utf8::CharCount(line) >= 15 + 2 + 20 + 2 + 8 + 2 + 11 + 2, "padded columns keep their width");
            Require(Count(line, '\t') == 0, "a padded line has no tabs");
        }
    }
    Require(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos, "one entry, one line");
    for (unsigned char c : line) {
        Require(c >= 0x20 ? c != 0x7F : c == '\t', "no control characters but tabs");
    }
    return 0;
}
