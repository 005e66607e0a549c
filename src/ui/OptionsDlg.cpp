#include "OptionsDlg.h"

#include "Catalogue.h"
#include "DataExchange.h"
#include "HelpViewer.h"
#include "SettingsStore.h"
#include "UiText.h"
#include "ui_OptionsDlg.h"

#include <QApplication>
#include <QShortcut>

COptionsDlg::COptionsDlg(CSettingsStore& store, CHelpViewer& help, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::OptionsDlg>()), m_store(store), m_help(help) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->archiveRadio, &QRadioButton::clicked, this, &COptionsDlg::OnProcessType);
    connect(m_ui->listingRadio, &QRadioButton::clicked, this, &COptionsDlg::OnProcessType);
    connect(m_ui->directoryOnlyCheck, &QCheckBox::clicked, this, &COptionsDlg::OnDirectoryOnly);
    connect(m_ui->excludeEmptyCheck, &QCheckBox::clicked, this, &COptionsDlg::OnExcludeEmptyFolders);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &COptionsDlg::OnHelp);

    UpdateData(false); // every box clear, no radio button selected, until the stored values come
    LoadOptions();
    EnableControls();
}

COptionsDlg::~COptionsDlg() = default;

int& COptionsDlg::Member(Option option) {
    switch (option) {
    case Option::ExportData:
        return m_bExportData;
    case Option::AutoView:
        return m_bAutoView;
    case Option::FormatFileSize:
        return m_bFormatFileSize;
    case Option::ExcludeEmptyFolders:
        return m_bExcludeEmptyFolders;
    case Option::OutputFormat:
        return m_nOutputFormat;
    case Option::ProcessType:
        return m_nProcessType;
    case Option::DirectoryOnly:
        return m_bDirectoryOnly;
    case Option::ExcludeHiddenSystemInfo:
        return m_bExcludeHiddenSystemInfo;
    case Option::ExcludeSubFolders:
        break;
    }
    return m_bExcludeSubFolders;
}

void COptionsDlg::UpdateData(bool save) {
    DataExchange::Check(m_ui->autoViewCheck, m_bAutoView, save);
    DataExchange::Check(m_ui->formatFileSizeCheck, m_bFormatFileSize, save);
    DataExchange::Check(m_ui->excludeEmptyCheck, m_bExcludeEmptyFolders, save);
    DataExchange::Radio({m_ui->tabbedRadio, m_ui->paddedRadio}, m_nOutputFormat, save);
    DataExchange::Check(m_ui->exportDataCheck, m_bExportData, save);
    DataExchange::Radio({m_ui->archiveRadio, m_ui->listingRadio}, m_nProcessType, save);
    DataExchange::Check(m_ui->directoryOnlyCheck, m_bDirectoryOnly, save);
    DataExchange::Check(m_ui->excludeHiddenCheck, m_bExcludeHiddenSystemInfo, save);
    DataExchange::Check(m_ui->excludeSubFoldersCheck, m_bExcludeSubFolders, save);
    DataExchange::Check(m_ui->checksumsCheck, m_bChecksums, save);
}

void COptionsDlg::LoadOptions() {
    const COptionsSnapshot options = CAppSettings(m_store).Snapshot();
    for (const OptionKey& key : kOptionKeys) {
        Member(key.option) = options[key.option];
    }
    m_bChecksums = m_store.GetInt(CCatalogue::kSettingsSection, CCatalogue::kChecksumsKey, 0) != 0 ? 1 : 0;
    m_bStoredChecksums = m_bChecksums;
    UpdateData(false);
}

// Every key, changed or not, in one replacement of the file.
void COptionsDlg::SaveOptions() {
    UpdateData(true);
    COptionsSnapshot options;
    for (const OptionKey& key : kOptionKeys) {
        options[key.option] = Member(key.option);
    }
    CAppSettings(m_store).WriteAll(options);
    // Only a change touches [Catalogue]: a file without the section keeps its bytes.
    if (m_bChecksums != m_bStoredChecksums) {
        m_store.WriteInt(CCatalogue::kSettingsSection, CCatalogue::kChecksumsKey, m_bChecksums);
    }
}

// With an archive report the listing's layout options do not apply; of
// "Only include directories" and "Exclude empty folders" only one can be on.
void COptionsDlg::EnableControls() {
    const bool listing = m_nProcessType == 1;
    const bool notArchive = m_nProcessType != 0;
    m_ui->formatFileSizeCheck->setEnabled(notArchive);
    m_ui->excludeEmptyCheck->setEnabled(listing ? m_bDirectoryOnly == 0 : notArchive);
    m_ui->tabbedRadio->setEnabled(notArchive);
    m_ui->paddedRadio->setEnabled(notArchive);
    m_ui->directoryOnlyCheck->setEnabled(listing ? m_bExcludeEmptyFolders == 0 : notArchive);
}

void COptionsDlg::OnProcessType() {
    UpdateData(true);
    EnableControls();
}

void COptionsDlg::OnDirectoryOnly() {
    UpdateData(true);
    m_ui->excludeEmptyCheck->setEnabled(m_bDirectoryOnly != 1);
}

void COptionsDlg::OnExcludeEmptyFolders() {
    UpdateData(true);
    m_ui->directoryOnlyCheck->setEnabled(m_bExcludeEmptyFolders != 1);
}

void COptionsDlg::accept() {
    SaveOptions();
    QDialog::accept();
}

// Each option control's id names a string that holds its help topic.
void COptionsDlg::OnHelp() {
    const QWidget* focus = QApplication::focusWidget();
    const int id = focus != nullptr && isAncestorOf(focus) ? focus->property("controlId").toInt() : 0;
    const std::string& topic = id != 0 ? LoadString(id) : LoadString(0);
    m_help.ShowTopic(ToQString(topic), this);
}
