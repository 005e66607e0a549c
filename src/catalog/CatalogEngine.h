#pragma once

#include "AppSettings.h"
#include "AtomicFile.h"
#include "ArchiveLog.h"
#include "ArchiveSettings.h"
#include "CatalogHost.h"
#include "CatalogSession.h"
#include "EntryCollector.h"
#include "FolderWalker.h"
#include "LocaleFormat.h"
#include "SortWorker.h"

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
    Cancelled,    // the checksums were cancelled; nothing is kept
};

// The catalogue engine: the session of one drop, its medium tags and archive
// log, and the operations that fill, sort and export it. The front end holds
// one engine and reaches it on one thread only; the engine reaches the front
// end through ICatalogHost. Each drop reads the options once, at its start,
// and each export at its own start.
class CCatalogEngine {
public:
    CCatalogEngine(ICatalogHost& host, CAppSettings& settings, CLocaleFormat locale, CEngineTiming timing = {});
    ~CCatalogEngine();

    // Session.
    void ResetSession();
    void FreeFolderRecords();
    const CCatalogSession& Session() const { return m_session; }

    std::string FormatNumber(std::int64_t value) const;

    // One drop of paths, in the order they were dropped.
    DropOutcome ProcessDrop(const std::vector<std::string>& paths);
    const std::string& PathNotFound() const { return m_strPathNotFound; }
    // Whether the next drops hash their files: such a drop keeps the
    // regular files it walks and hands them to ICatalogHost::RunChecksums.
    // Off, a drop keeps no more than it always did.
    void SetChecksums(bool on) { m_bChecksums = on; }

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

    CArchiveSettings& ArchiveSettings() { return m_archive; }
    const CArchiveLog& Log() const { return m_log; }
    const CLocaleFormat& Locale() const { return m_locale; }
    // The read-ahead switch of the walk, for tests and benchmarks.
    CFolderWalker& Walker() { return m_walker; }

private:
    void ShowStatus(const std::string& text);
    DropOutcome StopEarly(DropOutcome outcome);
    // The kept files moved out of the session, in report order.
    CDropFiles TakeDropFiles();

    ICatalogHost& m_host;
    CAppSettings& m_settings;
    CLocaleFormat m_locale;
    CEngineTiming m_timing;
    CCatalogSession m_session;
    CArchiveSettings m_archive;
    CArchiveLog m_log;
    CEntryCollector m_entries;
    CFolderWalker m_walker;
    COptionsSnapshot m_dropOptions; // of the last drop
    std::string m_strPathNotFound;
    std::string m_strDropBase; // of the last drop: where its manifest paths start
    bool m_bChecksums = false;
    int m_nSpinnerPosition = -1;
    bool m_bSorting = false;
    CSortWorker m_sortWorker; // last: joined before anything it sorts is destroyed
};
