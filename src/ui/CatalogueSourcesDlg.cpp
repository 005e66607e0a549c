#include "CatalogueSourcesDlg.h"

#include "CatalogueThread.h"
#include "HelpViewer.h"
#include "SettingsStore.h"
#include "UiText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { State, Kind, Entries, Path };

} // namespace

CCatalogueSourcesDlg::CCatalogueSourcesDlg(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help,
                                           QWidget* parent)
    : QDialog(parent), m_catalogue(catalogue), m_settings(settings) {
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

    auto* addFolder = new QPushButton(Text(IDS_SOURCES_ADD_FOLDER), this);
    addFolder->setObjectName(QStringLiteral("addFolderButton"));
    auto* addFiles = new QPushButton(Text(IDS_SOURCES_ADD_FILES), this);
    addFiles->setObjectName(QStringLiteral("addFilesButton"));
    m_pRemove = new QPushButton(Text(IDS_SOURCES_REMOVE), this);
    m_pRemove->setObjectName(QStringLiteral("removeButton"));
    m_pRemove->setEnabled(false);
    auto* refresh = new QPushButton(Text(IDS_SOURCES_REFRESH), this);
    refresh->setObjectName(QStringLiteral("refreshButton"));
    auto* close = new QPushButton(Text(IDS_SOURCES_CLOSE), this);
    close->setObjectName(QStringLiteral("closeButton"));
    for (QPushButton* button : {addFolder, addFiles, m_pRemove, refresh, close}) {
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
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_pRemove->setEnabled(!m_pList->selectedItems().isEmpty()); });
    connect(m_pAddReports, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.WriteInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, on ? 1 : 0);
    });
    connect(&m_catalogue, &CCatalogueThread::SourcesChanged, this, &CCatalogueSourcesDlg::ShowSources);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this, &help] { help.ShowTopic(Text(IDS_FIND_HELP_TOPIC) + QStringLiteral("#reports"), this); });
}

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
