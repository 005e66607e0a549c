#pragma once

#include "CatalogHost.h"
#include "CommandLine.h"
#include "DropChecksums.h"
#include "SettingsStore.h"

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The engine's front end on a terminal. There are no dialogs: the archive
// Settings dialog is one confirmed dialog over the stored tags and the
// command line's overrides, boxes become messages on standard error, and the
// status line becomes a progress line there when it is wanted. Nothing here
// exports, pauses or opens a report: the command line writes the report itself.
class CCliHost : public ICatalogHost {
public:
    // `showProgress`: write the status texts to `errors` (a terminal).
    CCliHost(CSettingsStore& store, CArchiveOverrides overrides, std::FILE* errors, bool showProgress);

    void ShowStatus(const std::string& text) override;
    // Shows the text as a message and answers as the first button would.
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    // Loads the stored tags with the dialog's defaults, applies the overrides,
    // and stores the four tags as the dialog's OK does. Refuses (as a cancel
    // would) when no media type is to be had or the settings file cannot be
    // written; BadMediaType() and SettingsError() then say which.
    bool RunArchiveSettings(CArchiveSettings& tags) override;
    bool AskExportFileName(const std::string&, const std::string&, std::string&) override { return false; }
    void EnableExport(bool) override {}
    // The drop's busy time is when progress means something: once it ends,
    // the status texts are about an Export button and are not shown.
    void SetBusy(bool busy) override { m_bBusy = busy; }
    void SortStarted() override {}
    // Any thread: wakes WaitForSortDone.
    void PostSortDone() override;
    void SortFinished() override {}
    // Hashes the files on this thread, the progress shown as the walk's is.
    bool RunChecksums(CDropFiles files) override;
    void OpenReport(const std::string&) override {}
    void Pause(std::chrono::milliseconds) override {}

    // The engine's thread: blocks until the sorting worker has posted its
    // completion, calling `tick` on this thread every `interval` meanwhile.
    void WaitForSortDone(std::chrono::milliseconds interval, const std::function<void()>& tick);

    // Writes "stowlist-cli: <text>" as a line of its own.
    void Complain(const std::string& text);
    // Takes the progress line off the terminal.
    void EndProgress();

    // The drop's checksums once RunChecksums has run, or null.
    const CDropChecksums* Checksums() const { return m_pChecksums.get(); }

    // The stored media type that none of the five matched, or empty.
    const std::string& BadMediaType() const { return m_strBadMediaType; }
    // The errno of a failed write of the archive tags, or 0.
    int SettingsError() const { return m_nSettingsError; }

private:
    CSettingsStore& m_store;
    CArchiveOverrides m_overrides;
    std::FILE* m_pErrors;
    bool m_bShowProgress;
    bool m_bBusy = false;
    bool m_bProgressShown = false;
    std::string m_strBadMediaType;
    int m_nSettingsError = 0;
    std::unique_ptr<CDropChecksums> m_pChecksums;

    std::mutex m_mutex;
    std::condition_variable m_sortDone;
    bool m_bSortDonePosted = false;
};
