#include "CatalogEngine.h"

#include "DropProcessor.h"
#include "ExportWriter.h"
#include "StringTable.h"
#include "Utf8.h"

#include <new>

CCatalogEngine::CCatalogEngine(ICatalogHost& host, CAppSettings& settings, CLocaleFormat locale,
                               CEngineTiming timing)
    : m_host(host), m_settings(settings), m_locale(std::move(locale)), m_timing(timing), m_formatter(m_locale),
      m_walker(settings, *this), m_processingFormat(LoadString(IDS_PROCESSING)) {}

CCatalogEngine::~CCatalogEngine() { m_sortWorker.Join(); }

void CCatalogEngine::ResetSession() {
    if (m_bSorting) {
        m_sortWorker.Join(); // the records belong to the worker until it is done
    }
    m_session.Reset();
    m_host.EnableExport(false);
}

void CCatalogEngine::FreeFolderRecords() {
    if (m_bSorting) {
        m_sortWorker.Join();
    }
    m_session.FreeFolderRecords();
}

bool CCatalogEngine::WalkFolder(const std::string& path) { return m_walker.WalkFolder(path); }

std::unique_ptr<CFolderRecord> CCatalogEngine::NewRecord(const std::string& path) {
    auto record = std::make_unique<CFolderRecord>();
    m_locale.AppendUpper(record->m_strPath, Utf8::Printable(path));
    return record;
}

void CCatalogEngine::AppendRecord(std::unique_ptr<CFolderRecord> record) {
    m_session.m_arrFolderRecords.push_back(std::move(record));
}

void CCatalogEngine::AddEntry(const CFindData& entry, CFolderRecord* record) {
    m_strLine.clear();
    if (m_settings.GetProcessType() == kProcessListing) {
        m_formatter.BuildListingLine(m_strLine, entry, m_settings.GetFormatFileSize() != 0,
                                     m_settings.GetOutputFormat());
        m_session.m_dwTotalBytes += entry.m_nSize;
    } else {
        m_formatter.BuildArchiveLine(m_strLine, entry, m_archive);
    }
    try {
        if (m_settings.GetProcessType() == kProcessListing) {
            if (record != nullptr) {
                CLineArray& lines = entry.m_bDirectory ? record->m_arrSubFolders : record->m_arrFiles;
                lines.push_back(m_session.m_lines.Store(m_strLine));
            }
        } else if (!entry.m_bDirectory) {
            m_session.m_arrArchiveLines.push_back(m_session.m_lines.Store(m_strLine));
        }
    } catch (const std::bad_alloc&) {
        m_host.MessageBox(LoadString(IDS_OUT_OF_MEMORY), LoadString(IDS_APP_TITLE), MB_OK);
    }
    if (!entry.m_bDirectory) {
        ++m_session.m_nFileCount;
    }
    ShowProcessing(false);
}

void CCatalogEngine::ShowProcessing(bool force) {
    if (!force) {
        m_bProcessingPending = true;
        // Reading the clock costs little, but not nothing: look every few entries.
        if (++m_nEntriesSinceClock < 16 && m_lastProcessingShown.time_since_epoch().count() != 0) {
            return;
        }
        m_nEntriesSinceClock = 0;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastProcessingShown < m_timing.statusInterval) {
            return;
        }
        m_lastProcessingShown = now;
    } else if (!m_bProcessingPending) {
        return;
    }
    m_bProcessingPending = false;
    ShowStatus(m_processingFormat({static_cast<long long>(m_session.m_nFileCount)}));
}

void CCatalogEngine::ShowStatus(const std::string& text) { m_host.ShowStatus(text); }

std::string CCatalogEngine::FormatNumber(std::int64_t value) const { return m_locale.FormatNumber(value); }

DropOutcome CCatalogEngine::ProcessDrop(const std::vector<std::string>& paths) {
    CDropProcessor drop(*this);
    const DropOutcome outcome = drop.Process(paths);
    m_strPathNotFound = drop.PathNotFound();
    return outcome;
}

void CCatalogEngine::StartSort() {
    m_bSorting = true;
    m_host.SortStarted();
    m_sortWorker.Start(m_session, m_timing.minimumSortTime, [this] { m_host.PostSortDone(); });
}

void CCatalogEngine::OnSortDone() {
    if (!m_bSorting) {
        return;
    }
    m_sortWorker.Join();
    m_bSorting = false;
    m_host.SortFinished();
    m_session.m_bBusy = 0;
    m_host.SetBusy(false);
    if (m_settings.GetExportData() != 0) {
        ExportCatalogue();
    } else {
        ShowStatus(LoadString(IDS_CAN_EXPORT));
    }
}

void CCatalogEngine::SpinnerStep() {
    m_nSpinnerPosition = (m_nSpinnerPosition + 1) % 4;
    ShowStatus(LoadString(IDS_SORTING_FIRST + m_nSpinnerPosition));
}

void CCatalogEngine::ExportCatalogue() { CExportWriter(*this, m_locale).ExportCatalogue(); }

int CCatalogEngine::WriteReport(CAtomicFile& file) { return CExportWriter(*this, m_locale).Write(file, nullptr); }
