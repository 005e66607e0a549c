#pragma once

#include "ArchiveSettings.h"
#include "WalkedFile.h"

#include <chrono>
#include <string>

// Message box styles and answers, as the front ends understand them.
enum MessageBoxStyle : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum MessageBoxAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// How the engine reaches the front end that holds it (the main window, the
// command line, a test). All calls come on the thread that drives the engine,
// except PostSortDone.
class ICatalogHost {
public:
    virtual ~ICatalogHost() = default;

    virtual void ShowStatus(const std::string& text) = 0;
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;

    // The archive Settings dialog: loads the stored tags into `tags`, lets the
    // user change them and, on OK, saves them. False when cancelled.
    virtual bool RunArchiveSettings(CArchiveSettings& tags) = 0;

    // Save As for the report. False when cancelled.
    virtual bool AskExportFileName(const std::string& proposal, const std::string& initialFolder,
                                   std::string& chosenPath) = 0;

    virtual void EnableExport(bool enable) = 0;
    // Wait cursor while busy.
    virtual void SetBusy(bool busy) = 0;

    // The sort has started: disable the controls that reach the catalogue,
    // refuse drops and turn the spinner (CCatalogEngine::SpinnerStep).
    virtual void SortStarted() = 0;
    // Called on the sorting thread when the sort is complete (inside
    // StartSort, on the engine's thread, when no thread could be started):
    // the host must call CCatalogEngine::OnSortDone later on its own thread
    // (a queued call), never from within this call.
    virtual void PostSortDone() = 0;
    // The sort's completion is being handled: stop the spinner, enable again.
    virtual void SortFinished() = 0;

    // A report is in place under its final name, with the archive log of its
    // drop (empty for a listing). Before the report is opened.
    virtual void ReportWritten(const std::string& path, const std::string& logText) {
        (void)path;
        (void)logText;
    }

    // Only for a drop with checksums: hashes its files (taken in report
    // order), after the walk and any sort, before the report can be
    // exported. Blocks the engine's thread until done. False when the user
    // cancelled: the drop then keeps nothing, as a failed drop.
    virtual bool RunChecksums(CDropFiles files) {
        (void)files;
        return true;
    }
    // Only for a drop with checksums: its report is in place under `path`;
    // the manifest goes beside it. Before ReportWritten.
    virtual void WriteChecksums(const std::string& path) { (void)path; }

    // Opens a written report in the desktop's viewer.
    virtual void OpenReport(const std::string& path) = 0;

    // Keeps the front end showing its state for a while without taking input.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};
