// The fast paths of locale formatting (compiled date and time formats, upper
// case eight bytes at a time, grouping without allocation) against the C
// library's own conversions, in every locale the machine has of a list.
#include "LineArena.h"
#include "LocaleFormat.h"
#include "TimePattern.h"
#include "Utf8.h"

#include <climits>
#include <gtest/gtest.h>
#include <wctype.h>

namespace {

// Locales to try; those the machine lacks are skipped.
const char* const kLocales[] = {"C",           "POSIX",       "C.UTF-8",     "en_US.UTF-8", "de_DE.UTF-8",
                                "en_GB.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8", "tr_TR.UTF-8", "ko_KR.UTF-8"};

class CLocaleHandle {
public:
    explicit CLocaleHandle(const char* name) : m_locale(newlocale(LC_ALL_MASK, name, nullptr)) {}
    ~CLocaleHandle() {
        if (m_locale != nullptr) {
            freelocale(m_locale);
        }
    }
    CLocaleHandle(const CLocaleHandle&) = delete;
    CLocaleHandle& operator=(const CLocaleHandle&) = delete;
    locale_t Get() const { return m_locale; }

private:
    locale_t m_locale;
};

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

// Times around every edge the conversions have: single-digit fields, noon
// and midnight for the 12-hour clock, the first and last years allowed.
const std::tm kTimes[] = {
    Time(1601, 1, 1, 0, 0, 0),   Time(1999, 12, 31, 23, 59, 59), Time(2000, 2, 29, 12, 0, 0),
    Time(2009, 9, 9, 9, 9, 9),   Time(2026, 3, 5, 11, 59, 59),   Time(2026, 10, 10, 13, 1, 2),
    Time(9999, 12, 31, 0, 30, 0), Time(1900, 7, 4, 1, 0, 0),     Time(2100, 1, 15, 22, 10, 5),
};

std::string Strftime(const char* format, const std::tm& time, locale_t locale) {
    char buffer[256];
    return std::string(buffer, strftime_l(buffer, sizeof buffer, format, &time, locale));
}

TEST(TimePattern, MatchesStrftimeInEveryLocale) {
    const char* const formats[] = {"%x", "%X", "%r", "%D|%T|%R", "%d.%m.%Y %e %y",
                                   "%H:%M:%S %I %p", "a%%b%nc%td", "%Y-%m-%dT%H:%M:%S"};
    int localesTried = 0;
    for (const char* name : kLocales) {
        CLocaleHandle locale(name);
        if (locale.Get() == nullptr) {
            continue;
        }
        ++localesTried;
        for (const char* format : formats) {
            CTimePattern pattern;
            if (!pattern.Compile(format, locale.Get())) {
                // Only a locale's own format may hold what the pattern does not know.
                EXPECT_TRUE(format[1] == 'x' || format[1] == 'X' || format[1] == 'r') << name << " " << format;
                continue;
            }
            for (const std::tm& time : kTimes) {
                std::string text;
                pattern.AppendTo(text, time);
                EXPECT_EQ(text, Strftime(format, time, locale.Get())) << name << " " << format;
            }
        }
    }
    EXPECT_GE(localesTried, 5); // C, POSIX, C.UTF-8 and the two the tests need
}

TEST(TimePattern, RefusesWhatItDoesNotKnow) {
    CLocaleHandle locale("C.UTF-8");
    for (const char* format : {"%a", "%b %d", "%Ey", "%Od", "%-d", "%_H", "%5M", "%j", "%Z", "%s", "100%"}) {
        CTimePattern pattern;
        EXPECT_FALSE(pattern.Compile(format, locale.Get())) << format;
    }
}

// Cached texts from one call must never leak into the next.
TEST(LocaleFormat, DateAndTimeTextsMatchStrftimeCallAfterCall) {
    const std::int64_t base = 1772708400; // 2026-03-05 12:00:00 CET
    const std::int64_t seconds[] = {base,         base,          base + 1,       base + 86400,   base - 43200,
                                    base - 43201, 253402300800,  base + 3600,    -11644473600LL, base + 200 * 86400,
                                    base + 200 * 86400 + 5,      -11644473600LL - 3601, 0};
    for (const char* name : kLocales) {
        CLocaleHandle locale(name);
        if (locale.Get() == nullptr) {
            continue;
        }
        CLocaleFormat format(name, name, name);
        for (const std::int64_t value : seconds) {
            const auto time = static_cast<std::time_t>(value);
            std::tm local{};
            ASSERT_NE(localtime_r(&time, &local), nullptr);
            const bool valid = local.tm_year + 1900 >= 1601 && local.tm_year + 1900 <= 9999;
            std::string_view date, clock;
            format.DateTimeText(value, date, clock);
            EXPECT_EQ(date, valid ? Strftime("%x", local, locale.Get()) : "") << name << " " << value;
            const std::tm midnight = Time(2000, 1, 1, 0, 0, 0);
            EXPECT_EQ(clock, Strftime("%X", valid ? local : midnight, locale.Get())) << name << " " << value;

            std::string upperDate, upperClock;
            format.AppendUpper(upperDate, date);
            format.AppendUpper(upperClock, clock);
            format.UpperDateTimeText(value, date, clock);
            EXPECT_EQ(date, upperDate) << name << " " << value;
            EXPECT_EQ(clock, upperClock) << name << " " << value;
        }
    }
}

// Upper case one character at a time, the obvious way.
std::string UpperByCharacter(std::string_view text, locale_t locale) {
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t codePoint;
        std::size_t length;
        if (!Utf8::Decode(text, pos, codePoint, length)) {
            out.push_back(text[pos++]);
            continue;
        }
        Utf8::Encode(static_cast<char32_t>(towupper_l(static_cast<wint_t>(codePoint), locale)), out);
        pos += length;
    }
    return out;
}

TEST(LocaleFormat, UpperCaseMatchesCharacterByCharacter) {
    const std::string texts[] = {
        "",
        "a",
        "abcdefg",
        "abcdefgh",
        "abcdefghijklmnopqrstuvwxyz0123456789 {|}~`@[\\]^_",
        "report 2024 final.tar.gz",
        "\xC3\xBC" "bersicht \xC3\xA4rger stra\xC3\x9F" "e",        // German letters, sharp s has no capital here
        "\xCE\xB5\xCE\xB9\xCE\xBA\xCF\x8C\xCE\xBD\xCE\xB1 and more ascii", // Greek
        "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 2024",     // Cyrillic
        "\xC4\xB1\xC5\xBF\xC9\x90 shorter and longer",               // dotless i, long s, turned a (U+2C6F: 3 bytes)
        "\xEF\xBD\x81\xEF\xBD\x82 fullwidth, \xF0\x90\x90\xA8 deseret",
        "bad \xFF bytes \xC3 \xE2\x82 here\xC3",
        "mixed12345678\xC3\xA9tait\xC3\xA9t\xC3\xA9 abcdefghABCDEFGH",
    };
    for (const char* name : kLocales) {
        CLocaleHandle locale(name);
        if (locale.Get() == nullptr) {
            continue;
        }
        CLocaleFormat format(name, name, name);
        for (const std::string& text : texts) {
            std::string upper = "kept:";
            format.AppendUpper(upper, text);
            EXPECT_EQ(upper, "kept:" + UpperByCharacter(text, locale.Get())) << name << " " << text;
        }
    }
}

TEST(LocaleFormat, GroupsTheExtremes) {
    CLocaleFormat us("en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(us.FormatNumber(INT64_MAX), "9,223,372,036,854,775,807");
    EXPECT_EQ(us.FormatNumber(INT64_MIN), "-9,223,372,036,854,775,808");
    EXPECT_EQ(us.FormatNumber(-1), "-1");
    EXPECT_EQ(us.FormatNumber(100000), "100,000");
    std::string appended = "size ";
    us.AppendNumber(appended, 12345);
    EXPECT_EQ(appended, "size 12,345");
}

TEST(LineArena, KeepsEveryLineAcrossBlocks) {
    CLineArena arena;
    std::vector<std::string> texts;
    std::vector<std::string_view> stored;
    // Enough lines to fill several blocks, lengths on both sides of the one-byte
    // length, and lines too long to share a block.
    for (int i = 0; i < 60000; ++i) {
        std::string text = "line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 300), 'x');
        if (i % 20000 == 7) {
            text.assign(CLineArena::kBlockSize / 2 + static_cast<std::size_t>(i), 'L');
        }
        stored.push_back(arena.Store(text));
        texts.push_back(std::move(text));
    }
    EXPECT_TRUE(arena.Store("").View().empty());
    EXPECT_GE(arena.BytesReserved(), 3 * CLineArena::kBlockSize);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(stored[i], texts[i]) << i;
    }
    arena.Clear();
    EXPECT_EQ(arena.BytesReserved(), 0u);
    EXPECT_EQ(arena.Store("again"), "again");
}

} // namespace
