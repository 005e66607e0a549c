#include "DateForm.h"

#include "DateHints.h"
#include "LocaleHandle.h"

#include <array>
#include <ctime>

namespace {

// Times whose texts tell day, month and year apart, morning and afternoon.
constexpr std::array<std::int64_t, 3> kSampleTimes = {1006523156, 1233635106, 1924991999};

void Upper(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

} // namespace

CDateForm CDateForm::Of(const std::vector<std::string_view>& dates, const std::vector<std::string_view>& times,
                        bool upper) {
    CDateForm form;
    form.m_bUpper = upper;
    for (const std::string& name : CDateHints::InstalledCandidates()) {
        CLocaleHandle locale(newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0)));
        CForm candidate;
        if (locale.Get() == nullptr || !candidate.m_date.Compile("%x", locale.Get()) ||
            !candidate.m_time.Compile("%X", locale.Get())) {
            continue;
        }
        bool all = true;
        std::tm parsed{};
        for (std::size_t i = 0; i < dates.size() && all; ++i) {
            all = candidate.m_date.Parse(dates[i], parsed);
        }
        for (std::size_t i = 0; i < times.size() && all; ++i) {
            all = candidate.m_time.Parse(times[i], parsed);
        }
        if (!all) {
            continue;
        }
        for (const std::int64_t sample : kSampleTimes) {
            const std::time_t when = static_cast<std::time_t>(sample);
            std::tm utc{};
            gmtime_r(&when, &utc);
            candidate.m_date.AppendTo(candidate.m_strSignature, utc);
            candidate.m_strSignature.push_back('\n');
            candidate.m_time.AppendTo(candidate.m_strSignature, utc);
            candidate.m_strSignature.push_back('\n');
        }
        if (upper) {
            Upper(candidate.m_strSignature);
        }
        candidate.m_strLocale = name;
        form.m_arrForms.push_back(std::move(candidate));
    }
    return form;
}

bool CDateForm::SameAs(const CDateForm& other) const {
    for (const CForm& mine : m_arrForms) {
        for (const CForm& theirs : other.m_arrForms) {
            if (mine.m_strSignature == theirs.m_strSignature) {
                return true;
            }
        }
    }
    return false;
}

bool CDateForm::Convert(std::string_view date, std::string_view time, const CDateForm& into, std::string& outDate,
                        std::string& outTime) const {
    if (!Known() || !into.Known()) {
        return false;
    }
    std::tm parsed{};
    parsed.tm_year = 70;
    parsed.tm_mday = 1;
    const CForm& from = m_arrForms.front();
    if (!from.m_date.Parse(date, parsed) || !from.m_time.Parse(time, parsed) || parsed.tm_year + 1900 < 1000 ||
        parsed.tm_year + 1900 > 9999) {
        return false;
    }
    const CForm& to = into.m_arrForms.front();
    outDate.clear();
    outTime.clear();
    to.m_date.AppendTo(outDate, parsed);
    to.m_time.AppendTo(outTime, parsed);
    if (into.m_bUpper) {
        Upper(outDate);
        Upper(outTime);
    }
    return true;
}
