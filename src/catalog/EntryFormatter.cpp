#include "EntryFormatter.h"

#include "StringTable.h"
#include "Utf8.h"

namespace {

// True when the layout's text outside its conversions is the same in upper case.
bool IsCaseless(const CTextFormat& format, const CLocaleFormat& locale) {
    const std::string plain = format({"", "", "", "", ""});
    std::string upper;
    locale.AppendUpper(upper, plain);
    return upper == plain;
}

} // namespace

CEntryFormatter::CEntryFormatter(CLocaleFormat& locale)
    : m_locale(locale), m_archiveFormat(LoadString(IDS_ARCHIVE_LINE)),
      m_tabbedFormat(LoadString(IDS_LISTING_TABBED)), m_paddedFormat(LoadString(IDS_LISTING_PADDED)),
      m_bTabbedCaseless(IsCaseless(m_tabbedFormat, locale)), m_bPaddedCaseless(IsCaseless(m_paddedFormat, locale)) {}

std::string_view CEntryFormatter::NameColumnOf(std::string_view line, int outputFormat) {
    if (outputFormat == 0) {
        const auto tab = line.rfind('\t');
        return tab == std::string_view::npos ? line : line.substr(tab + 1);
    }
    // The padded layout with empty fields is exactly its columns before the name.
    static const std::size_t nameColumn =
        Utf8::CharCount(CTextFormat(LoadString(IDS_LISTING_PADDED))({"", "", "", "", ""}));
    return line.substr(Utf8::ByteOffsetOfChar(line, nameColumn));
}

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
    const CTextFormat& format = outputFormat == 0 ? m_tabbedFormat : m_paddedFormat;
    std::string_view date, time;
    if (outputFormat == 0 ? m_bTabbedCaseless : m_bPaddedCaseless) {
        m_locale.UpperDateTimeText(entry.m_nLastWrite, date, time);
        m_strUpperName.clear();
        m_locale.AppendUpper(m_strUpperName, m_strName);
        m_strUpperSize.clear();
        m_locale.AppendUpper(m_strUpperSize, m_strSize);
        format.AppendTo(out, {m_strUpperName, m_strUpperSize, date, time, m_strUpperName});
        return;
    }
    m_locale.DateTimeText(entry.m_nLastWrite, date, time);
    m_strLine.clear();
    format.AppendTo(m_strLine, {m_strName, m_strSize, date, time, m_strName});
    m_locale.AppendUpper(out, m_strLine);
}
