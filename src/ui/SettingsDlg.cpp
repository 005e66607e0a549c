#include "SettingsDlg.h"

#include "ArchiveSettings.h"
#include "DataExchange.h"
#include "HelpViewer.h"
#include "UiText.h"
#include "ui_SettingsDlg.h"

#include <QRegularExpressionValidator>
#include <QShortcut>

#include <limits>

CSettingsDlg::CSettingsDlg(CArchiveSettings& tags, CSettingsStore& store, CHelpViewer& help, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SettingsDlg>()), m_tags(tags), m_store(store) {
    m_ui->setupUi(this);
    for (std::string_view type : CArchiveSettings::kMediaTypes) {
        m_ui->mediaTypeCombo->addItem(QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())));
    }
    // The number fields take digits only.
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    m_ui->mediaNumberEdit->setValidator(new QRegularExpressionValidator(digits, m_ui->mediaNumberEdit));
    m_ui->archiveNumberEdit->setValidator(new QRegularExpressionValidator(digits, m_ui->archiveNumberEdit));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CSettingsDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->updateButton, &QPushButton::clicked, this, &CSettingsDlg::OnUpdate);
    connect(m_ui->mediaTypeCombo, &QComboBox::currentIndexChanged, this, &CSettingsDlg::UpdateOkButton);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this, &help] { help.ShowDefaultTopic(this); });
}

CSettingsDlg::~CSettingsDlg() = default;

int CSettingsDlg::Run() {
    LoadArchiveSettings();
    m_ui->okButton->setFocus();
    return exec();
}

void CSettingsDlg::LoadArchiveSettings() {
    m_ui->mediaTypeCombo->setCurrentIndex(m_tags.LoadArchiveSettings(m_store));
    UpdateData(false);
    UpdateOkButton();
}

bool CSettingsDlg::UpdateData(bool saveAndValidate) {
    DataExchange::Check(m_ui->multipleArchiveCheck, m_tags.m_bMultipleArchive, saveAndValidate);
    return DataExchange::TextInt(m_ui->archiveNumberEdit, m_tags.m_nArchiveNumber, saveAndValidate) &&
           DataExchange::TextInt(m_ui->mediaNumberEdit, m_tags.m_nMediaNumber, saveAndValidate);
}

// A new medium: counts on from the tags, not from what the fields show.
void CSettingsDlg::OnUpdate() {
    m_tags.m_nArchiveNumber = 1;
    if (m_tags.m_nMediaNumber < std::numeric_limits<int>::max()) {
        ++m_tags.m_nMediaNumber;
    }
    UpdateData(false);
}

void CSettingsDlg::UpdateOkButton() { m_ui->okButton->setEnabled(m_ui->mediaTypeCombo->currentIndex() >= 0); }

void CSettingsDlg::accept() {
    if (m_ui->mediaTypeCombo->currentIndex() < 0) {
        m_ui->mediaTypeCombo->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!UpdateData(true)) {
        return;
    }
    m_tags.m_strMediaType = m_ui->mediaTypeCombo->currentText().toStdString();
    m_tags.SaveArchiveSettings(m_store);
    QDialog::accept();
}
