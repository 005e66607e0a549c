#pragma once

#include "DateForm.h"
#include "FoundEntries.h"

#include <string>
#include <cstdint>
#include <string_view>
#include <vector>

class CReportSide;

// The entries of a second report, standing in for a walk of the medium when
// one report is matched against another: entry j is the report's entry
// FirstEntry() + j, in its group (CReportSide::GroupOf). Dates and times
// are given in the matched report's form when the two forms differ.
// Not thread-safe.
class CReportEntries : public CFoundEntries {
public:
    explicit CReportEntries(const CReportSide& report);

    // Names as compared, in place of the report's own (one an entry of the report).
    void CompareNames(const std::vector<std::string_view>* names) { m_pNames = names; }
    // Texts read in `from`'s form and given in `into`'s.
    void ConvertDates(const CDateForm* from, const CDateForm* into) {
        m_pFrom = from;
        m_pInto = into;
    }
    // Date and time texts numbered as `matched` numbers its own, when
    // they are compared as texts (no ConvertDates).
    void NumberTextsAs(const CReportSide& matched);
    std::size_t EntryOf(std::size_t j) const { return m_nFirst + j; }

    std::size_t Count() const override;
    bool IsFolder(std::size_t j) const override;
    std::uint64_t SizeOf(std::size_t j) const override;
    std::string_view NameAt(std::size_t j) const override;
    std::string_view FolderAt(std::size_t j) const override;
    std::string ShownPathAt(std::size_t j) const override;
    void TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const override;
    bool TextsNumbered() const override { return m_bNumbered; }
    void TextNumbersAt(std::size_t j, std::uint32_t& date, std::uint32_t& time) const override;

private:
    const CReportSide& m_report;
    std::size_t m_nFirst;
    const std::vector<std::string_view>* m_pNames = nullptr;
    const CDateForm* m_pFrom = nullptr;
    const CDateForm* m_pInto = nullptr;
    bool m_bNumbered = false;
    std::vector<std::uint32_t> m_arrDateNumbers; // by this report's date number: the matched report's
    std::vector<std::uint32_t> m_arrTimeNumbers;
    mutable std::string m_strDate;
    mutable std::string m_strTime;
};
