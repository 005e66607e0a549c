#include "StowlistDlg.h"

#include "AboutDlg.h"
#include "AppIcon.h"
#include "Catalogue.h"
#include "ChecksumRun.h"
#include "DropChecksums.h"
#include "DropPaths.h"
#include "FileLocations.h"
#include "FindWindow.h"
#include "HelpViewer.h"
#include "ManifestPath.h"
#include "MessageBoxes.h"
#include "MyFileDialog.h"
#include "OptionsDlg.h"
#include "TextFormat.h"
#include "UiText.h"
#include "Utf8.h"
#include "ui_StowlistDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include <cstring>
#include <utility>

namespace {

constexpr int kSpinnerPeriodMs = 250;
// How often the status line is repainted while the engine holds the thread.
constexpr qint64 kStatusRepaintMs = 30;

} // namespace

// Marks an engine operation run from the window: while one runs the window
// refuses drops and close requests, and status texts are painted at once.
class CStowlistDlg::CEngineCall {
public:
    explicit CEngineCall(CStowlistDlg& window) : m_window(window) { ++m_window.m_nEngineCalls; }
    ~CEngineCall() { --m_window.m_nEngineCalls; }
    CEngineCall(const CEngineCall&) = delete;
    CEngineCall& operator=(const CEngineCall&) = delete;

private:
    CStowlistDlg& m_window;
};

CStowlistDlg::CStowlistDlg(CAppSettings& settings, CHelpViewer& help, CLocaleFormat locale, CEngineTiming timing,
                           QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::StowlistDlg>()), m_settings(settings), m_help(help),
      m_engine(*this, settings, std::move(locale), timing), m_dlgViewLog(m_engine.Log(), help, this),
      m_dlgSettings(m_engine.ArchiveSettings(), settings.Store(), help, this),
      m_catalogue(FileLocations::CatalogueFile()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(StowlistIcon());
    m_ui->iconLabel->setPixmap(StowlistIcon().pixmap(32, 32));
    m_ui->statusLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->statusLabel->setText(Text(IDS_IDLE));
    setAcceptDrops(true);

    connect(m_ui->exitButton, &QPushButton::clicked, this, &CStowlistDlg::PostClose);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &CStowlistDlg::OnHelp);
    connect(m_ui->aboutButton, &QPushButton::clicked, this, &CStowlistDlg::OnAbout);
    connect(m_ui->viewLogButton, &QPushButton::clicked, this, &CStowlistDlg::OnViewLog);
    connect(m_ui->exportButton, &QPushButton::clicked, this, &CStowlistDlg::OnExport);
    connect(m_ui->optionsButton, &QPushButton::clicked, this, &CStowlistDlg::OnOptions);
    connect(m_ui->findButton, &QPushButton::clicked, this, &CStowlistDlg::OnFind);
    connect(this, &CStowlistDlg::SortDonePosted, this, &CStowlistDlg::OnSortDone, Qt::QueuedConnection);
    connect(&m_catalogue, &CCatalogueThread::NotRegistered, this,
            [this](const QString& text) { m_ui->statusLabel->setText(text); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &CStowlistDlg::OnHelp);

    m_spinner.setInterval(kSpinnerPeriodMs);
    connect(&m_spinner, &QTimer::timeout, this, [this] { m_engine.SpinnerStep(); });

    m_engine.ResetSession();
    m_ui->exitButton->setFocus();
}

CStowlistDlg::~CStowlistDlg() {
    m_spinner.stop();
    m_engine.FreeFolderRecords(); // waits for a sort that is still running
}

void CStowlistDlg::EnableMainControls(bool enable) {
    m_bDropEnabled = enable;
    for (QPushButton* button : {m_ui->exitButton, m_ui->exportButton, m_ui->optionsButton, m_ui->viewLogButton,
                                m_ui->aboutButton, m_ui->findButton}) {
        button->setEnabled(enable);
    }
    repaint();
}

void CStowlistDlg::PostClose() { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); }

void CStowlistDlg::reject() {
    // The records belong to the sorting thread until its completion has been
    // handled, and a drop or an export must not lose its window under it.
    if (m_nEngineCalls > 0 || m_bDropQueued || m_engine.IsSorting()) {
        return;
    }
    if (m_engine.Session().m_bSaved == 0 &&
        MessageBox(LoadString(IDS_UNSAVED_EXIT), LoadString(IDS_WARNING), MB_YESNO | MB_ICONQUESTION) == IDNO) {
        return;
    }
    QDialog::reject();
}

void CStowlistDlg::ShowStatus(const std::string& text) {
    const QString status = ToQString(text);
    if (m_ui->statusLabel->text() != status) {
        m_ui->statusLabel->setText(status);
    }
    // While the engine holds the thread (a walk, an export) nothing else
    // would paint: paint now and then, taking no input meanwhile.
    if (m_nEngineCalls > 0 && (!m_statusShown.isValid() || m_statusShown.elapsed() >= kStatusRepaintMs)) {
        m_statusShown.restart();
        m_ui->statusLabel->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

int CStowlistDlg::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
    return ShowMessageBox(this, ToQString(text), ToQString(caption), style);
}

bool CStowlistDlg::RunArchiveSettings(CArchiveSettings& tags) {
    Q_UNUSED(tags); // the dialog edits the engine's tags, which these are
    return m_dlgSettings.Run() == QDialog::Accepted;
}

bool CStowlistDlg::AskExportFileName(const std::string& proposal, const std::string& initialFolder,
                                     std::string& chosenPath) {
    CMyFileDialog dialog(m_help, this);
    QString chosen;
    const bool ok = dialog.Ask(PathToQString(proposal), PathToQString(initialFolder), chosen);
    repaint();
    if (ok) {
        chosenPath = PathFromQString(chosen);
    }
    return ok;
}

void CStowlistDlg::EnableExport(bool enable) { m_ui->exportButton->setEnabled(enable); }

// The wait cursor shows over this window only: message boxes and help stay
// usable with the normal one.
void CStowlistDlg::SetBusy(bool busy) {
    if (busy == m_bBusy) {
        return;
    }
    m_bBusy = busy;
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void CStowlistDlg::SortStarted() {
    m_spinner.start();
    EnableMainControls(false);
}

// Sorting thread: only posts.
void CStowlistDlg::PostSortDone() {
    emit SortDonePosted();
}

void CStowlistDlg::OnSortDone() {
    CEngineCall call(*this);
    m_engine.OnSortDone();
}

void CStowlistDlg::SortFinished() {
    m_spinner.stop();
    EnableMainControls(true);
}

void CStowlistDlg::OpenReport(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQString(path)));
}

void CStowlistDlg::ReportWritten(const std::string& path, const std::string& logText) {
    const std::string manifest = std::exchange(m_strManifestWritten, {});
    // A check ignores a manifest older than its report: one left here by a
    // failure costs nothing.
    RetireStaleManifest(path, manifest);
    if (m_settings.Store().GetInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, 1) != 0) {
        m_catalogue.Register(path, logText, manifest);
    }
}

void CStowlistDlg::Pause(std::chrono::milliseconds duration) {
    repaint();
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// Drops are taken while no sort, drop or export runs and no dialog of the
// program is open in front of the window.
bool CStowlistDlg::AcceptsDrops() const {
    const QWidget* modal = QApplication::activeModalWidget();
    return m_bDropEnabled && !m_bDropQueued && m_nEngineCalls == 0 && (modal == nullptr || modal == this);
}

// Accepts the drag or drop as a copy when the window takes these paths now,
// whatever else the source offers; ignores it otherwise.
bool CStowlistDlg::AnswerWithCopy(QDropEvent& event, const std::vector<std::string>& paths) const {
    if (!AcceptsDrops() || paths.empty() || !(event.possibleActions() & Qt::CopyAction)) {
        event.ignore();
        return false;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    return true;
}

void CStowlistDlg::dragEnterEvent(QDragEnterEvent* event) {
    m_dragPaths = DropPaths::LocalPaths(*event->mimeData());
    AnswerWithCopy(*event, m_dragPaths);
}

void CStowlistDlg::dragMoveEvent(QDragMoveEvent* event) { AnswerWithCopy(*event, m_dragPaths); }

void CStowlistDlg::dragLeaveEvent(QDragLeaveEvent* event) {
    m_dragPaths.clear();
    event->accept();
}

// The drop itself is handled once the drag source has been answered, so a
// long walk or a dialog never keeps the source waiting. Some drag sources
// no longer hand out their data at the moment of the drop (they did while
// the drag entered): the paths read then stand in, as one drag's data
// cannot change.
void CStowlistDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = DropPaths::LocalPaths(*event->mimeData());
    if (paths.empty()) {
        paths = std::move(m_dragPaths);
    }
    m_dragPaths.clear();
    if (!AnswerWithCopy(*event, paths)) {
        return;
    }
    m_bDropQueued = true;
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { ProcessDrop(paths); }, Qt::QueuedConnection);
}

void CStowlistDlg::ProcessDrop(const std::vector<std::string>& paths) {
    m_bDropQueued = false;
    CEngineCall call(*this);
    activateWindow();
    raise();
    repaint();
    m_pChecksums.reset();
    m_engine.SetChecksums(
        m_settings.Store().GetInt(CCatalogue::kSettingsSection, CCatalogue::kChecksumsKey, 0) != 0);
    m_engine.ProcessDrop(paths);
}

bool CStowlistDlg::RunChecksums(CDropFiles files) {
    m_pChecksums = std::make_unique<CDropChecksums>(std::move(files));
    if (m_pCancelChecksums == nullptr) {
        m_pCancelChecksums = new QPushButton(Text(IDS_CHECKSUMS_CANCEL), this);
        m_pCancelChecksums->setObjectName(QStringLiteral("cancelChecksumsButton"));
        connect(m_pCancelChecksums, &QPushButton::clicked, this, [this] {
            if (m_pChecksumRun != nullptr) {
                m_pChecksumRun->Cancel();
            }
        });
    }
    // Over the right end of the status line, which the progress leaves free.
    const QRect status = m_ui->statusLabel->geometry();
    const QSize size = m_pCancelChecksums->sizeHint();
    m_pCancelChecksums->setGeometry(status.right() - size.width(), status.center().y() - size.height() / 2,
                                    size.width(), size.height());
    const CTextFormat progress(LoadString(IDS_CHECKSUMS_PROGRESS));
    CChecksumRun run(*m_pChecksums, [this, &progress](int percent) { ShowStatus(progress({percent})); });
    m_pChecksumRun = &run; // before anything paints: Cancel works from its first showing
    EnableMainControls(false);
    m_pCancelChecksums->show();
    m_pCancelChecksums->raise();
    ShowStatus(progress({0}));
    const bool finished = run.Exec();
    m_pChecksumRun = nullptr;
    m_pCancelChecksums->hide();
    EnableMainControls(true);
    if (!finished) {
        m_pChecksums.reset();
    }
    if (!run.Failure().empty()) {
        MessageBox(FormatString(IDS_CHECKSUMS_FAILED, {run.Failure()}), LoadString(IDS_CHECKSUMS_TITLE),
                   MB_ICONEXCLAMATION);
    }
    return finished;
}

void CStowlistDlg::WriteChecksums(const std::string& reportPath) {
    if (!m_pChecksums) {
        return;
    }
    // Kept until the next drop: every export of this drop gets its manifest.
    const CDropChecksums* checksums = m_pChecksums.get();
    const std::string manifest = ManifestFileFor(reportPath);
    if (const int error = checksums->WriteManifest(manifest); error != 0) {
        MessageBox(FormatString(IDS_CHECKSUMS_NOT_WRITTEN, {Utf8::Printable(manifest), std::strerror(error)}),
                   LoadString(IDS_CHECKSUMS_TITLE), MB_ICONEXCLAMATION);
        return;
    }
    m_strManifestWritten = manifest;
    const std::vector<CUnreadableFile> unreadable = checksums->Unreadable();
    if (unreadable.empty()) {
        return;
    }
    std::string list;
    for (const CUnreadableFile& file : unreadable) {
        list += FormatString(IDS_CHECKSUMS_UNREADABLE_ONE, {Utf8::Printable(file.m_strPath), std::strerror(file.m_nError)});
        list += '\n';
    }
    QMessageBox box(QMessageBox::Warning, Text(IDS_CHECKSUMS_TITLE),
                    ToQString(FormatString(IDS_CHECKSUMS_UNREADABLE, {static_cast<long long>(unreadable.size())})),
                    QMessageBox::Ok, this);
    box.setDetailedText(ToQString(list));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void CStowlistDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    connect(menu.addAction(Text(IDS_ABOUTBOX)), &QAction::triggered, this, &CStowlistDlg::OnAbout);
    menu.exec(event->globalPos());
}

void CStowlistDlg::OnViewLog() {
    if (m_engine.Log().IsLogEmpty()) {
        MessageBox(LoadString(IDS_NO_LOG), LoadString(IDS_VIEW_LOG_ERROR), MB_ICONINFORMATION);
        return;
    }
    m_dlgViewLog.Run();
}

void CStowlistDlg::OnExport() {
    if (m_nEngineCalls > 0 || m_engine.IsSorting()) {
        return;
    }
    CEngineCall call(*this);
    m_engine.ExportCatalogue();
}

void CStowlistDlg::OnOptions() {
    COptionsDlg dialog(m_settings.Store(), m_help, this);
    dialog.exec();
}

void CStowlistDlg::OnAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CStowlistDlg::OnHelp() { m_help.ShowDefaultTopic(this); }

// One Find window, kept while the main window lives; Find again raises it.
void CStowlistDlg::OnFind() {
    if (!m_pFindWindow) {
        m_pFindWindow = std::make_unique<CFindWindow>(m_catalogue, m_settings.Store(), m_help, this);
    }
    m_pFindWindow->show();
    m_pFindWindow->raise();
    m_pFindWindow->activateWindow();
}
