#include "ReportEntries.h"

#include "ReportSide.h"
#include "Utf8.h"

#include <unordered_map>

CReportEntries::CReportEntries(const CReportSide& report) : m_report(report), m_nFirst(report.FirstEntry()) {}

std::size_t CReportEntries::Count() const { return m_report.Count() - m_nFirst; }

bool CReportEntries::IsFolder(std::size_t j) const { return m_report.IsFolder(m_nFirst + j); }

std::uint64_t CReportEntries::SizeOf(std::size_t j) const { return m_report.SizeOf(m_nFirst + j); }

std::string_view CReportEntries::NameAt(std::size_t j) const {
    return m_pNames != nullptr ? (*m_pNames)[m_nFirst + j] : m_report.NameOf(m_nFirst + j);
}

std::string_view CReportEntries::FolderAt(std::size_t j) const { return m_report.GroupOf(m_nFirst + j); }

std::string CReportEntries::ShownPathAt(std::size_t j) const {
    const std::string_view folder = FolderAt(j);
    std::string path;
    if (!folder.empty()) {
        Utf8::AppendPrintable(path, folder);
        if (path.back() != '/') {
            path.push_back('/');
        }
    }
    Utf8::AppendPrintable(path, m_report.NameOf(m_nFirst + j));
    return path;
}

void CReportEntries::TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const {
    const std::size_t entry = m_nFirst + j;
    date = m_report.DateOf(entry);
    time = m_report.TimeOf(entry);
    if (m_pFrom != nullptr && m_pInto != nullptr && !m_report.IsFolder(entry) &&
        m_pFrom->Convert(date, time, *m_pInto, m_strDate, m_strTime)) {
        date = m_strDate;
        time = m_strTime;
    }
}

void CReportEntries::NumberTextsAs(const CReportSide& matched) {
    const auto translate = [](const std::vector<std::string_view>& ours, const std::vector<std::string_view>& theirs,
                              std::vector<std::uint32_t>& numbers) {
        std::unordered_map<std::string_view, std::uint32_t> numberOf;
        numberOf.reserve(theirs.size());
        for (std::size_t k = 0; k < theirs.size(); ++k) {
            numberOf.emplace(theirs[k], static_cast<std::uint32_t>(k));
        }
        numbers.resize(ours.size());
        for (std::size_t k = 0; k < ours.size(); ++k) {
            const auto at = numberOf.find(ours[k]);
            numbers[k] = at == numberOf.end() ? kNoText : at->second;
        }
    };
    translate(m_report.Dates(), matched.Dates(), m_arrDateNumbers);
    translate(m_report.Times(), matched.Times(), m_arrTimeNumbers);
    m_bNumbered = true;
}

void CReportEntries::TextNumbersAt(std::size_t j, std::uint32_t& date, std::uint32_t& time) const {
    date = m_arrDateNumbers[m_report.DateNumberOf(m_nFirst + j)];
    time = m_arrTimeNumbers[m_report.TimeNumberOf(m_nFirst + j)];
}
