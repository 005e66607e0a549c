#include "EntryFormatter.h"

#include "StringTable.h"
#include "Utf8.h"

CEntryFormatter::CEntryFormatter(CLocaleFormat& locale)
    : m_locale(locale), m_archiveFormat(LoadString(IDS_ARCHIVE_LINE)),
      m_tabbedFormat(LoadString(IDS_LISTING_TABBED)), m_paddedFormat(LoadString(IDS_LISTING_PADDED)) {}

void CEntryFormatter::BuildArchiveLine(std::string& out, const CFindData& entry, const CArchiveSettings& tags) {
    std::string_view date, time;
    m_locale.DateTimeText(entry.m_nLastWrite, date, time);
    m_strName.clear();
    Utf8::AppendPrintable(m_strName, entry.m_strName);
    m_archiveFormat.AppendTo(out, {m_strName, static_cast<long long>(entry.m_nSize), date, time,
                                   Utf8::Printable(tags.m_strMediaType), tags.m_nMediaNumber,
                                   tags.m_nArchiveNumber});
}

void CEntryFormatter::BuildListingLine(std::string& out, const CFindData& entry, bool formatSize,
                                       int outputFormat) {
    std::string_view date, time;
    m_locale.DateTimeText(entry.m_nLastWrite, date, time);
    m_strName.clear();
    Utf8::AppendPrintable(m_strName, entry.m_strName);
    m_strSize.clear();
    if (entry.m_bDirectory) {
        m_strSize = LoadString(IDS_FOLDER_SIZE);
    } else if (formatSize) {
        m_locale.AppendNumber(m_strSize, static_cast<std::int64_t>(entry.m_nSize));
    } else {
        AppendDecimal(m_strSize, static_cast<long long>(entry.m_nSize));
    }
    m_strLine.clear();
    const CTextFormat& format = outputFormat == 0 ? m_tabbedFormat : m_paddedFormat;
    format.AppendTo(m_strLine, {m_strName, m_strSize, date, time, m_strName});
    m_locale.AppendUpper(out, m_strLine);
}
