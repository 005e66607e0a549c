#include "ReportEntries.h"

#include "ReportSide.h"
#include "Utf8.h"

CReportEntries::CReportEntries(const CReportSide& report) : m_report(report), m_nFirst(report.FirstEntry()) {}

std::size_t CReportEntries::Count() const { return m_report.Entries().size() - m_nFirst; }

bool CReportEntries::IsFolder(std::size_t j) const { return m_report.Entries()[m_nFirst + j].m_bFolder; }

std::uint64_t CReportEntries::SizeOf(std::size_t j) const { return m_report.Entries()[m_nFirst + j].m_nSize; }

std::string_view CReportEntries::NameAt(std::size_t j) const {
    return m_pNames != nullptr ? (*m_pNames)[m_nFirst + j] : m_report.Entries()[m_nFirst + j].m_strName;
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
    Utf8::AppendPrintable(path, m_report.Entries()[m_nFirst + j].m_strName);
    return path;
}

void CReportEntries::TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const {
    const CReportEntry& entry = m_report.Entries()[m_nFirst + j];
    date = entry.m_strDate;
    time = entry.m_strTime;
    if (m_pFrom != nullptr && m_pInto != nullptr && !entry.m_bFolder &&
        m_pFrom->Convert(entry.m_strDate, entry.m_strTime, *m_pInto, m_strDate, m_strTime)) {
        date = m_strDate;
        time = m_strTime;
    }
}
