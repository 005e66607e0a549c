#pragma once

#include "AppSettings.h"
#include "AtomicFile.h"
#include "ArchiveLog.h"
#include "ArchiveSettings.h"
#include "CatalogHost.h"
#include "CatalogSession.h"
#include "EntryFormatter.h"
#include "FolderWalker.h"
#include "LocaleFormat.h"
#include "SortWorker.h"
#include "TextFormat.h"

#include <chrono>
#include <string>
#include <vector>

// Pauses that exist for the person watching the window; a front end without
// one (the command line, tests) sets them to zero.
struct CEngineTiming {
    std::chrono::milliseconds minimumSortTime{2000};
    std::chrono::milliseconds exportPause{2000};
    std::chrono::milliseconds statusInterval{30};
};

// How a drop ended, for front ends that need to tell (the command line).
enum class DropOutcome {
    Abandoned,    // the user kept the old catalogue or cancelled the archive settings
    PathNotFound, // a dropped path could not be found; nothing is kept
    NoFiles,      // "No files to process!"; nothing is kept
    Sorting,      // a directory listing is being sorted; OnSortDone follows
    Ready,        // an archive report is complete (and exported if so set)
};

// The catalogue engine: the session of one drop, its medium tags and archive
// log, and the operations that fill, sort and export it. The front end holds
// one engine and reaches it on one thread only; the engine reaches the front
// end through ICatalogHost.
class CCatalogEngine : private IWalkSink {
public:
    CCatalogEngine(ICatalogHost& host, CAppSettings& settings, CLocaleFormat locale, CEngineTiming timing = {});
    ~CCatalogEngine() override;

    // Session.
    void ResetSession();
    void FreeFolderRecords();

    // Walking and entry lines.
    bool WalkFolder(const std::string& path);
    void AddEntry(const CFindData& entry, CFolderRecord* record) override;
    std::string FormatNumber(std::int64_t value) const;

    // One drop of paths, in the order they were dropped.
    DropOutcome ProcessDrop(const std::vector<std::string>& paths);
    const std::string& PathNotFound() const { return m_strPathNotFound; }

    // Sorting of a directory listing.
    void StartSort();
    void OnSortDone(); // the host's thread, after PostSortDone
    void SpinnerStep();
    bool IsSorting() const { return m_bSorting; }

    // Export through the Save As of the host.
    void ExportCatalogue();
    // Writes the report, in the layout the export would write, to an open
    // file without any dialog or status; 0 or the errno of the failed write
    // (the file is then abandoned). The caller commits the file, so it can
    // put several files in place together.
    int WriteReport(CAtomicFile& file);

    CCatalogSession& Session() { return m_session; }
    CArchiveSettings& ArchiveSettings() { return m_archive; }
    CArchiveLog& Log() { return m_log; }
    CAppSettings& Settings() { return m_settings; }
    ICatalogHost& Host() { return m_host; }
    const CEngineTiming& Timing() const { return m_timing; }

    void ShowStatus(const std::string& text);
    // "Processing file: N", at most once per status interval unless forced.
    void ShowProcessing(bool force);

    CFolderWalker& Walker() { return m_walker; }
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override;

private:
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override;

    ICatalogHost& m_host;
    CAppSettings& m_settings;
    CLocaleFormat m_locale;
    CEngineTiming m_timing;
    CEntryFormatter m_formatter;
    CCatalogSession m_session;
    CArchiveSettings m_archive;
    CArchiveLog m_log;
    CFolderWalker m_walker;
    CTextFormat m_processingFormat;
    std::string m_strLine;
    std::string m_strPathNotFound;
    int m_nSpinnerPosition = -1;
    bool m_bSorting = false;
    bool m_bProcessingPending = false;
    unsigned m_nEntriesSinceClock = 0;
    std::chrono::steady_clock::time_point m_lastProcessingShown{};
    CSortWorker m_sortWorker; // last: joined before anything it sorts is destroyed
};
