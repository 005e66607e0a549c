// The Find window over a catalogue of reports that the real engine wrote:
// typing, the hits and their count, sorting, reports added by a drop, the
// sources and their states, and a window that answers while a query runs.
#include "CatalogueSourcesDlg.h"
#include "CatalogueThread.h"
#include "EngineFixture.h"
#include "FindWindow.h"
#include "HelpViewer.h"
#include "HelpWindow.h"
#include "ModalAnswerer.h"
#include "SettingsStore.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QComboBox>
#include <QPushButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWaitMs = 20000;

// Two listings written by the engine into reports/ of the engine's tree.
void WriteReports(CEngineFixture& engine) {
    CTempTree& tree = engine.m_tree;
    tree.Folder("Disk1", LocalTime(2026, 2, 3, 10, 0, 0));
    tree.Folder("Disk1/Photos", LocalTime(2026, 1, 2, 3, 4, 5));
    tree.File("Disk1/Photos/Holiday Photo.jpg", 1234567, LocalTime(2026, 3, 5, 14, 7, 9));
    tree.File("Disk1/Photos/beach.png", 42, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.File("Disk1/notes.txt", 7000, LocalTime(2025, 11, 1, 8, 30, 0));
    tree.Folder("Disk2", LocalTime(2026, 2, 3, 10, 0, 0));
    tree.File("Disk2/photo-index.txt", 999, LocalTime(2024, 6, 7, 9, 10, 11));
    tree.File("Disk2/Big Archive.zip", 5000000000ULL, LocalTime(2024, 6, 7, 9, 10, 12));
    tree.Folder("reports", LocalTime(2026, 1, 1, 0, 0, 0));
    tree.Finish();
    engine.Drop({"Disk1"});
    engine.Export("reports/disk1.txt");
    engine.m_engine->ResetSession();
    engine.Drop({"Disk2"});
    engine.Export("reports/disk2.txt");
}

// A listing of `count` files written directly, for a catalogue that takes a while to read.
void WriteLargeListing(CTempTree& tree, const std::string& relative, int count) {
    std::string text = "/BIG\r\n\r\n";
    for (int i = 0; i < count; ++i) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        text += name + "\t" + std::to_string(i) + "\t01/02/26\t03:04:05\t" + name + "\r\n";
    }
    text += "\r\nSummary: 0 Folder(s), " + std::to_string(count) + " File(s)\t0 Bytes";
    tree.WriteText(relative, text);
}

} // namespace

class FindWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEngineFixture> m_engine;
    std::unique_ptr<CTempTree> m_data;
    std::unique_ptr<CSettingsStore> m_store;
    std::unique_ptr<CHelpViewer> m_help;
    std::unique_ptr<CCatalogueThread> m_catalogue;
    std::unique_ptr<CFindWindow> m_window;

    std::string Report(const char* name) const { return m_engine->m_tree.Path(std::string("reports/") + name); }
    QString Root() const { return QString::fromStdString(UpperAscii(m_engine->m_tree.Root())); }

    // Every row the table holds, its columns joined by "|".
    QStringList Rows() const {
        QStringList rows;
        const CFindHitModel& model = m_window->Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList columns;
            for (int column = 0; column < model.columnCount(); ++column) {
                columns << model.data(model.index(row, column)).toString();
            }
            rows << columns.join(QLatin1Char('|'));
        }
        return rows;
    }

    void Type(const QString& text) {
        m_window->SearchField()->clear();
        QTest::keyClicks(m_window->SearchField(), text);
    }

    bool DropOnWindow(const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        }
        data.setUrls(urls);
        const QPoint where = m_window->rect().center();
        QDragEnterEvent enter(where, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &enter);
        QDropEvent drop(QPointF(where), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &drop);
        return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

private slots:
    void init() {
        UseTestTimeZone();
        m_engine = std::make_unique<CEngineFixture>();
        WriteReports(*m_engine);
        m_data = std::make_unique<CTempTree>();
        m_store = std::make_unique<CSettingsStore>(m_data->Path("stowlist.INI"));
        m_help = std::make_unique<CHelpViewer>(QStringLiteral(STOWLIST_TEST_HELP_FILE));
        m_catalogue = std::make_unique<CCatalogueThread>(m_data->Path("share/catalogue.sqlite"));
        m_window = std::make_unique<CFindWindow>(*m_catalogue, *m_store, *m_help);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window.reset();
        m_catalogue.reset();
        m_help.reset();
        m_store.reset();
        m_data.reset();
        m_engine.reset();
    }

    // A new query stops the older one only: a report registered between
    // two queries is never stopped in its place.
    void newQueryStopsOnlyTheOlderQuery() {
        QSignalSpy refused(m_catalogue.get(), &CCatalogueThread::NotRegistered);
        QSignalSpy found(m_catalogue.get(), &CCatalogueThread::Found);
        CFindQuery query;
        query.m_arrTexts = {"o"};
        quint64 generation = 1000;
        for (int round = 0; round < 40; ++round) {
            m_catalogue->Find(++generation, query, 0, 10, std::nullopt, false);
            m_catalogue->Register(Report("disk1.txt"), "");
            m_catalogue->Find(++generation, query, 0, 10, std::nullopt, false);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!found.isEmpty() && found.constLast().at(0).value<CFindAnswer>().m_nGeneration ==
                                                         generation,
                                 kWaitMs);
        QCOMPARE(refused.count(), 0);
    }

    void typedWordsShowTheirHits_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kinds");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("rows"); // with %R for the tree's root, %1 and %2 for the reports

        QTest::newRow("one word, both reports") << "photo" << 0 << "3 hits in 2 reports"
            << QStringList{"PHOTOS||01/02/26|03:04:05||%R/DISK1||%1:7",
                           "HOLIDAY PHOTO.JPG|1,234,567|03/05/26|14:07:09||%R/DISK1/PHOTOS|1|%1:13",
                           "PHOTO-INDEX.TXT|999|06/07/24|09:10:11||%R/DISK2|1|%2:8"};
        QTest::newRow("every word must occur, any case") << "Photo JPG" << 0 << "1 hit in 2 reports"
            << QStringList{"HOLIDAY PHOTO.JPG|1,234,567|03/05/26|14:07:09||%R/DISK1/PHOTOS|1|%1:13"};
        QTest::newRow("folders only") << "photo" << 2 << "1 hit in 2 reports"
            << QStringList{"PHOTOS||01/02/26|03:04:05||%R/DISK1||%1:7"};
        QTest::newRow("a pattern for the whole name") << "*.txt" << 1 << "2 hits in 2 reports"
            << QStringList{"NOTES.TXT|7,000|11/01/25|08:30:00||%R/DISK1|1|%1:8",
                           "PHOTO-INDEX.TXT|999|06/07/24|09:10:11||%R/DISK2|1|%2:8"};
        QTest::newRow("beyond 32 bits") << "archive" << 0 << "1 hit in 2 reports"
            << QStringList{"BIG ARCHIVE.ZIP|5,000,000,000|06/07/24|09:10:12||%R/DISK2|1|%2:7"};
        QTest::newRow("nothing") << "zebra" << 0 << "No hits in 2 reports" << QStringList{};
    }

    void typedWordsShowTheirHits() {
        QFETCH(QString, typed);
        QFETCH(int, kinds);
        QFETCH(QString, status);
        QFETCH(QStringList, rows);
        m_window->AddPaths({Report("disk1.txt"), Report("disk2.txt")});
        m_window->findChild<QComboBox*>(QStringLiteral("kindsBox"))->setCurrentIndex(kinds);
        Type(typed);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), status, kWaitMs);
        for (QString& row : rows) {
            row.replace(QLatin1String("%R"), Root())
                .replace(QLatin1String("%1"), QString::fromStdString(Report("disk1.txt")))
                .replace(QLatin1String("%2"), QString::fromStdString(Report("disk2.txt")));
        }
        QCOMPARE(Rows(), rows);
    }

    void headerClicksSortTheHits() {
        m_window->AddPaths({Report("disk1.txt"), Report("disk2.txt")});
        Type(QStringLiteral("."));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("5 hits in 2 reports"), kWaitMs);
        const auto names = [this] {
            QStringList shown;
            for (const QString& row : Rows()) {
                shown << row.section(QLatin1Char('|'), 0, 1);
            }
            return shown;
        };
        QCOMPARE(names(), (QStringList{"NOTES.TXT|7,000", "BEACH.PNG|42", "HOLIDAY PHOTO.JPG|1,234,567",
                                       "BIG ARCHIVE.ZIP|5,000,000,000", "PHOTO-INDEX.TXT|999"}));
        QHeaderView* header = m_window->Table()->horizontalHeader();
        const int sizeX = header->sectionViewportPosition(CFindHitModel::Size) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(sizeX, header->height() / 2));
        QTRY_COMPARE_WITH_TIMEOUT(names(), (QStringList{"BEACH.PNG|42", "PHOTO-INDEX.TXT|999", "NOTES.TXT|7,000",
                                                         "HOLIDAY PHOTO.JPG|1,234,567", "BIG ARCHIVE.ZIP|5,000,000,000"}),
                                  kWaitMs);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(sizeX, header->height() / 2));
        QTRY_COMPARE_WITH_TIMEOUT(names(), (QStringList{"BIG ARCHIVE.ZIP|5,000,000,000", "HOLIDAY PHOTO.JPG|1,234,567",
                                                         "NOTES.TXT|7,000", "PHOTO-INDEX.TXT|999", "BEACH.PNG|42"}),
                                  kWaitMs);
        QCOMPARE(m_window->StatusText(), QStringLiteral("5 hits in 2 reports"));
    }

    // Three media as archive reports, with manifests for two: the Copies
    // column counts a file's media (by digest, else by name, size, date and
    // time), sorts, and "On one medium only" keeps the files no other holds.
    void copiesColumnAndOneMediumFilter() {
        CTempTree& tree = m_engine->m_tree;
        const std::string a(64, 'a'), c(64, 'c');
        tree.Folder("media", LocalTime(2026, 1, 1, 0, 0, 0));
        tree.WriteText("media/cd01.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD01-01\r\n"
                                         "song.mp3\t300\t01/02/20\t10:00:00\tCD01-01\r\n"
                                         "two.bin\t200\t01/02/20\t10:00:00\tCD01-01\r\n"
                                         "twice.txt\t10\t01/02/20\t10:00:00\tCD01-02\r\n");
        tree.WriteText("media/cd01.sha256", a + "  all.bin\n" + c + "  song.mp3\n");
        tree.WriteText("media/cd02.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD02-01\r\n"
                                         "only.bin\t400\t01/02/20\t10:00:00\tCD02-01\r\n"
                                         "two.bin\t200\t01/02/20\t10:00:00\tCD02-01\r\n");
        tree.WriteText("media/cd03.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD03-01\r\n"
                                         "track01.mp3\t300\t03/04/20\t11:00:00\tCD03-01\r\n");
        tree.WriteText("media/cd03.sha256", a + "  all.bin\n" + c + "  track01.mp3\n");
        QSignalSpy added(m_catalogue.get(), &CCatalogueThread::SourcesChanged);
        m_window->AddPaths({tree.Path("media")});
        QTRY_VERIFY_WITH_TIMEOUT(!added.isEmpty(), kWaitMs);
        const auto copies = [this] {
            QStringList shown;
            for (const QString& row : Rows()) {
                shown << row.section(QLatin1Char('|'), 0, 0) + "|" + row.section(QLatin1Char('|'), 4, 4) + "|" +
                             row.section(QLatin1Char('|'), CFindHitModel::Copies, CFindHitModel::Copies);
            }
            return shown;
        };
        Type(QStringLiteral("."));
        // The first search after a change gives its hits first and their copy counts after.
        QSignalSpy later(m_catalogue.get(), &CCatalogueThread::CopiesFound);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("9 hits in 3 reports"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!later.isEmpty(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(copies(),
                                  (QStringList{"all.bin|CD01-01|3", "song.mp3|CD01-01|2", "two.bin|CD01-01|2",
                                               "twice.txt|CD01-02|1", "all.bin|CD02-01|3", "only.bin|CD02-01|1",
                                               "two.bin|CD02-01|2", "all.bin|CD03-01|3", "track01.mp3|CD03-01|2"}),
                                  kWaitMs);
        QHeaderView* header = m_window->Table()->horizontalHeader();
        const int copiesX = header->sectionViewportPosition(CFindHitModel::Copies) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(copiesX, header->height() / 2));
        QTRY_COMPARE_WITH_TIMEOUT(copies(), (QStringList{"twice.txt|CD01-02|1", "only.bin|CD02-01|1",
                                                          "song.mp3|CD01-01|2", "two.bin|CD01-01|2",
                                                          "two.bin|CD02-01|2", "track01.mp3|CD03-01|2",
                                                          "all.bin|CD01-01|3", "all.bin|CD02-01|3",
                                                          "all.bin|CD03-01|3"}),
                                  kWaitMs);
        m_window->findChild<QComboBox*>(QStringLiteral("kindsBox"))->setCurrentIndex(3);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("2 hits in 3 reports"), kWaitMs);
        QCOMPARE(copies(), (QStringList{"twice.txt|CD01-02|1", "only.bin|CD02-01|1"}));
    }

    void droppedFolderOfReportsIsSearched() {
        Type(QStringLiteral("beach"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("No hits in 0 reports"), kWaitMs);
        QVERIFY(DropOnWindow({m_engine->m_tree.Path("reports")}));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("1 hit in 2 reports"), kWaitMs);
        QCOMPARE(Rows(), QStringList{"BEACH.PNG|42|12/24/25|18:00:00||" + Root() + "/DISK1/PHOTOS|1|" +
                                     QString::fromStdString(Report("disk1.txt")) + ":12"});

        m_window->ShowSources();
        CCatalogueSourcesDlg* sources = m_window->SourcesDialog();
        const QString reports = QString::fromStdString(m_engine->m_tree.Path("reports"));
        QTRY_COMPARE_WITH_TIMEOUT(sources->Rows(),
                                  (QStringList{"ok\tfolder\t2\t" + reports, "ok\treport\t5\t" + reports + "/disk1.txt",
                                               "ok\treport\t3\t" + reports + "/disk2.txt"}),
                                  kWaitMs);
    }

    // A report whose folder has gone (a stick pulled out) keeps its hits, marked missing.
    void reportOnAGoneFolderIsMissing() {
        CTempTree stick;
        stick.Folder("mount", LocalTime(2026, 1, 1, 0, 0, 0));
        stick.Finish();
        const std::string moved = stick.Path("mount/disk2.txt");
        QVERIFY(std::rename(Report("disk2.txt").c_str(), moved.c_str()) == 0);
        m_window->AddPaths({moved});
        m_window->ShowSources();
        CCatalogueSourcesDlg* sources = m_window->SourcesDialog();
        QTRY_COMPARE_WITH_TIMEOUT(sources->Rows(), QStringList{"ok\treport\t3\t" + QString::fromStdString(moved)},
                                  kWaitMs);
        QVERIFY(std::remove(moved.c_str()) == 0);
        QVERIFY(std::remove(stick.Path("mount").c_str()) == 0);
        QTest::mouseClick(sources->findChild<QPushButton*>(QStringLiteral("refreshButton")), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sources->Rows(),
                                  QStringList{"missing\treport\t3\t" + QString::fromStdString(moved)}, kWaitMs);
        Type(QStringLiteral("zip"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("1 hit in 1 report"), kWaitMs);
    }

    // The first query reads a large report first; meanwhile the window takes
    // events and keys, and the newer text's hits are the ones shown.
    void windowAnswersWhileAQueryRuns() {
        WriteLargeListing(m_engine->m_tree, "reports/big.txt", 200000);
        m_catalogue->Register(Report("big.txt"), std::string());
        Type(QStringLiteral("file"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("Searching..."), kWaitMs);
        bool timerRan = false;
        QTimer::singleShot(0, this, [&timerRan] { timerRan = true; });
        QTRY_VERIFY_WITH_TIMEOUT(timerRan, 1000);
        QCOMPARE(m_window->StatusText(), QStringLiteral("Searching..."));
        QCOMPARE(m_window->Model().rowCount(), 0);
        QTest::keyClicks(m_window->SearchField(), QStringLiteral("19999"));
        QCOMPARE(m_window->SearchField()->text(), QStringLiteral("file19999"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("11 hits in 1 report"), 60000);
        QCOMPARE(m_window->Model().rowCount(), 11);

        // Rows are fetched as the table scrolls, never every hit at once.
        Type(QStringLiteral("file"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("200,000 hits in 1 report"), 60000);
        QCOMPARE(m_window->Model().rowCount(), int(CFindHitModel::kFirstFetch));
        m_window->Table()->scrollToBottom();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->Model().rowCount(), int(2 * CFindHitModel::kFirstFetch), 120000);
    }

    // The main window's Find opens one window, and its exports join the
    // catalogue unless [Catalogue] AddReports is 0.
    void mainWindowFindAndItsReports_data() {
        QTest::addColumn<int>("addReports");
        QTest::addColumn<QString>("status");
        QTest::newRow("added") << 1 << "1 hit in 1 report";
        QTest::newRow("not added") << 0 << "No hits in 0 reports";
    }

    void mainWindowFindAndItsReports() {
        QFETCH(int, addReports);
        QFETCH(QString, status);
        CWindowFixture f;
        f.m_store.WriteInt("Catalogue", "AddReports", addReports);
        f.m_tree.Folder("Media", LocalTime(2026, 2, 3, 10, 0, 0));
        f.m_tree.File("Media/b.dat", 0, LocalTime(2025, 12, 24, 18, 0, 0));
        f.m_tree.Finish();
        f.SetOption(Option::ExportData, 0);
        QVERIFY(f.Drop({"Media"}));
        QTRY_VERIFY_WITH_TIMEOUT(f.Button("exportButton")->isEnabled(), kWaitMs);
        CModalAnswerer answers;
        answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("out.txt"))); });
        QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
        QVERIFY(answers.Done());

        QTest::mouseClick(f.Button("findButton"), Qt::LeftButton);
        auto* find = f.m_window->findChild<CFindWindow*>();
        QVERIFY(find != nullptr);
        QVERIFY(find->isVisible());
        find->close();
        QTest::mouseClick(f.Button("findButton"), Qt::LeftButton);
        QCOMPARE(f.m_window->findChildren<CFindWindow*>().size(), 1);
        QVERIFY(find->isVisible());
        QTest::keyClicks(find->SearchField(), QStringLiteral("b.dat"));
        QTRY_COMPARE_WITH_TIMEOUT(find->StatusText(), status, kWaitMs);
    }

    // Copy line gives the hit exactly as stowlist-cli find prints it.
    void copyLineIsTheCommandLinesLine() {
        m_window->AddPaths({Report("disk1.txt")});
        Type(QStringLiteral("holiday"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->StatusText(), QStringLiteral("1 hit in 1 report"), kWaitMs);
        QApplication::clipboard()->clear();
        CModalAnswerer answers;
        answers.Then([](QWidget* widget) {
            auto* menu = qobject_cast<QMenu*>(widget);
            QVERIFY(menu != nullptr);
            QStringList texts;
            for (QAction* action : menu->actions()) {
                texts << action->text();
            }
            QCOMPARE(texts, (QStringList{"&Open report", "&Copy line", "Copy report &path", "&Show report folder"}));
            menu->actions().at(1)->trigger();
            menu->close();
        });
        QTableView* table = m_window->Table();
        emit table->customContextMenuRequested(table->visualRect(m_window->Model().index(0, 0)).center());
        QVERIFY(answers.Done());
        QCOMPARE(QApplication::clipboard()->text(),
                 "\t" + Root() + "/DISK1/PHOTOS\tHOLIDAY PHOTO.JPG\t1234567\t03/05/26\t14:07:09\t" +
                     QString::fromStdString(Report("disk1.txt")) + ":13");
    }

    void f1OpensTheFindPage() {
        QTest::keyClick(m_window->SearchField(), Qt::Key_F1);
        QTRY_VERIFY(m_help->WindowOf(m_window.get()) != nullptr);
        QCOMPARE(m_help->WindowOf(m_window.get())->Source().path(), QStringLiteral("/doc/find.htm"));
    }

    void sizeAndColumnsAreKeptOnClose() {
        m_window->resize(700, 300);
        m_window->Table()->setColumnWidth(CFindHitModel::Name, 333);
        m_window->close();
        QCOMPARE(QString::fromStdString(m_store->GetString("Catalogue", "FindColumns", "")),
                 QStringLiteral("333,110,80,75,75,220,60"));
        CFindWindow again(*m_catalogue, *m_store, *m_help);
        QCOMPARE(again.size(), QSize(700, 300));
        QCOMPARE(again.Table()->columnWidth(CFindHitModel::Name), 333);
    }
};

int main(int argc, char* argv[]) {
    // Sizes are grouped in the user's locale: an English one here.
    qputenv("LC_ALL", "en_US.UTF-8");
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true); // as QTEST_MAIN does
    QTEST_SET_MAIN_SOURCE_PATH
    FindWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FindWindowTest.moc"
