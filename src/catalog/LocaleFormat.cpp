#include "LocaleFormat.h"

#include "TextFormat.h"
#include "Utf8.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <wctype.h>

namespace {

std::string EnvironmentName(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

constexpr int kMinYear = 1601; // what a file time of the original platform can hold
constexpr int kMaxYear = 9999;

} // namespace

locale_t CLocaleFormat::Open(int categoryMask, const std::string& name, locale_t base) {
    for (const char* candidate : {name.c_str(), "C.UTF-8", "C"}) {
        if (locale_t opened = newlocale(categoryMask, candidate, base)) {
            return opened;
        }
    }
    return base;
}

CLocaleFormat CLocaleFormat::FromEnvironment() {
    return CLocaleFormat(EnvironmentName("LC_CTYPE"), EnvironmentName("LC_NUMERIC"), EnvironmentName("LC_TIME"));
}

CLocaleFormat::CLocaleFormat(const std::string& ctypeName, const std::string& numericName,
                             const std::string& timeName) {
    locale_t base = newlocale(LC_ALL_MASK, "C", nullptr);
    base = Open(LC_CTYPE_MASK, ctypeName, base);
    base = Open(LC_NUMERIC_MASK, numericName, base);
    m_locale = CLocaleHandle(Open(LC_TIME_MASK, timeName, base));
    Prepare();
}

void CLocaleFormat::Prepare() {
    m_strSeparator = nl_langinfo_l(THOUSEP, m_locale.Get());
    m_strGrouping = nl_langinfo_l(GROUPING, m_locale.Get());
    for (int c = 0; c < 128; ++c) {
        const wint_t upper = towupper_l(static_cast<wint_t>(c), m_locale.Get());
        m_asciiUpper[c].clear();
        Utf8::Encode(static_cast<char32_t>(upper), m_asciiUpper[c]);
        m_asciiUpperByte[c] = upper < 0x80 ? static_cast<char>(upper) : '\0';
    }
    m_bPlainAsciiUpper = true;
    for (int c = 0; c < 128; ++c) {
        const int plain = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
        m_bPlainAsciiUpper = m_bPlainAsciiUpper && m_asciiUpperByte[c] == static_cast<char>(plain);
    }
    m_twoByteUpper.resize(0x800);
    for (char32_t c = 0x80; c < 0x800; ++c) {
        m_twoByteUpper[c] = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), m_locale.Get()));
    }
    m_bDateCompiled = m_datePattern.Compile("%x", m_locale.Get());
    m_bTimeCompiled = m_timePattern.Compile("%X", m_locale.Get());
    std::tm midnight{};
    midnight.tm_year = 100;
    midnight.tm_mday = 1;
    m_strMidnight.clear();
    AppendTimeText(m_strMidnight, midnight);
}

void CLocaleFormat::AppendDateText(std::string& out, const std::tm& local) const {
    if (m_bDateCompiled) {
        m_datePattern.AppendTo(out, local);
        return;
    }
    char buffer[128];
    out.append(buffer, strftime_l(buffer, sizeof buffer, "%x", &local, m_locale.Get()));
}

void CLocaleFormat::AppendTimeText(std::string& out, const std::tm& local) const {
    if (m_bTimeCompiled) {
        m_timePattern.AppendTo(out, local);
        return;
    }
    char buffer[128];
    out.append(buffer, strftime_l(buffer, sizeof buffer, "%X", &local, m_locale.Get()));
}

void CLocaleFormat::DateTimeText(std::int64_t seconds, std::string_view& date, std::string_view& time) {
    if (seconds != m_nCachedSecond) {
        const auto value = static_cast<std::time_t>(seconds);
        std::tm local{};
        if (static_cast<std::int64_t>(value) != seconds || localtime_r(&value, &local) == nullptr ||
            local.tm_year + 1900 < kMinYear || local.tm_year + 1900 > kMaxYear) {
            m_strCachedDate.clear();
            m_strCachedTime = m_strMidnight;
            m_nCachedDay = -1;
            ++m_nDateChanges;
        } else {
            if (local.tm_yday != m_nCachedDay || local.tm_year != m_nCachedYear) {
                m_strCachedDate.clear();
                AppendDateText(m_strCachedDate, local);
                m_nCachedDay = local.tm_yday;
                m_nCachedYear = local.tm_year;
                ++m_nDateChanges;
            }
            m_strCachedTime.clear();
            AppendTimeText(m_strCachedTime, local);
        }
        ++m_nTimeChanges;
        m_nCachedSecond = seconds;
    }
    date = m_strCachedDate;
    time = m_strCachedTime;
}

void CLocaleFormat::UpperDateTimeText(std::int64_t seconds, std::string_view& date, std::string_view& time) {
    DateTimeText(seconds, date, time);
    if (m_nUpperDateOf != m_nDateChanges) {
        m_strUpperDate.clear();
        AppendUpper(m_strUpperDate, date);
        m_nUpperDateOf = m_nDateChanges;
    }
    if (m_nUpperTimeOf != m_nTimeChanges) {
        m_strUpperTime.clear();
        AppendUpper(m_strUpperTime, time);
        m_nUpperTimeOf = m_nTimeChanges;
    }
    date = m_strUpperDate;
    time = m_strUpperTime;
}

void CLocaleFormat::AppendNumber(std::string& out, std::int64_t value) const {
    char buffer[24];
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    if (value < 0) {
        out.push_back('-');
    }
    const std::string_view whole(buffer, static_cast<std::size_t>(end - buffer));
    if (m_strSeparator.empty() || m_strGrouping.empty()) {
        out.append(whole);
        return;
    }
    // Group sizes from the right: each byte of the grouping, the last repeating;
    // CHAR_MAX (or a non-positive size) ends the grouping. Every group holds at
    // least one digit, so there are no more groups than digits.
    std::array<std::string_view, sizeof buffer> groups;
    std::size_t groupCount = 0;
    std::size_t remaining = whole.size();
    std::size_t groupIndex = 0;
    int size = static_cast<unsigned char>(m_strGrouping[0]);
    while (remaining > 0) {
        if (size <= 0 || size >= 127 || static_cast<std::size_t>(size) >= remaining) {
            groups[groupCount++] = whole.substr(0, remaining);
            break;
        }
        groups[groupCount++] = whole.substr(remaining - size, size);
        remaining -= size;
        if (groupIndex + 1 < m_strGrouping.size()) {
            size = static_cast<unsigned char>(m_strGrouping[++groupIndex]);
        }
    }
    for (std::size_t i = groupCount; i-- > 0;) {
        out.append(groups[i]);
        if (i > 0) {
            out.append(m_strSeparator);
        }
    }
}

std::string CLocaleFormat::FormatNumber(std::int64_t value) const {
    std::string out;
    AppendNumber(out, value);
    return out;
}

// Eight ASCII bytes at once: the bytes from 'a' to 'z' lose their 0x20 bit.
// False (and nothing written) when one of them is not ASCII.
static bool UpperEightAscii(const char* source, char* target) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::uint64_t word;
    std::memcpy(&word, source, sizeof word);
    if ((word & kHighBits) != 0) {
        return false;
    }
    // With every byte below 0x80 these sums carry into no neighbour: a byte's
    // high bit says ">= 'a'" and "> 'z'" respectively.
    const std::uint64_t fromA = word + kOnes * (0x80 - 'a');
    const std::uint64_t pastZ = word + kOnes * (0x80 - 'z' - 1);
    const std::uint64_t lower = (fromA ^ pastZ) & kHighBits;
    word ^= lower >> 2;
    std::memcpy(target, &word, sizeof word);
    return true;
}

void CLocaleFormat::AppendUpper(std::string& out, std::string_view text) const {
    // The text's own length is reserved at once; a character whose upper
    // case is longer makes room for itself and keeps room for the rest.
    std::size_t length = out.size();
    out.resize(length + text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80 && m_asciiUpperByte[byte] != '\0') {
            if (m_bPlainAsciiUpper && pos + 8 <= text.size() &&
                UpperEightAscii(text.data() + pos, out.data() + length)) {
                pos += 8;
                length += 8;
            } else {
                out[length++] = m_asciiUpperByte[byte];
                ++pos;
            }
            continue;
        }
        std::string_view upper;
        char encoded[4];
        std::size_t sequence = 1;
        char32_t codePoint;
        if (byte < 0x80) {
            upper = m_asciiUpper[byte];
        } else if (!Utf8::Decode(text, pos, codePoint, sequence)) {
            sequence = 1;
            upper = text.substr(pos, 1);
        } else {
            const char32_t mapped = codePoint < m_twoByteUpper.size()
                                        ? m_twoByteUpper[codePoint]
                                        : static_cast<char32_t>(towupper_l(static_cast<wint_t>(codePoint), m_locale.Get()));
            upper = mapped == codePoint ? text.substr(pos, sequence)
                                        : std::string_view(encoded, Utf8::EncodeTo(mapped, encoded));
        }
        pos += sequence;
        const std::size_t needed = length + upper.size() + (text.size() - pos);
        if (needed > out.size()) {
            out.resize(needed);
        }
        std::memcpy(out.data() + length, upper.data(), upper.size());
        length += upper.size();
    }
    out.resize(length);
}
