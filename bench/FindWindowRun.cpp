// The Find window on a real catalogue, offscreen: for random queries of 3 to
// 8 characters taken from the names, the time from the last keystroke to the
// first hits in the table (or the count of none), typing pause included.
// Prints the median, 90th and 99th percentiles.
//   find_window CATALOGUE [QUERIES] [SEED]
#include "CatalogueThread.h"
#include "FindWindow.h"
#include "HelpViewer.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: find_window CATALOGUE [QUERIES] [SEED]\n");
        return 2;
    }
    const int queries = argc > 2 ? std::atoi(argv[2]) : 100;
    std::mt19937 rng(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 7u);

    // Names to take the queries from, read as the window would show them.
    std::vector<std::string> names;
    {
        CCatalogue catalogue(argv[1]);
        CFindQuery all;
        all.m_strGlob = "*";
        if (!catalogue.Open(false)) {
            std::fprintf(stderr, "find_window: %s\n", catalogue.LastError().c_str());
            return 3;
        }
        for (const CFindHit& hit : catalogue.Find(all, 20000).m_arrHits) {
            names.push_back(hit.m_strName);
        }
    }
    if (names.empty()) {
        std::fprintf(stderr, "find_window: the catalogue is empty\n");
        return 1;
    }

    QTemporaryDir config;
    CSettingsStore settings(config.filePath(QStringLiteral("stowlist.INI")).toStdString());
    CHelpViewer help{QString()};
    CCatalogueThread catalogue(argv[1]);
    CFindWindow window(catalogue, settings, help);
    window.show();
    int answers = 0; // after the window's own handler: the hits are in the table
    QObject::connect(&catalogue, &CCatalogueThread::Found, &window, [&answers] { ++answers; });

    const auto run = [&](const QString& text) {
        const int before = answers;
        QElapsedTimer timer;
        window.SearchField()->setText(text);
        timer.start();
        while (answers == before) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        window.repaint();
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };
    // A first query opens the catalogue and maps its name image.
    std::printf("first query (catalogue opened): %.1f ms\n", run(QStringLiteral("zzzz-first")));
    window.SearchField()->clear();

    std::vector<double> times;
    for (int i = 0; i < queries; ++i) {
        const std::string& name = names[rng() % names.size()];
        const std::size_t length = std::min<std::size_t>(3 + rng() % 6, name.size());
        const std::size_t start = name.size() > length ? rng() % (name.size() - length + 1) : 0;
        window.SearchField()->clear();
        QApplication::processEvents();
        times.push_back(run(QString::fromUtf8(name.substr(start, length).c_str())));
    }
    std::printf("first hits on screen: %d queries, median %.1f ms, p90 %.1f ms, p99 %.1f ms, max %.1f ms "
                "(typing pause %d ms included)\n",
                queries, Percentile(times, 0.5), Percentile(times, 0.9), Percentile(times, 0.99),
                Percentile(times, 1.0), CFindWindow::kTypingPauseMs);
    return 0;
}
