#pragma once

#include "AppSettings.h"

#include <QDialog>

#include <memory>

class CHelpViewer;
class CSettingsStore;

namespace Ui {
class OptionsDlg;
}

// The Options dialog: the nine options of the "Options" section, and
// whether reports get checksums ([Catalogue] Checksums). It shows
// the stored values when it opens, greys the controls that do not apply, and
// OK writes all nine keys whether changed or not (and Checksums when it
// changed); Cancel writes nothing.
// F1 on an option opens its help topic, elsewhere the default topic.
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(CSettingsStore& store, CHelpViewer& help, QWidget* parent);
    ~COptionsDlg() override;

    void UpdateData(bool saveAndValidate);
    void accept() override;

    int m_bAutoView = 0;
    int m_bFormatFileSize = 0;
    int m_bExcludeEmptyFolders = 0;
    int m_nOutputFormat = -1;
    int m_bExportData = 0;
    int m_nProcessType = -1;
    int m_bDirectoryOnly = 0;
    int m_bExcludeHiddenSystemInfo = 0;
    int m_bExcludeSubFolders = 0;
    int m_bChecksums = 0;

private:
    int& Member(Option option);
    void LoadOptions();
    void SaveOptions();
    void EnableControls();
    void OnProcessType();
    void OnDirectoryOnly();
    void OnExcludeEmptyFolders();
    void OnHelp();

    int m_bStoredChecksums = 0; // as loaded
    std::unique_ptr<Ui::OptionsDlg> m_ui;
    CSettingsStore& m_store;
    CHelpViewer& m_help;
};
