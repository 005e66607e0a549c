#include "ExportWriter.h"

#include "FileError.h"
#include "PathName.h"
#include "StringTable.h"
#include "TextFormat.h"

#include <algorithm>
#include <charconv>

CExportWriter::CExportWriter(const COptionsSnapshot& options, const CLocaleFormat& locale)
    : m_options(options), m_locale(locale) {}

std::string CExportWriter::FileTitle(const std::string& path) {
    std::string title(PathName::FileNameOf(path));
    const auto dot = title.rfind('.');
    if (dot != std::string::npos) {
        title.resize(dot);
    }
    return title;
}

std::int64_t CExportWriter::TrailingNumber(const std::string& title) {
    const auto start = title.find_last_not_of("0123456789") + 1; // npos + 1 is 0
    if (start == title.size()) {
        return -1;
    }
    constexpr std::int64_t kLimit = 999'999'999'999'999'999;
    // Leading zeros do not count towards the limit.
    const auto first = std::min(title.find_first_not_of('0', start), title.size() - 1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(title.data() + first, title.data() + title.size(), value);
    return error == std::errc() && end == title.data() + title.size() && value <= kLimit ? value : kLimit;
}

int CExportWriter::Write(const CCatalogSession& session, CAtomicFile& file, const CReportWriter::Progress& progress) {
    CReportOutput out(file);
    CReportWriter writer(m_options, m_locale);
    if (!writer.Write(session, out, progress)) {
        file.Abandon();
        return out.Error();
    }
    return 0;
}

std::string CExportWriter::ExportCatalogue(CCatalogSession& session, ICatalogHost& host,
                                           const std::string& initialFolder) {
    ++session.m_nExportCount;
    const std::string proposal = "Export" + std::to_string(session.m_nExportCount);
    std::string chosen;
    if (!host.AskExportFileName(proposal, initialFolder, chosen)) {
        --session.m_nExportCount;
        host.ShowStatus(LoadString(IDS_CAN_EXPORT));
        return {};
    }
    const std::int64_t number = TrailingNumber(FileTitle(chosen));
    if (number >= 0) {
        session.m_nExportCount = number;
    } else {
        --session.m_nExportCount;
    }

    CAtomicFile file;
    if (!file.Open(chosen)) {
        host.MessageBox(FileErrorMessage(FileErrorCauseOf(file.LastError(), chosen), chosen),
                        LoadString(IDS_EXPORT_ERROR), MB_OK | MB_ICONSTOP);
        return {};
    }
    int error = Write(session, file, [&host](const std::string& text) { host.ShowStatus(text); });
    if (error == 0 && !file.Commit()) {
        error = file.LastError();
    }
    if (error != 0) {
        host.MessageBox(FileErrorMessage(FileErrorCauseOf(error, chosen), chosen), LoadString(IDS_APP_TITLE),
                        MB_OK | MB_ICONSTOP);
        return {};
    }
    host.ShowStatus(FormatString(IDS_EXPORT_PROGRESS, {100.0}));
    return chosen;
}
