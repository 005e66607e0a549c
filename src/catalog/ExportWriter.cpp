#include "ExportWriter.h"

#include "FileError.h"
#include "StringTable.h"

CExportWriter::CExportWriter(CCatalogEngine& engine, const CLocaleFormat& locale)
    : m_engine(engine), m_locale(locale) {}

std::string CExportWriter::FileTitle(const std::string& path) {
    const auto slash = path.rfind('/');
    std::string title = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = title.rfind('.');
    if (dot != std::string::npos) {
        title.resize(dot);
    }
    return title;
}

std::int64_t CExportWriter::TrailingNumber(const std::string& title) {
    std::size_t start = title.size();
    while (start > 0 && title[start - 1] >= '0' && title[start - 1] <= '9') {
        --start;
    }
    if (start == title.size()) {
        return -1;
    }
    constexpr std::int64_t kLimit = 999'999'999'999'999'999;
    std::int64_t value = 0;
    for (std::size_t i = start; i < title.size(); ++i) {
        value = value > kLimit / 10 ? kLimit : value * 10 + (title[i] - '0');
    }
    return value;
}

int CExportWriter::Write(CAtomicFile& file, const CReportWriter::Progress& progress) {
    CReportOutput out(file);
    CReportWriter writer(m_engine.Settings(), m_locale);
    if (!writer.Write(m_engine.Session(), out, progress)) {
        file.Abandon();
        return out.Error();
    }
    return 0;
}

void CExportWriter::ExportCatalogue() {
    CCatalogSession& session = m_engine.Session();
    CAppSettings& settings = m_engine.Settings();
    ICatalogHost& host = m_engine.Host();

    ++session.m_nExportCount;
    const std::string proposal = "Export" + std::to_string(session.m_nExportCount);
    std::string chosen;
    if (!host.AskExportFileName(proposal, settings.GetDefaultDir(), chosen)) {
        --session.m_nExportCount;
        m_engine.ShowStatus(LoadString(IDS_CAN_EXPORT));
        return;
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
        return;
    }
    int error = Write(file, [this](const std::string& text) { m_engine.ShowStatus(text); });
    if (error == 0 && !file.Commit(false)) {
        error = file.LastError();
    }
    if (error != 0) {
        host.MessageBox(FileErrorMessage(FileErrorCauseOf(error, chosen), chosen), LoadString(IDS_APP_TITLE),
                        MB_OK | MB_ICONSTOP);
        return;
    }
    m_engine.ShowStatus(FormatString(IDS_EXPORT_PROGRESS, {100.0}));
    settings.SetDefaultDir(chosen);
    if (m_engine.Timing().exportPause.count() > 0) {
        host.Pause(m_engine.Timing().exportPause);
    }
    m_engine.ShowStatus(LoadString(IDS_IDLE));
    m_engine.ResetSession();
    if (settings.GetAutoView() != 0) {
        host.OpenReport(chosen);
    }
}
