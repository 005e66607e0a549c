#include "CatalogueSourcesDlg.h"

#include "AppSettings.h"
#include "CatalogHost.h"
#include "CatalogueThread.h"
#include "CompareRun.h"
#include "DropPath.h"
#include "HelpViewer.h"
#include "MessageBoxes.h"
#include "SettingsStore.h"
#include "UiText.h"
#include "VerifyProgressDlg.h"
#include "VerifyResultDlg.h"
#include "VerifyRun.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

enum Column { State, Kind, Entries, Path };

} // namespace

CCatalogueSourcesDlg::CCatalogueSourcesDlg(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help,
                                           QWidget* parent)
    : QDialog(parent), m_catalogue(catalogue), m_settings(settings), m_help(help) {
    setWindowTitle(Text(IDS_SOURCES_TITLE));
    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("sourceList"));
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setAlternatingRowColors(true);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setHeaderLabels(Text(IDS_SOURCES_COLUMNS).split(QLatin1Char('\t')));
    m_pList->setColumnWidth(State, 90);
    m_pList->setColumnWidth(Kind, 70);
    m_pList->setColumnWidth(Entries, 90);
    m_pList->headerItem()->setTextAlignment(Entries, Qt::AlignRight | Qt::AlignVCenter);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* addFolder = new QPushButton(Text(IDS_SOURCES_ADD_FOLDER), this);
    addFolder->setObjectName(QStringLiteral("addFolderButton"));
    auto* addFiles = new QPushButton(Text(IDS_SOURCES_ADD_FILES), this);
    addFiles->setObjectName(QStringLiteral("addFilesButton"));
    m_pRemove = new QPushButton(Text(IDS_SOURCES_REMOVE), this);
    m_pRemove->setObjectName(QStringLiteral("removeButton"));
    m_pRemove->setEnabled(false);
    auto* refresh = new QPushButton(Text(IDS_SOURCES_REFRESH), this);
    refresh->setObjectName(QStringLiteral("refreshButton"));
    m_pVerify = new QPushButton(Text(IDS_VERIFY_ACTION), this);
    m_pVerify->setObjectName(QStringLiteral("verifyButton"));
    m_pVerify->setEnabled(false);
    m_pCompare = new QPushButton(Text(IDS_COMPARE_ACTION), this);
    m_pCompare->setObjectName(QStringLiteral("compareButton"));
    m_pCompare->setEnabled(false);
    auto* close = new QPushButton(Text(IDS_SOURCES_CLOSE), this);
    close->setObjectName(QStringLiteral("closeButton"));
    for (QPushButton* button : {addFolder, addFiles, m_pRemove, refresh, m_pVerify, m_pCompare, close}) {
        button->setAutoDefault(false);
    }
    m_pAddReports = new QCheckBox(Text(IDS_SOURCES_ADD_REPORTS), this);
    m_pAddReports->setObjectName(QStringLiteral("addReportsBox"));
    m_pAddReports->setChecked(
        m_settings.GetInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, 1) != 0);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {addFolder, addFiles, m_pRemove, refresh}) {
        buttons->addWidget(button);
    }
    buttons->addSpacing(12);
    buttons->addWidget(m_pVerify);
    buttons->addWidget(m_pCompare);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_pList, 1);
    middle->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(middle, 1);
    layout->addWidget(m_pAddReports);
    resize(760, 360);

    connect(addFolder, &QPushButton::clicked, this, &CCatalogueSourcesDlg::OnAddFolder);
    connect(addFiles, &QPushButton::clicked, this, &CCatalogueSourcesDlg::OnAddFiles);
    connect(m_pRemove, &QPushButton::clicked, this, &CCatalogueSourcesDlg::OnRemove);
    connect(refresh, &QPushButton::clicked, &m_catalogue, &CCatalogueThread::Refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pVerify, &QPushButton::clicked, this, &CCatalogueSourcesDlg::OnVerify);
    connect(m_pCompare, &QPushButton::clicked, this, &CCatalogueSourcesDlg::CompareSelected);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CCatalogueSourcesDlg::OnSelectionChanged);
    connect(m_pList, &QTreeWidget::customContextMenuRequested, this, &CCatalogueSourcesDlg::OnContextMenu);
    connect(m_pAddReports, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.WriteInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, on ? 1 : 0);
    });
    connect(&m_catalogue, &CCatalogueThread::SourcesChanged, this, &CCatalogueSourcesDlg::ShowSources);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this, &help] { help.ShowTopic(Text(IDS_FIND_HELP_TOPIC) + QStringLiteral("#reports"), this); });
}

CCatalogueSourcesDlg::~CCatalogueSourcesDlg() = default;

QStringList CCatalogueSourcesDlg::Rows() const {
    QStringList rows;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_pList->topLevelItem(i);
        rows << QStringList{item->text(State), item->text(Kind), item->text(Entries), item->text(Path)}.join(
                    QLatin1Char('\t'));
    }
    return rows;
}

void CCatalogueSourcesDlg::ShowSources(const std::vector<CSourceInfo>& sources) {
    m_pList->clear();
    const QLocale locale = QLocale::system();
    QList<QTreeWidgetItem*> items;
    for (const CSourceInfo& source : sources) {
        auto* item = new QTreeWidgetItem;
        item->setText(State, Text(IDS_SOURCE_STATE_FIRST + static_cast<int>(source.m_state)));
        item->setText(Kind, Text(IDS_SOURCE_KIND_FIRST + static_cast<int>(source.m_kind)));
        item->setData(Kind, Qt::UserRole, static_cast<int>(source.m_kind));
        item->setText(Entries, locale.toString(static_cast<qlonglong>(source.m_nEntries)));
        item->setTextAlignment(Entries, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Path, PathToQString(source.m_strPath));
        item->setData(Path, Qt::UserRole, QByteArray::fromStdString(source.m_strPath));
        items << item;
    }
    m_pList->addTopLevelItems(items);
}

void CCatalogueSourcesDlg::OnAddFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, Text(IDS_SOURCES_CHOOSE_FOLDER));
    if (!folder.isEmpty()) {
        m_catalogue.Add({PathFromQString(folder)});
    }
}

void CCatalogueSourcesDlg::OnAddFiles() {
    const QStringList files =
        QFileDialog::getOpenFileNames(this, Text(IDS_SOURCES_CHOOSE_FILES), QString(), Text(IDS_SOURCES_FILE_FILTER));
    std::vector<std::string> paths;
    for (const QString& file : files) {
        paths.push_back(PathFromQString(file));
    }
    if (!paths.empty()) {
        m_catalogue.Add(paths);
    }
}

void CCatalogueSourcesDlg::OnRemove() {
    std::vector<std::string> paths;
    for (const QTreeWidgetItem* item : m_pList->selectedItems()) {
        paths.push_back(item->data(Path, Qt::UserRole).toByteArray().toStdString());
    }
    if (!paths.empty()) {
        m_catalogue.Remove(paths);
    }
}

std::optional<std::string> CCatalogueSourcesDlg::SelectedReport() const {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (selected.size() != 1 ||
        selected.front()->data(Kind, Qt::UserRole).toInt() != static_cast<int>(SourceKind::Report)) {
        return std::nullopt;
    }
    return selected.front()->data(Path, Qt::UserRole).toByteArray().toStdString();
}

std::vector<std::string> CCatalogueSourcesDlg::SelectedReports() const {
    std::vector<std::string> reports;
    for (const QTreeWidgetItem* item : m_pList->selectedItems()) {
        if (item->data(Kind, Qt::UserRole).toInt() == static_cast<int>(SourceKind::Report)) {
            reports.push_back(item->data(Path, Qt::UserRole).toByteArray().toStdString());
        }
    }
    return reports;
}

void CCatalogueSourcesDlg::OnSelectionChanged() {
    m_pRemove->setEnabled(!m_pList->selectedItems().isEmpty());
    m_pVerify->setEnabled(!m_pVerifyRun && SelectedReport().has_value());
    m_pCompare->setEnabled(!m_pCompareRun && m_pList->selectedItems().size() == 2 && SelectedReports().size() == 2);
}

void CCatalogueSourcesDlg::OnContextMenu(const QPoint& position) {
    QMenu menu(this);
    QAction* verify = menu.addAction(Text(IDS_VERIFY_ACTION));
    verify->setEnabled(m_pVerify->isEnabled());
    connect(verify, &QAction::triggered, this, &CCatalogueSourcesDlg::OnVerify);
    QAction* compare = menu.addAction(Text(IDS_COMPARE_ACTION));
    compare->setEnabled(m_pCompare->isEnabled());
    connect(compare, &QAction::triggered, this, &CCatalogueSourcesDlg::CompareSelected);
    QAction* remove = menu.addAction(Text(IDS_SOURCES_REMOVE));
    remove->setEnabled(m_pRemove->isEnabled());
    connect(remove, &QAction::triggered, this, &CCatalogueSourcesDlg::OnRemove);
    menu.exec(m_pList->viewport()->mapToGlobal(position));
}

void CCatalogueSourcesDlg::OnVerify() {
    if (!SelectedReport() || m_pVerifyRun) {
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(this, Text(IDS_VERIFY_CHOOSE_FOLDER),
                                                             m_strVerifyFolder);
    if (!folder.isEmpty()) {
        VerifyAgainst(folder);
    }
}

void CCatalogueSourcesDlg::VerifyAgainst(const QString& folder) {
    const std::optional<std::string> report = SelectedReport();
    if (!report || m_pVerifyRun) {
        return;
    }
    m_strVerifyFolder = folder;
    m_strVerifyReport = *report;
    CVerifyRequest request;
    request.m_strReportPath = *report;
    request.m_arrPaths = {DropPath::AsDropPath(PathFromQString(folder))};
    request.m_settings = CAppSettings(m_settings).Snapshot();
    request.m_bIncludeOk = true;
    // The archive log and the manifest are looked up on the run's thread.
    m_pVerifyRun = std::make_unique<CVerifyRun>(m_catalogue.DatabasePath(), std::move(request));
    connect(m_pVerifyRun.get(), &CVerifyRun::Finished, this, &CCatalogueSourcesDlg::OnVerifyFinished);
    m_pVerifyProgress = new CVerifyProgressDlg(
        *m_pVerifyRun, Text(IDS_VERIFY_PROGRESS_TITLE),
        Filled(IDS_VERIFY_PROGRESS, {folder, QFileInfo(PathToQString(*report)).fileName()}), this);
    m_pVerify->setEnabled(false);
    m_pVerifyRun->Start();
    m_pVerifyProgress->show();
}

void CCatalogueSourcesDlg::OnVerifyFinished() {
    // Called from the run's own signal: it is deleted once that returns.
    CVerifyRun* run = m_pVerifyRun.release();
    run->deleteLater();
    const VerifyOutcome outcome = run->Outcome();
    std::unique_ptr<CMediumVerifier> verifier = run->TakeVerifier();
    delete m_pVerifyProgress;
    m_pVerifyProgress = nullptr;
    OnSelectionChanged();
    if (outcome == VerifyOutcome::Checked && verifier) {
        auto* result = new CVerifyResultDlg(std::move(verifier), m_strVerifyReport, m_strVerifyFolder, m_help, this);
        result->show();
    } else if (outcome == VerifyOutcome::Unreadable && (verifier || !run->Failure().empty())) {
        const std::string why = run->Failure().empty() ? verifier->Error() : m_strVerifyReport + ": " + run->Failure();
        ShowMessageBox(this, Filled(IDS_VERIFY_NOT_CHECKED, {ToQString(why)}), Text(IDS_VERIFY_CAPTION),
                       MB_ICONEXCLAMATION);
    }
}

void CCatalogueSourcesDlg::CompareSelected() {
    std::vector<std::string> reports = SelectedReports();
    if (reports.size() != 2 || m_pList->selectedItems().size() != 2 || m_pCompareRun) {
        return;
    }
    // The older first, by the time its file was last written.
    const auto modified = [](const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_mtim : timespec{};
    };
    const timespec first = modified(reports[0]), second = modified(reports[1]);
    if (second.tv_sec < first.tv_sec || (second.tv_sec == first.tv_sec && second.tv_nsec < first.tv_nsec)) {
        std::swap(reports[0], reports[1]);
    }
    m_strCompareOld = reports[0];
    m_strCompareNew = reports[1];
    CCompareRequest request;
    request.m_old.m_strReportPath = m_strCompareOld;
    request.m_new.m_strReportPath = m_strCompareNew;
    request.m_bIncludeOk = true;
    // The archive logs and the manifests are looked up on the run's thread.
    m_pCompareRun = std::make_unique<CCompareRun>(m_catalogue.DatabasePath(), std::move(request));
    connect(m_pCompareRun.get(), &CCompareRun::Finished, this, &CCatalogueSourcesDlg::OnCompareFinished);
    m_pCompareProgress = new CVerifyProgressDlg(
        *m_pCompareRun, Text(IDS_COMPARE_PROGRESS_TITLE),
        Filled(IDS_COMPARE_PROGRESS, {QFileInfo(PathToQString(m_strCompareNew)).fileName(),
                                      QFileInfo(PathToQString(m_strCompareOld)).fileName()}),
        this);
    m_pCompare->setEnabled(false);
    m_pCompareRun->Start();
    m_pCompareProgress->show();
}

void CCatalogueSourcesDlg::OnCompareFinished() {
    // Called from the run's own signal: it is deleted once that returns.
    CCompareRun* run = m_pCompareRun.release();
    run->deleteLater();
    const CReportComparer::Outcome outcome = run->Outcome();
    std::unique_ptr<CReportComparer> comparer = run->TakeComparer();
    delete m_pCompareProgress;
    m_pCompareProgress = nullptr;
    OnSelectionChanged();
    if (outcome == CReportComparer::Outcome::Compared && comparer) {
        auto* result = new CVerifyResultDlg(std::move(comparer), m_strCompareOld, m_strCompareNew, m_help, this);
        result->show();
    } else if (outcome == CReportComparer::Outcome::Unreadable && comparer) {
        ShowMessageBox(this, Filled(IDS_COMPARE_NOT_COMPARED, {ToQString(comparer->Error())}),
                       Text(IDS_COMPARE_CAPTION), MB_ICONEXCLAMATION);
    }
}
