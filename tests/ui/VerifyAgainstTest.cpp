// Verify against... in the list of the catalogue's sources: a listing that
// the real engine wrote, the tree changed after it, the check run from the
// list and its account in the result window (rows, kind filter, copy, save),
// Cancel while a manifest's file is hashed, and a report that is gone.
#include "CatalogueSourcesDlg.h"
#include "CatalogueThread.h"
#include "EngineFixture.h"
#include "HelpViewer.h"
#include "ModalAnswerer.h"
#include "SettingsStore.h"
#include "VerifyProgressDlg.h"
#include "VerifyResultDlg.h"
#include "VerifyRun.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kWaitMs = 20000;

// In the test time zone, which init() sets.
std::int64_t When() { return LocalTime(2026, 3, 5, 14, 7, 9); }

} // namespace

class VerifyAgainstTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEngineFixture> m_engine;
    std::unique_ptr<CTempTree> m_data;
    std::unique_ptr<CSettingsStore> m_store;
    std::unique_ptr<CHelpViewer> m_help;
    std::unique_ptr<CCatalogueThread> m_catalogue;
    std::unique_ptr<CCatalogueSourcesDlg> m_sources;

    std::string Report() const { return m_engine->m_tree.Path("reports/media.txt"); }
    QString MediaFolder() const { return QString::fromStdString(m_engine->m_tree.Path("Media")); }
    QPushButton* VerifyButton() const { return m_sources->findChild<QPushButton*>(QStringLiteral("verifyButton")); }

    // Media/ as the engine's listing saw it, in reports/media.txt.
    void WriteReport() {
        CTempTree& tree = m_engine->m_tree;
        tree.Folder("Media", When());
        tree.Folder("Media/Sub", When());
        tree.File("Media/a.txt", 3, When());
        tree.File("Media/c.txt", 7, When());
        tree.File("Media/Sub/b.txt", 10, When());
        tree.Folder("reports", When());
        tree.Finish();
        m_engine->Drop({"Media"});
        m_engine->Export("reports/media.txt");
    }

    // The reports folder and its report in the list; the report selected.
    void ListAndSelectReport() {
        m_catalogue->Add({m_engine->m_tree.Path("reports")});
        const QString report = QString::fromStdString(Report());
        QTRY_COMPARE_WITH_TIMEOUT(m_sources->Rows().size(), 2, kWaitMs);
        QTreeWidget* list = m_sources->List();
        QTreeWidgetItem* folderItem = list->topLevelItem(0);
        QTreeWidgetItem* reportItem = list->topLevelItem(1);
        QCOMPARE(reportItem->text(3), report);
        // Exactly one report: not a folder, not two sources.
        folderItem->setSelected(true);
        QVERIFY(!VerifyButton()->isEnabled());
        reportItem->setSelected(true);
        QVERIFY(!VerifyButton()->isEnabled());
        folderItem->setSelected(false);
        QVERIFY(VerifyButton()->isEnabled());
    }

    CVerifyResultDlg* WaitForResult() {
        CVerifyResultDlg* result = nullptr;
        [&] { QTRY_VERIFY_WITH_TIMEOUT((result = m_sources->findChild<CVerifyResultDlg*>()) != nullptr, kWaitMs); }();
        return result;
    }

    // Every shown row, its columns joined by tabs.
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
        CVerifyRun::SetStepBeforeCheck(nullptr);
        m_sources.reset();
        m_catalogue.reset();
        m_help.reset();
        m_store.reset();
        m_data.reset();
        m_engine.reset();
    }

    // One file grown, one gone, one new: the account, the filter, copy and save.
    void accountOfAChangedFolder() {
        WriteReport();
        m_engine->m_tree.File("Media/a.txt", 5, When());
        QVERIFY(std::remove(m_engine->m_tree.Path("Media/c.txt").c_str()) == 0);
        m_engine->m_tree.File("Media/d.txt", 1, When());
        ListAndSelectReport();
        if (QTest::currentTestFailed()) {
            return;
        }

        CModalAnswerer answers;
        answers.Then([this](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY2(dialog != nullptr, widget->metaObject()->className());
            QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name != nullptr);
            name->setText(MediaFolder());
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as the Choose button does
        });
        QTest::mouseClick(VerifyButton(), Qt::LeftButton);
        QVERIFY(answers.Done());
        CVerifyResultDlg* result = WaitForResult();
        QVERIFY(result != nullptr);
        QCOMPARE(answers.Unexpected(), 0);
        QVERIFY(m_sources->findChild<CVerifyProgressDlg*>() == nullptr);

        // In report order, a new entry after its folder's; a missing one
        // named as the report (upper case) has it.
        const QStringList all{"ok\tMedia\t",
                              "ok\tMedia/Sub\t",
                              "changed\tMedia/a.txt\tsize 3 -> 5",
                              "missing\tMEDIA/C.TXT\t",
                              "new\tMedia/d.txt\t",
                              "ok\tMedia/Sub/b.txt\t"};
        const QString summary =
            QStringLiteral("Checked 6 entries: 3 ok, 1 changed, 1 missing, 1 new, 0 moved, 0 corrupt, 0 unreadable");
        QCOMPARE(Rows(*result), all);
        QCOMPARE(result->SummaryText(), summary);
        QCOMPARE(result->HintsText(), QString());

        // Copy without a selection takes every shown row, as the command prints them.
        QApplication::clipboard()->clear();
        result->CopyLines();
        QCOMPARE(QApplication::clipboard()->text(), all.join(QLatin1Char('\n')));

        // One kind at a time; all of them again.
        QComboBox* kinds = result->KindBox();
        QCOMPARE(kinds->count(), 8);
        kinds->setCurrentIndex(1 + static_cast<int>(VerifyKind::Ok));
        QCOMPARE(Rows(*result), (QStringList{all[0], all[1], all[5]}));
        kinds->setCurrentIndex(1 + static_cast<int>(VerifyKind::Moved));
        QCOMPARE(Rows(*result), QStringList());
        kinds->setCurrentIndex(1 + static_cast<int>(VerifyKind::Changed));
        QCOMPARE(Rows(*result), QStringList{all[2]});

        // Save writes the shown rows and the summary.
        QVERIFY(result->SaveTo(QString::fromStdString(m_data->Path("changed.txt"))));
        QCOMPARE(m_data->ReadText("changed.txt"), (all[2] + "\n" + summary + "\n").toStdString());

        // Ctrl+C in the table takes the selected rows only, in table order.
        kinds->setCurrentIndex(0);
        QCOMPARE(Rows(*result), all);
        QItemSelectionModel* selection = result->Table()->selectionModel();
        const auto select = [&](int row) {
            selection->select(result->Model().index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        select(5);
        select(2);
        result->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(result));
        result->Table()->setFocus();
        QTest::keyClick(result->Table(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), all[2] + "\n" + all[5]);

        // A file that cannot be written: a message, and nothing there.
        const QString nowhere = QString::fromStdString(m_data->Path("gone/account.txt"));
        answers.Then([&](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            QVERIFY2(box != nullptr, widget->metaObject()->className());
            QCOMPARE(box->text(), "The check could not be saved to " + nowhere + ": No such file or directory");
            QCOMPARE(box->icon(), QMessageBox::Warning);
            ClickBoxButton(box, QMessageBox::Ok);
        });
        QVERIFY(!result->SaveTo(nowhere));
        QVERIFY(answers.Done());
        QVERIFY(!CTempTree::Exists(m_data->Path("gone")));
    }

    // Cancel while a file that the manifest names is hashed: the progress
    // closes and no account is shown.
    void cancelShowsNoAccount() {
        CTempTree& tree = m_engine->m_tree;
        tree.Folder("Media", When());
        tree.File("Media/big.bin", std::uint64_t(64) << 30, When()); // sparse: minutes to hash
        tree.Folder("reports", When());
        tree.Finish();
        m_engine->Drop({"Media"});
        m_engine->Export("reports/media.txt");
        // Beside the report, found by its name: the catalogue remembers none.
        tree.WriteText("reports/media.sha256", std::string(64, '0') + "  Media/big.bin\n");
        ListAndSelectReport();
        if (QTest::currentTestFailed()) {
            return;
        }

        CModalAnswerer answers; // no message may open
        m_sources->VerifyAgainst(MediaFolder());
        QVERIFY(!VerifyButton()->isEnabled());
        CVerifyProgressDlg* progress = m_sources->findChild<CVerifyProgressDlg*>();
        QVERIFY(progress != nullptr);
        QVERIFY(progress->isVisible());
        const QPointer<QPushButton> cancel = progress->findChild<QPushButton*>(QStringLiteral("cancelVerifyButton"));
        const QPointer<QProgressBar> bar = progress->findChild<QProgressBar*>(QStringLiteral("verifyProgressBar"));
        QVERIFY(cancel != nullptr && bar != nullptr);
        // Hashing has begun, and the check goes on.
        QTRY_VERIFY_WITH_TIMEOUT(bar == nullptr || bar->value() > 0, kWaitMs);
        QVERIFY2(bar != nullptr, "the check ended by itself");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_sources->findChild<CVerifyProgressDlg*>() == nullptr, kWaitMs);
        QVERIFY(m_sources->findChild<CVerifyResultDlg*>() == nullptr);
        QCOMPARE(answers.Unexpected(), 0);
        QVERIFY(VerifyButton()->isEnabled());
    }

    // A throw on the check's thread ends that check with a message; the list
    // stays usable and the next check runs to its account.
    void failureOnTheWorkerIsShownAndTheListGoesOn() {
        WriteReport();
        ListAndSelectReport();
        if (QTest::currentTestFailed()) {
            return;
        }
        CVerifyRun::SetStepBeforeCheck([] { throw std::runtime_error("injected failure"); });
        CModalAnswerer answers;
        QString shown;
        answers.Then([&shown](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            QVERIFY2(box != nullptr, widget->metaObject()->className());
            shown = box->text();
            ClickBoxButton(box, QMessageBox::Ok);
        });
        m_sources->VerifyAgainst(MediaFolder());
        QTRY_VERIFY_WITH_TIMEOUT(answers.Done() && m_sources->findChild<CVerifyProgressDlg*>() == nullptr, kWaitMs);
        CVerifyRun::SetStepBeforeCheck(nullptr);
        QCOMPARE(shown, QStringLiteral("The check could not be made: ") + QString::fromStdString(Report()) +
                            QStringLiteral(": injected failure"));
        QVERIFY(m_sources->findChild<CVerifyResultDlg*>() == nullptr);
        QVERIFY(VerifyButton()->isEnabled());

        m_sources->VerifyAgainst(MediaFolder());
        CVerifyResultDlg* result = WaitForResult();
        QVERIFY(result != nullptr);
        QCOMPARE(Rows(*result), (QStringList{"ok\tMedia\t", "ok\tMedia/Sub\t", "ok\tMedia/a.txt\t",
                                             "ok\tMedia/c.txt\t", "ok\tMedia/Sub/b.txt\t"}));
        QCOMPARE(answers.Unexpected(), 0);
    }

    // A report deleted after it was listed cannot be read: the reason in a message.
    void goneReportIsReported() {
        WriteReport();
        ListAndSelectReport();
        if (QTest::currentTestFailed()) {
            return;
        }
        QVERIFY(std::remove(Report().c_str()) == 0);
        CModalAnswerer answers;
        QString shown;
        answers.Then([&shown](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            QVERIFY2(box != nullptr, widget->metaObject()->className());
            shown = box->text();
            ClickBoxButton(box, QMessageBox::Ok);
        });
        m_sources->VerifyAgainst(MediaFolder());
        QTRY_VERIFY_WITH_TIMEOUT(answers.Done() && m_sources->findChild<CVerifyProgressDlg*>() == nullptr, kWaitMs);
        QVERIFY2(shown.startsWith(QStringLiteral("The check could not be made: ")) &&
                     shown.contains(QString::fromStdString(Report())),
                 qPrintable(shown));
        QVERIFY(m_sources->findChild<CVerifyResultDlg*>() == nullptr);
    }
};

int main(int argc, char* argv[]) {
    // The dates of the check read as the engine wrote them.
    qputenv("LC_ALL", "C.UTF-8");
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true); // as QTEST_MAIN does
    QTEST_SET_MAIN_SOURCE_PATH
    VerifyAgainstTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "VerifyAgainstTest.moc"
