#include "DateHints.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <locale.h>
#include <optional>
#include <set>

namespace {

// Locales whose dates a report is likely to have, tried when they are installed.
constexpr std::array<const char*, 30> kCandidateLocales = {
    "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8",
    "nl_NL.UTF-8", "pt_BR.UTF-8", "pt_PT.UTF-8", "sv_SE.UTF-8", "da_DK.UTF-8", "nb_NO.UTF-8",
    "fi_FI.UTF-8", "pl_PL.UTF-8", "cs_CZ.UTF-8", "hu_HU.UTF-8", "ru_RU.UTF-8", "ja_JP.UTF-8",
    "zh_CN.UTF-8", "ko_KR.UTF-8", "tr_TR.UTF-8", "el_GR.UTF-8", "en_AU.UTF-8", "en_CA.UTF-8",
    "fr_CA.UTF-8", "de_CH.UTF-8", "de_AT.UTF-8", "en_IE.UTF-8", "C.UTF-8",     "en_DK.UTF-8",
};

// Times whose dates tell day, month and year apart.
constexpr std::array<std::int64_t, 3> kSampleTimes = {1006523156, 1233635106, 1924991999};

constexpr int kLargestShiftHours = 26;

bool Installed(const char* name) {
    locale_t locale = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return false;
    }
    freelocale(locale);
    return true;
}

std::string CurrentTimeLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

std::string DateOf(CLocaleFormat& locale, std::int64_t seconds, bool upper) {
    std::string_view date, time;
    if (upper) {
        locale.UpperDateTimeText(seconds, date, time);
    } else {
        locale.DateTimeText(seconds, date, time);
    }
    return std::string(date);
}

} // namespace

std::vector<std::string> CDateHints::InstalledCandidates() {
    std::vector<std::string> names;
    for (const char* name : kCandidateLocales) {
        if (Installed(name)) {
            names.emplace_back(name);
        }
    }
    return names;
}

CDateHints::CDateHints(CLocaleFormat& current, bool upper) : m_current(current), m_bUpper(upper) {}

std::string CDateHints::ShapeOf(std::string_view text) {
    std::string shape;
    char last = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char kind = c;
        if (std::isdigit(byte) != 0) {
            kind = '0';
        } else if (std::isalpha(byte) != 0 || byte >= 0x80) {
            kind = 'a';
        }
        if ((kind == '0' || kind == 'a') && kind == last) {
            continue;
        }
        shape.push_back(kind);
        last = kind;
    }
    return shape;
}

bool CDateHints::SameTexts(CLocaleFormat& locale, const CDatePair& pair, std::int64_t shift) const {
    std::string_view date, time;
    if (m_bUpper) {
        locale.UpperDateTimeText(pair.m_nLastWrite + shift, date, time);
    } else {
        locale.DateTimeText(pair.m_nLastWrite + shift, date, time);
    }
    return date == pair.m_strDate && time == pair.m_strTime;
}

void CDateHints::Examine(const std::vector<std::string_view>& reportDates, const std::vector<CDatePair>& pairs) {
    ExamineLocale(reportDates, pairs);
    if (m_bComparable) {
        ExamineTimeZone(pairs);
    }
}

void CDateHints::ExamineLocale(const std::vector<std::string_view>& reportDates, const std::vector<CDatePair>& pairs) {
    std::set<std::string> currentShapes;
    for (const std::int64_t sample : kSampleTimes) {
        currentShapes.insert(ShapeOf(DateOf(m_current, sample, m_bUpper)));
    }
    const bool someDateFits = std::any_of(reportDates.begin(), reportDates.end(), [&](std::string_view date) {
        return currentShapes.count(ShapeOf(date)) > 0;
    });
    const bool someDateEqual = std::any_of(pairs.begin(), pairs.end(), [&](const CDatePair& pair) {
        return DateOf(m_current, pair.m_nLastWrite, m_bUpper) == pair.m_strDate;
    });
    if (reportDates.empty() || (someDateFits && (pairs.empty() || someDateEqual))) {
        return;
    }
    // Either no date has this locale's form, or none of the files that are
    // still there has this locale's text of its date: look for a locale that
    // gives the report's texts.
    std::optional<std::string> likely;
    std::size_t bestMatches = 0;
    std::optional<std::string> sameShape;
    const std::set<std::string> reportShapes = [&] {
        std::set<std::string> shapes;
        for (std::string_view date : reportDates) {
            shapes.insert(ShapeOf(date));
        }
        return shapes;
    }();
    const std::size_t pairsTried = std::min<std::size_t>(pairs.size(), 200);
    for (const char* name : kCandidateLocales) {
        if (!Installed(name)) {
            continue;
        }
        CLocaleFormat candidate(name, name, name);
        const bool likeCurrent = std::all_of(kSampleTimes.begin(), kSampleTimes.end(), [&](std::int64_t sample) {
            return DateOf(candidate, sample, m_bUpper) == DateOf(m_current, sample, m_bUpper);
        });
        if (likeCurrent) {
            continue; // cannot explain texts that this locale does not give
        }
        std::size_t matches = 0;
        for (std::size_t i = 0; i < pairsTried; ++i) {
            matches += DateOf(candidate, pairs[i].m_nLastWrite, m_bUpper) == pairs[i].m_strDate ? 1 : 0;
        }
        if (matches > bestMatches) {
            bestMatches = matches;
            likely = name;
        }
        if (!sameShape && reportShapes.count(ShapeOf(DateOf(candidate, kSampleTimes[0], m_bUpper))) > 0) {
            sameShape = name;
        }
    }
    if (someDateFits) {
        // Dates of this locale's form are only another locale's when that
        // locale gives most of the texts; otherwise the files changed.
        if (!likely || bestMatches * 2 <= pairsTried) {
            return;
        }
    } else if (!likely) {
        likely = sameShape;
    }
    m_bComparable = false;
    std::string hint = "the report's dates are not in the form of this locale (" + CurrentTimeLocaleName() + ")";
    if (likely) {
        hint += "; dates look like " + *likely + ": run with LC_TIME=" + *likely;
    }
    hint += "; comparing names and sizes only";
    m_arrHints.push_back(hint);
}

void CDateHints::ExamineTimeZone(const std::vector<CDatePair>& pairs) {
    if (pairs.empty()) {
        return;
    }
    int shiftHours = 0;
    for (int hours = 1; hours <= kLargestShiftHours && shiftHours == 0; ++hours) {
        for (const int sign : {1, -1}) {
            if (SameTexts(m_current, pairs.front(), std::int64_t{sign * hours} * 3600)) {
                shiftHours = sign * hours;
                break;
            }
        }
    }
    if (shiftHours == 0) {
        return;
    }
    const std::int64_t shift = std::int64_t{shiftHours} * 3600;
    for (const CDatePair& pair : pairs) {
        if (!SameTexts(m_current, pair, shift)) {
            return;
        }
    }
    m_bShifted = true;
    // The writer's offset from UTC: ours at that time plus the shift.
    const std::time_t when = static_cast<std::time_t>(pairs.front().m_nLastWrite);
    std::tm local{};
    localtime_r(&when, &local);
    const long writerOffset = local.tm_gmtoff + shift;
    const long writerHours = writerOffset / 3600;
    const long writerMinutes = std::labs(writerOffset % 3600) / 60;
    std::string zone = std::to_string(std::labs(writerHours));
    if (writerMinutes != 0) {
        zone += ":" + std::string(writerMinutes < 10 ? "0" : "") + std::to_string(writerMinutes);
    }
    std::string utcName = "UTC";
    std::string posixTz = "UTC0";
    if (writerOffset != 0) {
        utcName += (writerOffset < 0 ? "-" : "+") + zone;
        posixTz = std::string("UTC") + (writerOffset < 0 ? "+" : "-") + zone; // POSIX counts west of Greenwich
    }
    const int magnitude = std::abs(shiftHours);
    m_arrHints.push_back("the report's times are all " + std::to_string(magnitude) + (magnitude == 1 ? " hour " : " hours ") +
                         (shiftHours > 0 ? "ahead of" : "behind") +
                         " the files': it was probably written in another time zone (" + utcName +
                         "); run with TZ=" + posixTz);
}
