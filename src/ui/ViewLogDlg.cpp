#include "ViewLogDlg.h"

#include "ArchiveLog.h"
#include "HelpViewer.h"
#include "UiText.h"
#include "ui_ViewLogDlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QShortcut>

CViewLogDlg::CViewLogDlg(const CArchiveLog& log, CHelpViewer& help, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ViewLogDlg>()), m_log(log) {
    m_ui->setupUi(this);
    m_ui->logEdit->setTabStopDistance(QFontMetricsF(m_ui->logEdit->font()).horizontalAdvance(QLatin1Char(' ')) * 8);
    m_ui->logEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_ui->logEdit->installEventFilter(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this, &help] { help.ShowDefaultTopic(this); });
}

CViewLogDlg::~CViewLogDlg() = default;

int CViewLogDlg::Run() {
    QString text = ToQString(m_log.Text());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_ui->logEdit->setPlainText(text);
    m_ui->okButton->setFocus();
    return exec();
}

QString CViewLogDlg::LogText() const { return m_ui->logEdit->toPlainText(); }

// The log box keeps Enter for itself, as an edit box that takes Enter does:
// it neither changes the text nor presses OK.
bool CViewLogDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->logEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
