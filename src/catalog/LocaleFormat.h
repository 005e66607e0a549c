#pragma once

#include "LocaleHandle.h"
#include "TimePattern.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <locale.h>
#include <string>
#include <string_view>
#include <vector>

// The user's regional conventions for report text: the short date (%x) and
// the time (%X) of LC_TIME, the thousands grouping of LC_NUMERIC and the
// upper case of LC_CTYPE. A locale that the environment names but the system
// lacks falls back to C.UTF-8, then C, without a word.
//
// Not thread-safe (it caches the last texts); one per thread of use.
class CLocaleFormat {
public:
    // Categories named as the environment names them (LC_ALL, LC_xxx, LANG).
    static CLocaleFormat FromEnvironment();
    CLocaleFormat(const std::string& ctypeName, const std::string& numericName, const std::string& timeName);
    CLocaleFormat(CLocaleFormat&&) noexcept = default;
    CLocaleFormat& operator=(CLocaleFormat&&) noexcept = default;
    CLocaleFormat(const CLocaleFormat&) = delete;
    CLocaleFormat& operator=(const CLocaleFormat&) = delete;

    // Date and time text of a last-write time in local time. A time that has
    // no calendar date (out of range) gives an empty date and the text of
    // midnight, so every line has a time.
    void DateTimeText(std::int64_t seconds, std::string_view& date, std::string_view& time);
    // The same texts in upper case (see AppendUpper).
    void UpperDateTimeText(std::int64_t seconds, std::string_view& date, std::string_view& time);

    // The whole number with the locale's grouping and thousands separator.
    void AppendNumber(std::string& out, std::int64_t value) const;
    std::string FormatNumber(std::int64_t value) const;

    // Appends text in upper case, character by character; bytes that are not
    // valid UTF-8 pass through unchanged.
    void AppendUpper(std::string& out, std::string_view text) const;
    // Whether upper case is exactly a-z to A-Z on ASCII, so that AppendUpper
    // converts runs of ASCII eight bytes at a time.
    bool HasPlainAsciiUpper() const { return m_bPlainAsciiUpper; }

private:
    static locale_t Open(int categoryMask, const std::string& name, locale_t base);
    void Prepare();
    // %x or %X of a valid local time, compiled when the locale's format allows.
    void AppendDateText(std::string& out, const std::tm& local) const;
    void AppendTimeText(std::string& out, const std::tm& local) const;

    CLocaleHandle m_locale;
    std::string m_strSeparator;
    std::string m_strGrouping;
    // Upper case of each ASCII byte; 0 where it is not a single ASCII byte
    // (the Turkish dotted capital I), which m_asciiUpper then holds.
    std::array<char, 128> m_asciiUpperByte{};
    bool m_bPlainAsciiUpper = false; // exactly a-z to A-Z, every other ASCII byte unchanged
    std::array<std::string, 128> m_asciiUpper;
    // Upper case of the two-byte characters U+0080 to U+07FF, by code point.
    std::vector<char32_t> m_twoByteUpper;
    std::string m_strMidnight;
    CTimePattern m_datePattern;
    CTimePattern m_timePattern;
    bool m_bDateCompiled = false;
    bool m_bTimeCompiled = false;

    // One-entry caches: neighbouring entries often share a time or a day.
    std::int64_t m_nCachedSecond = INT64_MIN;
    std::string m_strCachedDate;
    std::string m_strCachedTime;
    int m_nCachedDay = -1;
    int m_nCachedYear = -1;
    // Upper-case copies, and the texts they were made from (counted by changes).
    std::uint64_t m_nDateChanges = 0;
    std::uint64_t m_nTimeChanges = 0;
    std::uint64_t m_nUpperDateOf = UINT64_MAX;
    std::uint64_t m_nUpperTimeOf = UINT64_MAX;
    std::string m_strUpperDate;
    std::string m_strUpperTime;
};
