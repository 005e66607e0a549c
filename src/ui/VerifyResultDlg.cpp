#include "VerifyResultDlg.h"

#include "AtomicFile.h"
#include "CatalogHost.h"
#include "HelpViewer.h"
#include "MediumVerifier.h"
#include "MessageBoxes.h"
#include "ReportComparer.h"
#include "UiText.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {

QString FileNameOf(const std::string& path) { return QFileInfo(PathToQString(path)).fileName(); }

} // namespace

CVerifyResultDlg::CVerifyResultDlg(std::unique_ptr<CMediumVerifier> verifier, const std::string& reportPath,
                                   const QString& folder, CHelpViewer& help, QWidget* parent)
    : CVerifyResultDlg(std::move(verifier), nullptr, reportPath, Filled(IDS_VERIFY_RESULT_TITLE, {FileNameOf(reportPath)}),
                       Filled(IDS_VERIFY_REPORT_AND_FOLDER, {PathToQString(reportPath), folder}), help, parent) {}

CVerifyResultDlg::CVerifyResultDlg(std::unique_ptr<CReportComparer> comparer, const std::string& oldPath,
                                   const std::string& newPath, CHelpViewer& help, QWidget* parent)
    : CVerifyResultDlg(nullptr, std::move(comparer), newPath,
                       Filled(IDS_COMPARE_RESULT_TITLE, {FileNameOf(newPath), FileNameOf(oldPath)}),
                       Filled(IDS_COMPARE_OLD_AND_NEW, {PathToQString(oldPath), PathToQString(newPath)}), help,
                       parent) {}

CVerifyResultDlg::CVerifyResultDlg(std::unique_ptr<CMediumVerifier> verifier, std::unique_ptr<CReportComparer> comparer,
                                   const std::string& reportPath, const QString& title, const QString& whereText,
                                   CHelpViewer& help, QWidget* parent)
    : QDialog(parent), m_pVerifier(std::move(verifier)), m_pComparer(std::move(comparer)),
      m_model(m_pVerifier ? m_pVerifier->Lines() : m_pComparer->Lines()), m_strReportPath(reportPath) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);

    auto* where = new QLabel(whereText, this);
    where->setTextFormat(Qt::PlainText);
    m_pSummary = new QLabel(ToQString(Summary()), this);
    m_pSummary->setObjectName(QStringLiteral("verifySummary"));
    m_pSummary->setTextFormat(Qt::PlainText);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QStringList hints;
    for (const std::string& hint : m_pVerifier ? m_pVerifier->Hints() : m_pComparer->Hints()) {
        hints << ToQString(hint);
    }
    m_pHints = new QLabel(hints.join(QLatin1Char('\n')), this);
    m_pHints->setObjectName(QStringLiteral("verifyHints"));
    m_pHints->setTextFormat(Qt::PlainText);
    m_pHints->setWordWrap(true);
    m_pHints->setVisible(!hints.isEmpty());

    m_pKinds = new QComboBox(this);
    m_pKinds->setObjectName(QStringLiteral("verifyKindsBox"));
    m_pKinds->addItem(Text(IDS_VERIFY_ALL_KINDS));
    // A comparison reads no file: none is unreadable (the last kind).
    for (std::size_t i = 0; i < kVerifyKindCount - (m_pComparer ? 1 : 0); ++i) {
        const std::string_view name = VerifyText::KindName(static_cast<VerifyKind>(i));
        m_pKinds->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    auto* show = new QLabel(Text(IDS_VERIFY_SHOW), this);
    show->setBuddy(m_pKinds);
    m_pCount = new QLabel(this);
    m_pCount->setObjectName(QStringLiteral("verifyCount"));

    m_pTable = new QTableView(this);
    m_pTable->setObjectName(QStringLiteral("verifyTable"));
    m_pTable->setModel(&m_model);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pTable->setWordWrap(false);
    m_pTable->setAlternatingRowColors(true);
    m_pTable->verticalHeader()->hide();
    // A fixed row height: a million rows are never measured.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setColumnWidth(CVerifyLineModel::Kind, 90);
    m_pTable->setColumnWidth(CVerifyLineModel::Path, 440);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(Text(IDS_VERIFY_COPY), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyVerifyButton"));
    QPushButton* save = buttons->addButton(Text(IDS_VERIFY_SAVE), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("saveVerifyButton"));
    QPushButton* close = buttons->addButton(Text(IDS_VERIFY_CLOSE), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {copy, save, close}) {
        button->setAutoDefault(false);
    }

    auto* filter = new QHBoxLayout;
    filter->addWidget(show);
    filter->addWidget(m_pKinds);
    filter->addStretch(1);
    filter->addWidget(m_pCount);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where);
    layout->addWidget(m_pSummary);
    layout->addWidget(m_pHints);
    layout->addLayout(filter);
    layout->addWidget(m_pTable, 1);
    layout->addWidget(buttons);
    resize(820, 480);

    connect(m_pKinds, &QComboBox::currentIndexChanged, this, &CVerifyResultDlg::OnKindChosen);
    connect(copy, &QPushButton::clicked, this, &CVerifyResultDlg::CopyLines);
    connect(save, &QPushButton::clicked, this, &CVerifyResultDlg::OnSave);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* copyKey = new QShortcut(QKeySequence::Copy, m_pTable);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &CVerifyResultDlg::CopyLines);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    const int topic = m_pVerifier ? IDS_VERIFY_HELP_TOPIC : IDS_COMPARE_HELP_TOPIC;
    connect(f1, &QShortcut::activated, this, [this, &help, topic] { help.ShowTopic(Text(topic), this); });
    ShowCount();
}

CVerifyResultDlg::~CVerifyResultDlg() = default;

std::string CVerifyResultDlg::Summary() const {
    return m_pVerifier ? VerifyText::Summary(m_pVerifier->Counts()) : VerifyText::CompareSummary(m_pComparer->Counts());
}

QString CVerifyResultDlg::SummaryText() const { return m_pSummary->text(); }

QString CVerifyResultDlg::HintsText() const { return m_pHints->text(); }

void CVerifyResultDlg::OnKindChosen(int index) {
    m_model.ShowKind(index <= 0 ? std::nullopt : std::optional<VerifyKind>(static_cast<VerifyKind>(index - 1)));
    ShowCount();
}

void CVerifyResultDlg::ShowCount() {
    const QLocale locale = QLocale::system();
    m_pCount->setText(Filled(IDS_VERIFY_SHOWN, {locale.toString(m_model.rowCount()),
                                                locale.toString(static_cast<qulonglong>(m_model.LineCount()))}));
}

std::vector<int> CVerifyResultDlg::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_pTable->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CVerifyResultDlg::CopyLines() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        rows.resize(static_cast<std::size_t>(m_model.rowCount()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = static_cast<int>(i);
        }
    }
    QApplication::clipboard()->setText(ToQString(m_model.Text(rows)));
}

void CVerifyResultDlg::OnSave() {
    const QFileInfo report(PathToQString(m_strReportPath));
    const QString proposal = report.absolutePath() + QLatin1Char('/') + report.completeBaseName() +
                             Text(IDS_VERIFY_SAVE_SUFFIX);
    const QString path = QFileDialog::getSaveFileName(this, Text(IDS_VERIFY_SAVE_TITLE), proposal,
                                                      Text(IDS_VERIFY_SAVE_FILTER));
    if (!path.isEmpty()) {
        SaveTo(path);
    }
}

bool CVerifyResultDlg::SaveTo(const QString& path) {
    const std::string target = PathFromQString(path);
    const std::string text = m_model.ShownLines() + Summary() + "\n";
    CAtomicFile file;
    if (file.Open(target) && file.Write(text) && file.Commit()) {
        return true;
    }
    ShowMessageBox(this,
                   Filled(IDS_VERIFY_NOT_SAVED, {path, ToQString(std::strerror(file.LastError()))}),
                   windowTitle(), MB_ICONEXCLAMATION);
    return false;
}
