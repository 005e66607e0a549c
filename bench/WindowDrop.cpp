// window_drop: the window's share of a drop. Drops a folder on a real main
// window (offscreen unless QT_QPA_PLATFORM says otherwise), lets it walk,
// sort and export through its Save As, and times that against stowlist-cli
// writing the same report from the same settings file, alternating the two
// in every repetition. The window runs without its pauses for the eye (no
// minimum sort time, no pause after the export); everything else is as the
// program runs it, the status line included. Each repetition checks that
// both reports are the same bytes.
//
//   window_drop --cli PATH [--reps N] [--padded] DIR
//
// Prints the time of each run, the medians and the window's ratio to the
// command line. The window's time runs from the drop event to the report in
// place; the command line's is the whole process, as a user waits for it.
#include "AppSettings.h"
#include "CatalogEngine.h"
#include "HelpViewer.h"
#include "ScratchFolder.h"
#include "SettingsStore.h"
#include "StowlistDlg.h"
#include "StringTable.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration elapsed) { return std::chrono::duration<double, std::milli>(elapsed).count(); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The options of a full directory listing, as bench/compare gives them to
// stowlist-cli; the window exports at once, without opening the report.
void WriteSettings(const std::string& path, bool padded) {
    CSettingsStore store(path);
    CAppSettings settings(store);
    const std::pair<Option, int> values[] = {
        {Option::ExportData, 1},          {Option::AutoView, 0},
        {Option::FormatFileSize, 1},      {Option::ExcludeEmptyFolders, 0},
        {Option::OutputFormat, padded},   {Option::ProcessType, kProcessListing},
        {Option::DirectoryOnly, 0},       {Option::ExcludeHiddenSystemInfo, 1},
        {Option::ExcludeSubFolders, 0},
    };
    for (const auto& [option, value] : values) {
        settings.Write(option, value);
    }
}

// Answers the export's Save As with a file name, as a user who typed it
// and clicked Save; the answer goes out as soon as the dialog shows. Counts
// the paints of the status line on the way.
class CSaveAsAnswer : public QObject {
public:
    void SetFileName(QString path) { m_strPath = std::move(path); }
    int Answered() const { return m_nAnswered; }
    int StatusPaints() const { return m_nStatusPaints; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("statusLabel")) {
            ++m_nStatusPaints;
        }
        if (event->type() != QEvent::Show) {
            return false;
        }
        auto* dialog = qobject_cast<QFileDialog*>(watched);
        if (dialog != nullptr && dialog->isModal()) {
            ++m_nAnswered;
            QMetaObject::invokeMethod(
                dialog,
                [dialog, path = m_strPath] {
                    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
                    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QString m_strPath;
    int m_nAnswered = 0;
    int m_nStatusPaints = 0;
};

// One drop on a new window, from the drop event to the report in place.
// Returns the milliseconds, or a negative value when the drop went wrong.
double TimeWindowDrop(CScratchFolder& scratch, const std::string& settingsPath, const std::string& tree,
                      const std::string& report, CSaveAsAnswer& answer) {
    CSettingsStore store(settingsPath);
    CAppSettings settings(store);
    settings.SetDefaultDir(scratch.Path(""));
    CHelpViewer help(QString::fromStdString(scratch.Path("no-help.qch")));
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(0);
    // The report joins a catalogue of the scratch folder's, never the user's.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(scratch.Path("data")));
    CStowlistDlg window(settings, help, CLocaleFormat::FromEnvironment(), timing);
    window.show();
    for (int i = 0; i < 100 && !window.windowHandle()->isExposed(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const QLabel* status = window.findChild<QLabel*>(QStringLiteral("statusLabel"));
    answer.SetFileName(QString::fromStdString(report));
    const int answeredBefore = answer.Answered();
    // Wakes the wait below now and then, whatever the window does.
    QTimer wake;
    wake.start(50);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(tree))});
    const QPoint where = window.rect().center();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    const Clock::time_point start = Clock::now();
    QDragEnterEvent enter(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDragMoveEvent move(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &move);
    QDropEvent drop(QPointF(where), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    if (!drop.isAccepted()) {
        std::fprintf(stderr, "window_drop: the window refused the drop\n");
        return -1;
    }
    const QString idle = QString::fromStdString(LoadString(IDS_IDLE));
    const Clock::time_point deadline = start + std::chrono::minutes(10);
    while (answer.Answered() == answeredBefore || status->text() != idle || !QFileInfo::exists(
                                                                                 QString::fromStdString(report))) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "window_drop: no report after 10 minutes; status \"%s\"\n",
                         qPrintable(status->text()));
            return -1;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return Milliseconds(Clock::now() - start);
}

// stowlist-cli as a user runs it, the whole process.
double TimeCli(const std::string& cli, const std::string& settingsPath, const std::string& tree,
               const std::string& report) {
    std::vector<std::string> args = {cli, "--settings", settingsPath, "-q", "-o", report, tree};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, cli.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "window_drop: cannot run %s\n", cli.c_str());
        return -1;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "window_drop: %s failed\n", cli.c_str());
        return -1;
    }
    return Milliseconds(Clock::now() - start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The offscreen platform says at every window what it cannot do; that is
// no news here. Everything else goes out as usual.
QtMessageHandler g_previousHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && (message.startsWith(QStringLiteral("This plugin does not support")) ||
                                 message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR")))) {
        return;
    }
    g_previousHandler(type, context, message);
}

int Usage() {
    std::fprintf(stderr, "usage: window_drop --cli PATH [--reps N] [--padded] DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    g_previousHandler = qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // as the program itself

    std::string cli;
    std::string tree;
    int reps = 5;
    bool padded = false;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--cli") && i + 1 < args.size()) {
            cli = args[++i].toStdString();
        } else if (args[i] == QStringLiteral("--reps") && i + 1 < args.size()) {
            reps = args[++i].toInt();
        } else if (args[i] == QStringLiteral("--padded")) {
            padded = true;
        } else if (tree.empty() && !args[i].startsWith(u'-')) {
            tree = QFileInfo(args[i]).absoluteFilePath().toStdString();
        } else {
            return Usage();
        }
    }
    if (cli.empty() || tree.empty() || reps < 1) {
        return Usage();
    }

    CScratchFolder scratch;
    const std::string windowSettings = scratch.Path("window.INI");
    const std::string cliSettings = scratch.Path("cli.INI");
    WriteSettings(windowSettings, padded);
    WriteSettings(cliSettings, padded);
    CSaveAsAnswer answer;
    application.installEventFilter(&answer);

    std::vector<double> windowTimes;
    std::vector<double> cliTimes;
    std::vector<double> statusPaints;
    // One untimed run of each first; then each repetition starts with the
    // other one than the last, so drift spreads over both.
    for (int rep = -1; rep < reps; ++rep) {
        const std::string windowReport = scratch.Path("window-" + std::to_string(rep + 1) + ".txt");
        const std::string cliReport = scratch.Path("cli.txt");
        double windowMs = 0;
        double cliMs = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (rep % 2 == 0)) {
                const int paintsBefore = answer.StatusPaints();
                windowMs = TimeWindowDrop(scratch, windowSettings, tree, windowReport, answer);
                statusPaints.push_back(answer.StatusPaints() - paintsBefore);
            } else {
                cliMs = TimeCli(cli, cliSettings, tree, cliReport);
            }
        }
        if (windowMs < 0 || cliMs < 0) {
            return 1;
        }
        if (ReadAll(windowReport) != ReadAll(cliReport)) {
            std::fprintf(stderr, "window_drop: the window's report differs from stowlist-cli's (%s, %s)\n",
                         windowReport.c_str(), cliReport.c_str());
            std::fflush(stderr);
            std::_Exit(1); // keeps both reports for a look
        }
        std::remove(windowReport.c_str());
        if (rep >= 0) {
            windowTimes.push_back(windowMs);
            cliTimes.push_back(cliMs);
            std::fprintf(stderr, "window_drop: repetition %d of %d: window %.0f ms, stowlist-cli %.0f ms\n", rep + 1,
                         reps, windowMs, cliMs);
        }
    }
    const double window = Median(windowTimes);
    const double command = Median(cliTimes);
    std::printf("| drop | median |\n|---|---:|\n");
    std::printf("| `stowlist-cli --settings FILE -q -o FILE DIR` | %.3f s |\n", command / 1000);
    std::printf("| the window (drop, sort, Save As, export) | %.3f s |\n", window / 1000);
    std::printf("\n- status line painted %.0f times per drop (median)\n", Median(statusPaints));
    std::printf("- window / stowlist-cli: %.2f (target at most 1.2): %s\n", window / command,
                window <= 1.2 * command ? "met" : "missed");
    std::fflush(stdout);
    return 0;
}
