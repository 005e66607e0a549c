#pragma once

#include "LocaleFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A file that a report and the medium both hold, by path and size: the
// report's date and time texts, and the file's last-write time now.
struct CDatePair {
    std::string_view m_strDate;
    std::string_view m_strTime;
    std::int64_t m_nLastWrite = 0;
};

// Reads the dates of a report against the locale and time zone of the
// check: whether they have the form the current LC_TIME gives (if not, which
// installed locale they look like), and whether every file's time is
// shifted by the same whole number of hours (another time zone).
// Not thread-safe; one per check.
class CDateHints {
public:
    // upper: the dates are written in upper case (a listing).
    CDateHints(CLocaleFormat& current, bool upper);

    // Looks at the report's date texts (a sample is enough) and the pairs.
    void Examine(const std::vector<std::string_view>& reportDates, const std::vector<CDatePair>& pairs);

    // False when the report's dates are in another locale's form: then only
    // names and sizes can be compared.
    bool DatesComparable() const { return m_bComparable; }
    // One line each for the user; empty when the dates read as they should.
    const std::vector<std::string>& Hints() const { return m_arrHints; }
    // Every pair's time is off by the same whole number of hours.
    bool TimeZoneShifted() const { return m_bShifted; }

    // The locales whose dates a report is likely to have that are installed here.
    static std::vector<std::string> InstalledCandidates();

    // The text with runs of digits as "0" and runs of letters as "a".
    static std::string ShapeOf(std::string_view text);

private:
    void ExamineLocale(const std::vector<std::string_view>& reportDates, const std::vector<CDatePair>& pairs);
    void ExamineTimeZone(const std::vector<CDatePair>& pairs);
    bool SameTexts(CLocaleFormat& locale, const CDatePair& pair, std::int64_t shift) const;

    CLocaleFormat& m_current;
    bool m_bUpper;
    bool m_bComparable = true;
    bool m_bShifted = false;
    std::vector<std::string> m_arrHints;
};
