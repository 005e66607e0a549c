#include "VerifyProgressDlg.h"

#include "UiText.h"
#include "BackgroundRun.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CVerifyProgressDlg::CVerifyProgressDlg(CBackgroundRun& run, const QString& title, const QString& text,
                                       QWidget* parent)
    : QDialog(parent), m_run(run) {
    setWindowTitle(title);
    m_pText = new QLabel(text, this);
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setWordWrap(true);
    m_pBar = new QProgressBar(this);
    m_pBar->setObjectName(QStringLiteral("verifyProgressBar"));
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    auto* buttons = new QDialogButtonBox(this);
    m_pCancel = buttons->addButton(Text(IDS_VERIFY_CANCEL), QDialogButtonBox::RejectRole);
    m_pCancel->setObjectName(QStringLiteral("cancelVerifyButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(m_pBar);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    connect(buttons, &QDialogButtonBox::rejected, this, &CVerifyProgressDlg::reject);
    connect(&m_run, &CBackgroundRun::ProgressPosted, m_pBar, &QProgressBar::setValue);
}

void CVerifyProgressDlg::reject() {
    m_run.Cancel();
    m_pCancel->setEnabled(false);
    m_pText->setText(Text(IDS_VERIFY_CANCELLING));
}
