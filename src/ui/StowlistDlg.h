#pragma once

#include "CatalogEngine.h"
#include "CatalogueThread.h"
#include "SettingsDlg.h"
#include "ViewLogDlg.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class CChecksumRun;
class CDropChecksums;
class CFindWindow;
class CHelpViewer;
class QPushButton;

namespace Ui {
class StowlistDlg;
}

// The main window: the drop target, the status line and the six buttons.
// It holds the catalogue engine and is its host: the engine does the work,
// the window shows it and asks the user. Everything runs on the thread that
// created the window, except the sort's completion, which the sorting thread
// hands over as a queued call.
//
// While a drop, an export or a sort runs, the window refuses new drops and
// every request to close it; during a sort the controls that reach the
// catalogue are disabled as well (Help and the context menu's About stay).
class CStowlistDlg : public QDialog, public ICatalogHost {
    Q_OBJECT
public:
    CStowlistDlg(CAppSettings& settings, CHelpViewer& help, CLocaleFormat locale, CEngineTiming timing = {},
                 QWidget* parent = nullptr);
    ~CStowlistDlg() override;

    CCatalogEngine& Engine() { return m_engine; }

    // Enables (or disables, for a sort) Exit, Export, Options, View Log,
    // About and Find, the acceptance of drops and of close requests.
    void EnableMainControls(bool enable);
    bool IsDropEnabled() const { return m_bDropEnabled; }

    // Asks to close the window later, as the close box does.
    void PostClose();

    // Escape and the close box: refused while the engine is at work, and
    // with an unexported catalogue only after the user agrees.
    void reject() override;

    // ICatalogHost
    void ShowStatus(const std::string& text) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool RunArchiveSettings(CArchiveSettings& tags) override;
    bool AskExportFileName(const std::string& proposal, const std::string& initialFolder,
                           std::string& chosenPath) override;
    void EnableExport(bool enable) override;
    void SetBusy(bool busy) override;
    void SortStarted() override;
    void PostSortDone() override;
    void SortFinished() override;
    void OpenReport(const std::string& path) override;
    // Registers the report in the catalogue when [Catalogue] AddReports is on.
    void ReportWritten(const std::string& path, const std::string& logText) override;
    void Pause(std::chrono::milliseconds duration) override;
    // Hashes on a worker thread; the window paints, shows the progress and
    // offers Cancel meanwhile, and takes no other input.
    bool RunChecksums(CDropFiles files) override;
    // Writes the manifest beside the report and names the files that could not be read.
    void WriteChecksums(const std::string& reportPath) override;

signals:
    // Emitted on the sorting thread; queued to this window's thread, so the
    // hand-over's allocations stay inside Qt.
    void SortDonePosted();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class CEngineCall;

    bool AcceptsDrops() const;
    bool AnswerWithCopy(QDropEvent& event, const std::vector<std::string>& paths) const;
    void ProcessDrop(const std::vector<std::string>& paths);
    void OnSortDone();
    void OnViewLog();
    void OnExport();
    void OnOptions();
    void OnAbout();
    void OnHelp();
    void OnFind();

    std::unique_ptr<Ui::StowlistDlg> m_ui;
    CAppSettings& m_settings;
    CHelpViewer& m_help;
    CCatalogEngine m_engine;
    CViewLogDlg m_dlgViewLog;
    CSettingsDlg m_dlgSettings;
    CCatalogueThread m_catalogue;
    std::unique_ptr<CFindWindow> m_pFindWindow; // made at the first Find; before m_catalogue goes
    QTimer m_spinner;
    QElapsedTimer m_statusShown;
    std::vector<std::string> m_dragPaths; // of the drag over the window, read as it entered
    bool m_bDropEnabled = true;
    bool m_bDropQueued = false;
    bool m_bBusy = false;
    int m_nEngineCalls = 0; // nesting of engine operations run from the window
    std::unique_ptr<CDropChecksums> m_pChecksums; // of the drop waiting for its export
    std::string m_strManifestWritten;             // beside the report being exported, until it is catalogued
    CChecksumRun* m_pChecksumRun = nullptr;       // while the checksums run
    QPushButton* m_pCancelChecksums = nullptr;    // shown while they run
};
