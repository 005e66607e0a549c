#pragma once

#include <QDialog>

#include <memory>

class CArchiveSettings;
class CHelpViewer;
class CSettingsStore;

namespace Ui {
class SettingsDlg;
}

// The archive Settings dialog: the media type, the medium and archive
// numbers and "Multiple Archives" of the next archive-report drop. It edits
// the engine's medium tags; each run loads them from the settings store, and
// OK stores them. OK is refused while a number field does not hold a whole
// number ("Please enter an integer.") or no media type is chosen (possible
// only when the stored one is none of the list's); nothing is then written.
class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CSettingsDlg(CArchiveSettings& tags, CSettingsStore& store, CHelpViewer& help, QWidget* parent);
    ~CSettingsDlg() override;

    // Loads the stored tags and runs the dialog: Accepted after OK (the tags
    // are then stored), Rejected after Cancel, Escape or the close box.
    int Run();

    // Copies the tags into the controls (false) or the controls into the
    // tags (true); false when a number field is refused.
    bool UpdateData(bool saveAndValidate);

    void accept() override;

private:
    void LoadArchiveSettings();
    void OnUpdate();
    void UpdateOkButton();

    std::unique_ptr<Ui::SettingsDlg> m_ui;
    CArchiveSettings& m_tags;
    CSettingsStore& m_store;
};
