// Compare... in the list of the catalogue's sources: two listings that the
// real engine wrote of one folder before and after a change, selected in
// the list (the newer first in it), compared older first on the run's
// thread, and the account in the result window.
#include "CatalogueSourcesDlg.h"
#include "CatalogueThread.h"
#include "EngineFixture.h"
#include "HelpViewer.h"
#include "SettingsStore.h"
#include "VerifyProgressDlg.h"
#include "VerifyResultDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int kWaitMs = 20000;

// In the test time zone, which init() sets.
std::int64_t When() { return LocalTime(2026, 3, 5, 14, 7, 9); }

} // namespace

class CompareReportsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEngineFixture> m_engine;
    std::unique_ptr<CTempTree> m_data;
    std::unique_ptr<CSettingsStore> m_store;
    std::unique_ptr<CHelpViewer> m_help;
    std::unique_ptr<CCatalogueThread> m_catalogue;
    std::unique_ptr<CCatalogueSourcesDlg> m_sources;

    static QStringList Rows(CVerifyResultDlg& result) {
        QStringList rows;
        const CVerifyLineModel& model = result.Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList columns;
            for (int column = 0; column < model.columnCount(); ++column) {
                columns << model.data(model.index(row, column)).toString();
            }
            rows << columns.join(QLatin1Char('\t'));
        }
        return rows;
    }

private slots:
    void init() {
        UseTestTimeZone();
        m_engine = std::make_unique<CEngineFixture>();
        m_data = std::make_unique<CTempTree>();
        m_store = std::make_unique<CSettingsStore>(m_data->Path("stowlist.INI"));
        m_help = std::make_unique<CHelpViewer>(QStringLiteral(STOWLIST_TEST_HELP_FILE));
        m_catalogue = std::make_unique<CCatalogueThread>(m_data->Path("share/catalogue.sqlite"));
        m_sources = std::make_unique<CCatalogueSourcesDlg>(*m_catalogue, *m_store, *m_help);
        m_sources->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_sources.get()));
    }

    void cleanup() {
        m_sources.reset();
        m_catalogue.reset();
        m_help.reset();
        m_store.reset();
        m_data.reset();
        m_engine.reset();
    }

    void twoSelectedReportsComparedOlderFirst() {
        CTempTree& tree = m_engine->m_tree;
        tree.Folder("Media", When());
        tree.Folder("Media/Sub", When());
        tree.File("Media/a.txt", 3, When());
        tree.File("Media/c.txt", 7, When());
        tree.File("Media/Sub/b.txt", 10, When());
        tree.Folder("reports", When());
        tree.Finish();
        m_engine->Drop({"Media"});
        m_engine->Export("reports/z-before.txt");
        const timespec older[2] = {{When(), 0}, {When(), 0}};
        QCOMPARE(utimensat(AT_FDCWD, tree.Path("reports/z-before.txt").c_str(), older, 0), 0);
        tree.File("Media/a.txt", 5, When());
        QCOMPARE(std::remove(tree.Path("Media/c.txt").c_str()), 0);
        tree.File("Media/d.txt", 1, When());
        m_engine->Drop({"Media"});
        m_engine->Export("reports/a-after.txt");

        m_catalogue->Add({tree.Path("reports")});
        QTRY_COMPARE_WITH_TIMEOUT(m_sources->Rows().size(), 3, kWaitMs);
        QTreeWidget* list = m_sources->List();
        auto* compare = m_sources->findChild<QPushButton*>(QStringLiteral("compareButton"));
        QVERIFY(compare != nullptr);
        // Exactly two reports: not one, not a folder with them.
        list->topLevelItem(1)->setSelected(true);
        QVERIFY(!compare->isEnabled());
        list->topLevelItem(2)->setSelected(true);
        QVERIFY(compare->isEnabled());
        list->topLevelItem(0)->setSelected(true);
        QVERIFY(!compare->isEnabled());
        list->topLevelItem(0)->setSelected(false);

        QTest::mouseClick(compare, Qt::LeftButton);
        CVerifyResultDlg* result = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((result = m_sources->findChild<CVerifyResultDlg*>()) != nullptr, kWaitMs);
        QVERIFY(m_sources->findChild<CVerifyProgressDlg*>() == nullptr);
        QVERIFY(compare->isEnabled());
        QCOMPARE(Rows(*result), (QStringList{"ok\tMEDIA\t", "ok\tMEDIA/SUB\t", "changed\tMEDIA/A.TXT\tsize 3 -> 5",
                                             "missing\tMEDIA/C.TXT\t", "new\tMEDIA/D.TXT\t",
                                             "ok\tMEDIA/SUB/B.TXT\t"}));
        QCOMPARE(result->SummaryText(),
                 QStringLiteral("Compared 5 entries: 3 ok, 1 changed, 1 missing, 1 new, 0 moved, 0 corrupt"));
        QCOMPARE(result->KindBox()->count(), 7); // no file is read: none unreadable
    }
};

QTEST_MAIN(CompareReportsTest)
#include "CompareReportsTest.moc"
