#include "AboutDlg.h"

#include "AppIcon.h"
#include "ui_AboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDlg>()) {
    m_ui->setupUi(this);
    m_ui->versionLabel->setText(QStringLiteral("Stowlist Version " STOWLIST_ABOUT_VERSION));
    m_ui->iconLabel->setPixmap(StowlistIcon().pixmap(48, 48));
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_ui->okButton->setFocus();
}

CAboutDlg::~CAboutDlg() = default;
