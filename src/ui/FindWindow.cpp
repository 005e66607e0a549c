#include "FindWindow.h"

#include "CatalogueSourcesDlg.h"
#include "DropPaths.h"
#include "FindHitLine.h"
#include "HelpViewer.h"
#include "SettingsStore.h"
#include "UiText.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr const char* kWidthKey = "FindWidth";
constexpr const char* kHeightKey = "FindHeight";
constexpr const char* kColumnsKey = "FindColumns";
constexpr int kDefaultWidth = 900;
constexpr int kDefaultHeight = 480;
// Name, Size, Date, Time, Medium, Folder; the report takes the rest.
constexpr int kDefaultColumnWidths[] = {220, 110, 80, 75, 75, 220, 60};

QString Grouped(std::uint64_t number) { return QLocale::system().toString(static_cast<qulonglong>(number)); }


// The rules of stowlist-cli find for one line of text: every word must
// occur; a text with *, ? or [ is one pattern for the whole name.
CFindQuery QueryFromText(const QString& text) {
    CFindQuery query;
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1Char('*')) || trimmed.contains(QLatin1Char('?')) ||
        trimmed.contains(QLatin1Char('['))) {
        query.m_strGlob = ToStdString(trimmed);
    } else {
        for (const QString& word : trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            query.m_arrTexts.push_back(ToStdString(word));
        }
    }
    return query;
}

} // namespace

CFindWindow::CFindWindow(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help, QWidget* parent)
    : QWidget(parent, Qt::Window), m_catalogue(catalogue), m_settings(settings), m_help(help) {
    setWindowTitle(Text(IDS_FIND_TITLE));
    setAcceptDrops(true);

    m_pSearch = new QLineEdit(this);
    m_pSearch->setObjectName(QStringLiteral("searchField"));
    m_pSearch->setPlaceholderText(Text(IDS_FIND_PLACEHOLDER));
    m_pSearch->setClearButtonEnabled(true);
    m_pKinds = new QComboBox(this);
    m_pKinds->setObjectName(QStringLiteral("kindsBox"));
    m_pKinds->addItems({Text(IDS_FIND_KINDS_ALL), Text(IDS_FIND_KINDS_FILES), Text(IDS_FIND_KINDS_FOLDERS),
                        Text(IDS_FIND_KINDS_ONE_MEDIUM)});
    m_pMedium = new QLineEdit(this);
    m_pMedium->setObjectName(QStringLiteral("mediumField"));
    m_pMedium->setPlaceholderText(Text(IDS_FIND_MEDIUM_PLACEHOLDER));
    m_pMedium->setMaximumWidth(200);
    m_pMedium->setMinimumWidth(m_pMedium->fontMetrics().horizontalAdvance(m_pMedium->placeholderText()) + 24);
    m_pReports = new QPushButton(Text(IDS_FIND_REPORTS_BUTTON), this);
    m_pReports->setObjectName(QStringLiteral("reportsButton"));
    m_pReports->setAutoDefault(false);

    m_pTable = new QTableView(this);
    m_pTable->setObjectName(QStringLiteral("hitTable"));
    m_pTable->setModel(&m_model);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setWordWrap(false);
    m_pTable->setTextElideMode(Qt::ElideMiddle); // paths keep their ends
    m_pTable->setAlternatingRowColors(true);
    m_pTable->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pTable->verticalHeader()->hide();
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->horizontalHeader()->setHighlightSections(false);
    m_pTable->horizontalHeader()->setSortIndicatorShown(true);
    m_pTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_pTable->horizontalHeader()->setSectionsClickable(true);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("findStatus"));
    m_pStatus->setTextFormat(Qt::PlainText);
    m_pStatus->setFrameShape(QFrame::Panel);
    m_pStatus->setFrameShadow(QFrame::Sunken);
    m_pStatus->setMargin(2);
    m_pStatus->setText(Text(IDS_FIND_READY));

    auto* top = new QHBoxLayout;
    top->addWidget(m_pSearch, 1);
    top->addWidget(m_pKinds);
    top->addWidget(m_pMedium);
    top->addWidget(m_pReports);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(m_pTable, 1);
    layout->addWidget(m_pStatus);
    setTabOrder(m_pSearch, m_pKinds);
    setTabOrder(m_pKinds, m_pMedium);
    setTabOrder(m_pMedium, m_pReports);
    setTabOrder(m_pReports, m_pTable);

    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(kTypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &CFindWindow::StartQuery);
    const auto restart = [this] { m_typingPause.start(); };
    connect(m_pSearch, &QLineEdit::textChanged, this, restart);
    connect(m_pMedium, &QLineEdit::textChanged, this, restart);
    connect(m_pKinds, &QComboBox::currentIndexChanged, this, restart);
    connect(m_pSearch, &QLineEdit::returnPressed, this, [this] {
        if (m_model.rowCount() > 0) {
            m_pTable->setFocus();
            m_pTable->selectRow(0);
        }
    });
    connect(m_pReports, &QPushButton::clicked, this, &CFindWindow::ShowSources);
    connect(&m_model, &CFindHitModel::MoreWanted, this, &CFindWindow::OnMoreWanted);
    connect(m_pTable->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &CFindWindow::OnSortChanged);
    connect(m_pTable, &QTableView::activated, this, &CFindWindow::OnActivated);
    connect(m_pTable, &QTableView::customContextMenuRequested, this, &CFindWindow::OnContextMenu);
    connect(&m_catalogue, &CCatalogueThread::Found, this, &CFindWindow::OnFound);
    connect(&m_catalogue, &CCatalogueThread::CopiesFound, this, &CFindWindow::OnCopiesFound);
    connect(&m_catalogue, &CCatalogueThread::Progress, this, &CFindWindow::OnProgress);
    connect(&m_catalogue, &CCatalogueThread::Warning, this, &CFindWindow::SetStatus);
    connect(&m_catalogue, &CCatalogueThread::SourcesChanged, this, [this] {
        if (!m_bReading && !m_bQueryEmpty) {
            StartQuery(); // the entries changed under the hits shown
        }
    });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { m_help.ShowTopic(Text(IDS_FIND_HELP_TOPIC), this); });

    RestoreLayout();
    m_pSearch->setFocus();
}

CFindWindow::~CFindWindow() = default;

QString CFindWindow::StatusText() const { return m_pStatus->text(); }

void CFindWindow::SetStatus(const QString& text) { m_pStatus->setText(text); }

void CFindWindow::StartQuery() {
    m_typingPause.stop();
    m_query = QueryFromText(m_pSearch->text());
    m_query.m_kinds = static_cast<FindKinds>(m_pKinds->currentIndex());
    m_query.m_strMediumPrefix = ToStdString(m_pMedium->text().trimmed());
    m_query.m_bCopies = true;
    ++m_nGeneration;
    m_bQueryEmpty = m_query.m_arrTexts.empty() && m_query.m_strGlob.empty();
    if (m_bQueryEmpty) {
        m_model.Clear();
        SetStatus(Text(IDS_FIND_READY));
        return;
    }
    SetStatus(Text(IDS_FIND_SEARCHING));
    m_catalogue.Find(m_nGeneration, m_query, 0, CFindHitModel::kFirstFetch, m_sort, m_bDescending);
}

void CFindWindow::OnFound(const CFindAnswer& answer) {
    if (answer.m_nGeneration != m_nGeneration) {
        return; // a query that a newer one replaced
    }
    if (answer.m_result.m_bFailed) {
        m_model.Clear();
        SetStatus(Filled(IDS_FIND_FAILED, {ToQString(answer.m_strError)}));
        return;
    }
    m_nReports = answer.m_result.m_nReports;
    std::vector<CFindHit> hits = answer.m_result.m_arrHits;
    if (answer.m_nOffset == 0) {
        m_bSortRefused = m_sort.has_value() && !answer.m_sort.has_value();
        m_model.Reset(std::move(hits), answer.m_result.m_nTotal, answer.m_sort.has_value());
        if (m_model.rowCount() > 0 && m_pTable->currentIndex().row() < 0) {
            m_pTable->setCurrentIndex(m_model.index(0, 0));
        }
    } else {
        m_model.Append(std::move(hits));
    }
    ShowCount();
}

void CFindWindow::OnCopiesFound(quint64 generation, std::size_t offset, const std::vector<std::uint32_t>& copies) {
    if (generation == m_nGeneration) {
        m_model.SetCopies(offset, copies);
    }
}

void CFindWindow::ShowCount() {
    const QString reports =
        m_nReports == 1 ? Text(IDS_FIND_ONE_REPORT) : Filled(IDS_FIND_REPORT_COUNT, {Grouped(m_nReports)});
    const std::uint64_t total = m_model.Total();
    if (m_bSortRefused) {
        SetStatus(Filled(IDS_FIND_SORT_LIMIT, {Grouped(total), reports, Grouped(CCatalogueThread::kSortLimit)}));
    } else if (total == 0) {
        SetStatus(Filled(IDS_FIND_NO_HITS, {reports}));
    } else if (total == 1) {
        SetStatus(Filled(IDS_FIND_ONE_HIT, {reports}));
    } else {
        SetStatus(Filled(IDS_FIND_HITS, {Grouped(total), reports}));
    }
}

void CFindWindow::OnMoreWanted(std::size_t offset, std::size_t count) {
    m_catalogue.Find(m_nGeneration, m_query, offset, count, std::nullopt, false);
}

// Medium ascending is Find's own order (medium, folder, name), so it needs
// no sort and fetches as it scrolls; any other order sorts every hit on the
// catalogue's thread, up to CCatalogueThread::kSortLimit of them.
void CFindWindow::OnSortChanged(int section, Qt::SortOrder order) {
    static constexpr FindHitField kFields[] = {FindHitField::Name,   FindHitField::Size,   FindHitField::Date,
                                               FindHitField::Time,   FindHitField::Medium, FindHitField::Folder,
                                               FindHitField::Copies, FindHitField::Report};
    m_bDescending = order == Qt::DescendingOrder;
    if (section < 0 || section >= CFindHitModel::ColumnCount ||
        (section == CFindHitModel::Medium && !m_bDescending)) {
        m_sort.reset();
    } else {
        m_sort = kFields[section];
    }
    if (!m_bQueryEmpty) {
        StartQuery();
    }
}

void CFindWindow::OnProgress(int done, int total) {
    m_bReading = done < total;
    if (m_bReading) {
        SetStatus(Filled(IDS_FIND_READING, {QString::number(done + 1), QString::number(total)}));
    } else if (m_bQueryEmpty) {
        SetStatus(Text(IDS_FIND_READY));
    } // else the query runs again once the sources have changed
}

void CFindWindow::AddPaths(const std::vector<std::string>& paths) {
    if (!paths.empty()) {
        m_catalogue.Add(paths);
    }
}

void CFindWindow::ShowSources() {
    if (m_pSources == nullptr) {
        m_pSources = new CCatalogueSourcesDlg(m_catalogue, m_settings, m_help, this);
    }
    m_catalogue.ListSources();
    m_pSources->show();
    m_pSources->raise();
    m_pSources->activateWindow();
}

void CFindWindow::OnActivated(const QModelIndex& index) {
    if (const CFindHit* hit = m_model.HitAt(index.row())) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQString(hit->m_strReport)));
    }
}

void CFindWindow::OnContextMenu(const QPoint& position) {
    const QModelIndex index = m_pTable->indexAt(position);
    const CFindHit* hit = m_model.HitAt(index.row());
    if (hit == nullptr) {
        return;
    }
    const QString report = PathToQString(hit->m_strReport);
    const QString line = ToQString(FindHitLine(*hit));
    QMenu menu(this);
    connect(menu.addAction(Text(IDS_FIND_OPEN_REPORT)), &QAction::triggered, this,
            [this, index] { OnActivated(index); });
    connect(menu.addAction(Text(IDS_FIND_COPY_LINE)), &QAction::triggered, this,
            [line] { QGuiApplication::clipboard()->setText(line); });
    connect(menu.addAction(Text(IDS_FIND_COPY_PATH)), &QAction::triggered, this,
            [report] { QGuiApplication::clipboard()->setText(report); });
    connect(menu.addAction(Text(IDS_FIND_SHOW_FOLDER)), &QAction::triggered, this,
            [report] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(report).absolutePath())); });
    menu.exec(m_pTable->viewport()->mapToGlobal(position));
}

void CFindWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DropPaths::LocalPaths(*event->mimeData()).empty() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CFindWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void CFindWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = DropPaths::LocalPaths(*event->mimeData());
    if (paths.empty() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    AddPaths(paths);
}

void CFindWindow::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QWidget::closeEvent(event);
}

void CFindWindow::RestoreLayout() {
    const std::string section = CCatalogue::kSettingsSection;
    const int width = m_settings.GetInt(section, kWidthKey, kDefaultWidth);
    const int height = m_settings.GetInt(section, kHeightKey, kDefaultHeight);
    resize(std::clamp(width, 320, 8000), std::clamp(height, 200, 8000));
    const QStringList widths =
        ToQString(m_settings.GetString(section, kColumnsKey, "")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int column = 0; column < CFindHitModel::Report; ++column) {
        bool ok = false;
        const int stored = column < widths.size() ? widths[column].toInt(&ok) : 0;
        m_pTable->setColumnWidth(column, ok && stored >= 20 && stored <= 4000 ? stored
                                                                             : kDefaultColumnWidths[column]);
    }
}

// One write of the settings file for the whole layout.
void CFindWindow::SaveLayout() {
    QStringList widths;
    for (int column = 0; column < CFindHitModel::Report; ++column) {
        widths << QString::number(m_pTable->columnWidth(column));
    }
    m_settings.WriteValues(CCatalogue::kSettingsSection, {{kWidthKey, std::to_string(width())},
                                                          {kHeightKey, std::to_string(height())},
                                                          {kColumnsKey, ToStdString(widths.join(QLatin1Char(',')))}});
}
