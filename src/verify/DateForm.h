#pragma once

#include "TimePattern.h"

#include <string>
#include <string_view>
#include <vector>

// The form in which a report writes dates and times, told from its texts
// alone: the installed locales (CDateHints::InstalledCandidates) whose short
// date (%x) and time (%X) give every one of them, upper case for a listing.
// Lets the texts of one form be read as those of another.
class CDateForm {
public:
    // dates, times: the distinct texts of a report's files.
    static CDateForm Of(const std::vector<std::string_view>& dates, const std::vector<std::string_view>& times,
                        bool upper);

    // Some installed locale gives every text.
    bool Known() const { return !m_arrForms.empty(); }
    // The first locale that does ("" when none).
    std::string LocaleName() const { return Known() ? m_arrForms.front().m_strLocale : std::string(); }
    // Whether a time has the same texts in both forms: a locale gives the texts of both.
    bool SameAs(const CDateForm& other) const;
    // A date and time of this form written in the form of `into`; false when
    // they do not read.
    bool Convert(std::string_view date, std::string_view time, const CDateForm& into, std::string& outDate,
                 std::string& outTime) const;

private:
    struct CForm {
        std::string m_strLocale;
        CTimePattern m_date;
        CTimePattern m_time;
        std::string m_strSignature; // texts of a few times: equal for equal forms
    };

    std::vector<CForm> m_arrForms;
    bool m_bUpper = false;
};
