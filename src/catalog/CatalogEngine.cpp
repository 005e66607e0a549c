#include "CatalogEngine.h"

#include "DropPath.h"
#include "DropProcessor.h"
#include "ExportWriter.h"
#include "StringTable.h"

CCatalogEngine::CCatalogEngine(ICatalogHost& host, CAppSettings& settings, CLocaleFormat locale,
                               CEngineTiming timing)
    : m_host(host), m_settings(settings), m_locale(std::move(locale)), m_timing(timing),
      m_entries(m_session, m_locale, m_archive, host, timing.statusInterval), m_walker(m_entries) {}

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

void CCatalogEngine::ShowStatus(const std::string& text) { m_host.ShowStatus(text); }

std::string CCatalogEngine::FormatNumber(std::int64_t value) const { return m_locale.FormatNumber(value); }

// A drop that stops early keeps nothing, so the next drop never mixes its
// leftovers in.
DropOutcome CCatalogEngine::StopEarly(DropOutcome outcome) {
    m_entries.ShowProcessing(true);
    const int saved = m_session.m_bSaved;
    ResetSession();
    m_session.m_bSaved = saved;
    m_session.m_bBusy = 0;
    m_host.SetBusy(false);
    return outcome;
}

DropOutcome CCatalogEngine::ProcessDrop(const std::vector<std::string>& paths) {
    m_dropOptions = m_settings.Snapshot(); // a hand edit of the settings counts from this drop on
    const COptionsSnapshot& options = m_dropOptions;
    if (m_session.m_bSaved == 0) {
        if (m_host.MessageBox(LoadString(IDS_UNSAVED_OVERWRITE), LoadString(IDS_WARNING),
                              MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return DropOutcome::Abandoned;
        }
        ResetSession();
    }
    m_log.EmptyLog();
    const bool archive = !options.IsListing();
    if (archive && !m_host.RunArchiveSettings(m_archive)) {
        return DropOutcome::Abandoned;
    }
    m_session.m_bBusy = 1;
    m_host.SetBusy(true);

    // Read after the archive Settings dialog, which stores it.
    const bool multipleArchives = archive && m_settings.GetMultipleArchive() != 0;
    m_entries.Begin(options);
    m_session.m_bKeepFiles = m_bChecksums;
    m_strDropBase = paths.empty() ? std::string() : DropPath::IsRootDrop(paths) ? paths.front()
                                                                                  : DropPath::ParentOf(paths.front());
    CDropProcessor drop(m_session, options, multipleArchives, m_archive, m_log, m_entries, m_walker);
    m_strPathNotFound.clear();
    if (!drop.Collect(paths)) {
        m_strPathNotFound = drop.PathNotFound();
        return StopEarly(DropOutcome::PathNotFound);
    }
    m_entries.ShowProcessing(true);

    if (m_session.m_nFileCount == 0 && (archive || options.ExcludeEmptyFolders())) {
        m_host.MessageBox(LoadString(IDS_NO_FILES), LoadString(IDS_DROP_FILES), MB_ICONINFORMATION);
        return StopEarly(DropOutcome::NoFiles);
    }
    DropOutcome outcome;
    if (!archive) {
        StartSort();
        outcome = DropOutcome::Sorting;
    } else {
        if (m_session.m_bKeepFiles && !m_host.RunChecksums(TakeDropFiles())) {
            return StopEarly(DropOutcome::Cancelled);
        }
        m_archive.SaveArchiveSettings(m_settings.Store());
        m_host.EnableExport(true);
        m_session.m_bBusy = 0;
        m_host.SetBusy(false);
        ShowStatus(LoadString(IDS_CAN_EXPORT));
        outcome = DropOutcome::Ready;
    }
    m_session.m_bSaved = 0;
    if (archive && options.ExportData()) {
        ExportCatalogue();
    }
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
    if (m_session.m_bKeepFiles && !m_host.RunChecksums(TakeDropFiles())) {
        m_session.m_bSaved = 1; // as before the drop, which a cancelled one leaves as a failed one does
        StopEarly(DropOutcome::Cancelled);
        return;
    }
    m_session.m_bBusy = 0;
    m_host.SetBusy(false);
    if (m_dropOptions.ExportData()) {
        ExportCatalogue();
    } else {
        ShowStatus(LoadString(IDS_CAN_EXPORT));
    }
}

void CCatalogEngine::SpinnerStep() {
    m_nSpinnerPosition = (m_nSpinnerPosition + 1) % 4;
    ShowStatus(LoadString(IDS_SORTING_FIRST + m_nSpinnerPosition));
}

void CCatalogEngine::ExportCatalogue() {
    const COptionsSnapshot options = m_settings.Snapshot();
    const std::string written =
        CExportWriter(options, m_locale).ExportCatalogue(m_session, m_host, m_settings.GetDefaultDir());
    if (written.empty()) {
        return;
    }
    if (m_session.m_bKeepFiles) {
        m_host.WriteChecksums(written);
    }
    m_host.ReportWritten(written, m_log.Text());
    m_settings.SetDefaultDir(written);
    if (m_timing.exportPause.count() > 0) {
        m_host.Pause(m_timing.exportPause);
    }
    ShowStatus(LoadString(IDS_IDLE));
    ResetSession();
    if (options.AutoView()) {
        m_host.OpenReport(written);
    }
}

CDropFiles CCatalogEngine::TakeDropFiles() {
    CDropFiles drop;
    drop.m_strBase = m_strDropBase;
    if (!m_dropOptions.IsListing()) {
        drop.m_arrFiles = std::move(m_session.m_arrArchiveFiles);
        m_session.m_arrArchiveFiles.clear();
        return drop;
    }
    std::size_t count = 0;
    for (const auto& record : m_session.m_arrFolderRecords) {
        count += record->m_arrWalkedFiles.size();
    }
    drop.m_arrFiles.reserve(count);
    for (const auto& record : m_session.m_arrFolderRecords) {
        for (CWalkedFile& file : record->m_arrWalkedFiles) {
            drop.m_arrFiles.push_back(std::move(file));
        }
        std::vector<CWalkedFile>().swap(record->m_arrWalkedFiles);
    }
    return drop;
}

int CCatalogEngine::WriteReport(CAtomicFile& file) {
    const COptionsSnapshot options = m_settings.Snapshot();
    return CExportWriter(options, m_locale).Write(m_session, file, nullptr);
}
