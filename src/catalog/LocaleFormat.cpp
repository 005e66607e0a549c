#include "LocaleFormat.h"

#include "TextFormat.h"
#include "Utf8.h"

#include <cstdlib>
#include <vector>
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
    m_locale = Open(LC_TIME_MASK, timeName, base);
    Prepare();
}

CLocaleFormat::CLocaleFormat(CLocaleFormat&& other) noexcept
    : m_locale(other.m_locale), m_strSeparator(std::move(other.m_strSeparator)),
      m_strGrouping(std::move(other.m_strGrouping)), m_asciiUpper(std::move(other.m_asciiUpper)),
      m_strMidnight(std::move(other.m_strMidnight)) {
    other.m_locale = nullptr;
}

CLocaleFormat::~CLocaleFormat() {
    if (m_locale != nullptr) {
        freelocale(m_locale);
    }
}

void CLocaleFormat::Prepare() {
    m_strSeparator = nl_langinfo_l(THOUSEP, m_locale);
    m_strGrouping = nl_langinfo_l(GROUPING, m_locale);
    for (int c = 0; c < 128; ++c) {
        const wint_t upper = towupper_l(static_cast<wint_t>(c), m_locale);
        m_asciiUpper[c].clear();
        Utf8::Encode(static_cast<char32_t>(upper), m_asciiUpper[c]);
    }
    std::tm midnight{};
    midnight.tm_year = 100;
    midnight.tm_mday = 1;
    char buffer[128];
    const std::size_t length = strftime_l(buffer, sizeof buffer, "%X", &midnight, m_locale);
    m_strMidnight.assign(buffer, length);
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
        } else {
            char buffer[128];
            if (local.tm_yday != m_nCachedDay || local.tm_year != m_nCachedYear) {
                m_strCachedDate.assign(buffer, strftime_l(buffer, sizeof buffer, "%x", &local, m_locale));
                m_nCachedDay = local.tm_yday;
                m_nCachedYear = local.tm_year;
            }
            m_strCachedTime.assign(buffer, strftime_l(buffer, sizeof buffer, "%X", &local, m_locale));
        }
        m_nCachedSecond = seconds;
    }
    date = m_strCachedDate;
    time = m_strCachedTime;
}

void CLocaleFormat::AppendNumber(std::string& out, std::int64_t value) const {
    std::string digits;
    AppendDecimal(digits, value);
    std::size_t start = 0;
    if (!digits.empty() && digits[0] == '-') {
        out.push_back('-');
        start = 1;
    }
    const std::string_view whole = std::string_view(digits).substr(start);
    if (m_strSeparator.empty() || m_strGrouping.empty()) {
        out.append(whole);
        return;
    }
    // Group sizes from the right: each byte of the grouping, the last repeating;
    // CHAR_MAX (or a non-positive size) ends the grouping.
    std::size_t remaining = whole.size();
    std::size_t groupIndex = 0;
    int size = static_cast<unsigned char>(m_strGrouping[0]);
    std::vector<std::string_view> groups;
    while (remaining > 0) {
        if (size <= 0 || size >= 127 || static_cast<std::size_t>(size) >= remaining) {
            groups.push_back(whole.substr(0, remaining));
            break;
        }
        groups.push_back(whole.substr(remaining - size, size));
        remaining -= size;
        if (groupIndex + 1 < m_strGrouping.size()) {
            size = static_cast<unsigned char>(m_strGrouping[++groupIndex]);
        }
    }
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        if (it != groups.rbegin()) {
            out.append(m_strSeparator);
        }
        out.append(*it);
    }
}

std::string CLocaleFormat::FormatNumber(std::int64_t value) const {
    std::string out;
    AppendNumber(out, value);
    return out;
}

void CLocaleFormat::AppendUpper(std::string& out, std::string_view text) const {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            out.append(m_asciiUpper[byte]);
            ++pos;
            continue;
        }
        char32_t codePoint;
        std::size_t length;
        if (!Utf8::Decode(text, pos, codePoint, length)) {
            out.push_back(text[pos]);
            ++pos;
            continue;
        }
        const wint_t upper = towupper_l(static_cast<wint_t>(codePoint), m_locale);
        if (upper == static_cast<wint_t>(codePoint)) {
            out.append(text.substr(pos, length));
        } else {
            Utf8::Encode(static_cast<char32_t>(upper), out);
        }
        pos += length;
    }
}
