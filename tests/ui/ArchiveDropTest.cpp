// Archive-report drops through the archive Settings dialog, and the log that
// View Log shows.
#include "ModalAnswerer.h"
#include "MyFileDialog.h"
#include "SettingsDlg.h"
#include "ViewLogDlg.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kCanExport = QStringLiteral("Data can now be exported");

struct SettingsControls {
    QComboBox* type;
    QLineEdit* media;
    QLineEdit* archive;
    QCheckBox* multiple;
    QPushButton* ok;
    QPushButton* cancel;
    QPushButton* update;
};

SettingsControls ControlsOf(QWidget* widget) {
    return {widget->findChild<QComboBox*>(QStringLiteral("mediaTypeCombo")),
            widget->findChild<QLineEdit*>(QStringLiteral("mediaNumberEdit")),
            widget->findChild<QLineEdit*>(QStringLiteral("archiveNumberEdit")),
            widget->findChild<QCheckBox*>(QStringLiteral("multipleArchiveCheck")),
            widget->findChild<QPushButton*>(QStringLiteral("okButton")),
            widget->findChild<QPushButton*>(QStringLiteral("cancelButton")),
            widget->findChild<QPushButton*>(QStringLiteral("updateButton"))};
}

// Two folders to archive, one file each.
void BuildFolders(CWindowFixture& f) {
    f.m_tree.Folder("A", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.File("A/one.txt", 3, LocalTime(2026, 1, 2, 9, 15, 0));
    f.m_tree.Folder("B", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.File("B/two.txt", 5, LocalTime(2026, 2, 3, 16, 45, 30));
    f.m_tree.Finish();
    f.SetOption(Option::ProcessType, 0);
    f.SetOption(Option::ExportData, 0);
}

void StoreTags(CWindowFixture& f, const char* type) {
    f.m_store.WriteInt("Archive Options", "MediaNumber", 4);
    f.m_store.WriteInt("Archive Options", "ArchiveNumber", 7);
    f.m_store.WriteInt("Archive Options", "MultipleArchive", 1);
    f.SetArchive("MediaType", type);
}

} // namespace

class ArchiveDropTest : public QObject {
    Q_OBJECT
private slots:
    void okStoresTagsAndLogsEachFolder();
    void cancelAbandonsTheDrop();
    void updateCountsFromTheLoadedNumbers();
    void emptyFieldIsRefused();
    void okWaitsForAMediaType();
    void viewLogWithoutLogSaysSo();
};

void ArchiveDropTest::okStoresTagsAndLogsEachFolder() {
    CWindowFixture f;
    BuildFolders(f);
    StoreTags(f, "zip");
    CModalAnswerer answers;
    answers.Then([](QWidget* widget) {
        QVERIFY(qobject_cast<CSettingsDlg*>(widget) != nullptr);
        const SettingsControls c = ControlsOf(widget);
        [&] {
            QCOMPARE(widget->windowTitle(), QStringLiteral("Stowlist Utility Settings"));
            QCOMPARE(c.type->count(), 5);
            QStringList types;
            for (int i = 0; i < c.type->count(); ++i) {
                types << c.type->itemText(i);
            }
            QCOMPARE(types, (QStringList{"CD", "DAT", "DLT", "JAZ", "ZIP"}));
            QCOMPARE(c.type->currentText(), QStringLiteral("ZIP"));
            QCOMPARE(c.media->text(), QStringLiteral("4"));
            QCOMPARE(c.archive->text(), QStringLiteral("7"));
            QVERIFY(c.multiple->isChecked());
            QCOMPARE(QApplication::focusWidget(), c.ok);
            // Tab order: OK, Media No, Archive No, Cancel, Multiple Archives, Update, Media Type.
            QList<QWidget*> chain;
            QWidget* w = c.ok;
            for (int i = 0; i < 7; ++i) {
                chain << w;
                w = w->nextInFocusChain();
                while (!(w->focusPolicy() & Qt::TabFocus) || qobject_cast<QDialog*>(w) != nullptr) {
                    w = w->nextInFocusChain();
                }
            }
            QCOMPARE(chain, (QList<QWidget*>{c.ok, c.media, c.archive, c.cancel, c.multiple, c.update, c.type}));
        }();
        QTest::mouseClick(c.ok, Qt::LeftButton);
    });
    QVERIFY(f.Drop({"A", "B"}));
    QTRY_COMPARE(f.StatusText(), kCanExport);
    QVERIFY(answers.Done());
    QVERIFY(f.Button("exportButton")->isEnabled());
    QCOMPARE(f.GetArchive("MediaNumber"), 4);
    QCOMPARE(f.GetArchive("ArchiveNumber"), 9); // one archive per dropped folder
    QCOMPARE(f.GetArchive("MultipleArchive"), 1);
    QCOMPARE(f.m_store.GetString("Archive Options", "MediaType", ""), std::string("ZIP"));

    QString log;
    answers.Then([&log](QWidget* widget) {
        auto* dialog = qobject_cast<CViewLogDlg*>(widget);
        QVERIFY(dialog != nullptr);
        QCOMPARE(widget->windowTitle(), QStringLiteral("Stowlist Utility View Log"));
        auto* box = widget->findChild<QPlainTextEdit*>(QStringLiteral("logEdit"));
        QVERIFY(box->isReadOnly());
        log = box->toPlainText();
        QTest::keyClick(box, Qt::Key_Return); // the box keeps Enter
        QTest::keyClicks(box, QStringLiteral("typed"));
        QCOMPARE(box->toPlainText(), log);
        // Selecting with the keyboard: the first line, then everything.
        QTest::keyClick(box, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), log.section(u'\n', 0, 0));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), log);
        QVERIFY(widget->isVisible());
        QTest::mouseClick(widget->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    QTest::mouseClick(f.Button("viewLogButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    const QString a = QString::fromStdString(f.m_tree.Path("A"));
    const QString b = QString::fromStdString(f.m_tree.Path("B"));
    QCOMPARE(log, QStringLiteral("ZIP04-07\t") + a + QStringLiteral("\nZIP04-08\t") + b);
    QCOMPARE(f.m_window->Engine().Log().Text(), "ZIP04-07\t" + a.toStdString() + "\r\nZIP04-08\t" + b.toStdString());

    // The report: each file with the archive of its folder.
    answers.Then([&f](QWidget* widget) {
        auto* dialog = qobject_cast<CMyFileDialog*>(widget);
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(
            QString::fromStdString(f.m_tree.Path("archive.txt")));
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save), Qt::LeftButton);
    });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(f.m_tree.ReadText("archive.txt"), std::string("one.txt\t3\t01/02/26\t09:15:00\tZIP04-07\r\n"
                                                           "two.txt\t5\t02/03/26\t16:45:30\tZIP04-08\r\n"));
    QCOMPARE(answers.Unexpected(), 0);
}

void ArchiveDropTest::cancelAbandonsTheDrop() {
    CWindowFixture f;
    BuildFolders(f);
    StoreTags(f, "DAT");
    const std::string before = f.SettingsText();
    CModalAnswerer answers;
    answers.Then([](QWidget* widget) {
        const SettingsControls c = ControlsOf(widget);
        c.multiple->click();
        QTest::mouseClick(c.cancel, Qt::LeftButton);
    });
    QVERIFY(f.Drop({"A"}));
    QTRY_VERIFY(answers.Done());
    QTest::qWait(50);
    QCOMPARE(f.StatusText(), QStringLiteral("Idle"));
    QVERIFY(!f.Button("exportButton")->isEnabled());
    QCOMPARE(f.SettingsText(), before);
    QCOMPARE(f.m_window->Engine().Session().m_bSaved, 1);

    answers.Then(CModalAnswerer::AnswerBox(QStringLiteral("No log information to view!"),
                                           QStringLiteral("View Log Error!"), QMessageBox::Information,
                                           QMessageBox::Ok));
    QTest::mouseClick(f.Button("viewLogButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(answers.Unexpected(), 0);
}

void ArchiveDropTest::updateCountsFromTheLoadedNumbers() {
    CWindowFixture f;
    BuildFolders(f);
    StoreTags(f, "CD");
    f.m_store.WriteInt("Archive Options", "MultipleArchive", 0);
    const std::string before = f.SettingsText();
    CModalAnswerer answers;
    answers.Then([](QWidget* widget) {
        const SettingsControls c = ControlsOf(widget);
        c.media->selectAll();
        QTest::keyClicks(c.media, QStringLiteral("9"));
        c.multiple->click();
        QCOMPARE(c.media->text(), QStringLiteral("9"));
        QTest::mouseClick(c.update, Qt::LeftButton);
        [&] {
            QCOMPARE(c.media->text(), QStringLiteral("5")); // the loaded 4 plus 1, not the typed 9
            QCOMPARE(c.archive->text(), QStringLiteral("1"));
            QVERIFY(!c.multiple->isChecked()); // the tags' value again
        }();
        QTest::mouseClick(c.update, Qt::LeftButton);
        [&] {
            QCOMPARE(c.media->text(), QStringLiteral("6"));
            QCOMPARE(c.archive->text(), QStringLiteral("1"));
            QCOMPARE(c.type->currentText(), QStringLiteral("CD"));
        }();
        QTest::mouseClick(c.cancel, Qt::LeftButton);
    });
    QVERIFY(f.Drop({"A"}));
    QTRY_VERIFY(answers.Done());
    QTest::qWait(50);
    QCOMPARE(f.SettingsText(), before); // Update stores nothing, Cancel neither

    // The next opening shows the stored numbers again.
    answers.Then([](QWidget* widget) {
        const SettingsControls c = ControlsOf(widget);
        [&] {
            QCOMPARE(c.media->text(), QStringLiteral("4"));
            QCOMPARE(c.archive->text(), QStringLiteral("7"));
        }();
        QTest::mouseClick(c.update, Qt::LeftButton);
        QTest::mouseClick(c.ok, Qt::LeftButton);
    });
    QVERIFY(f.Drop({"A"}));
    QTRY_COMPARE(f.StatusText(), kCanExport);
    QCOMPARE(f.GetArchive("MediaNumber"), 5);
    QCOMPARE(f.GetArchive("ArchiveNumber"), 1); // not advanced without multiple archives
}

void ArchiveDropTest::emptyFieldIsRefused() {
    CWindowFixture f;
    BuildFolders(f);
    StoreTags(f, "DLT");
    const std::string before = f.SettingsText();
    QPointer<QWidget> settings;
    std::string whileRefused;
    CModalAnswerer answers;
    answers
        .Then([&settings](QWidget* widget) {
            settings = widget;
            const SettingsControls c = ControlsOf(widget);
            c.archive->clear();
            QTest::mouseClick(c.ok, Qt::LeftButton);
        })
        .Then(CModalAnswerer::AnswerBox(QStringLiteral("Please enter an integer."), QStringLiteral("Stowlist"),
                                        QMessageBox::Warning, QMessageBox::Ok))
        .Then([&](QWidget* widget) {
            QCOMPARE(widget, settings.data()); // still open
            const SettingsControls c = ControlsOf(widget);
            whileRefused = f.SettingsText();
            QCOMPARE(widget->focusWidget(), c.archive); // the refused field has the focus
            QTest::keyClicks(c.archive, QStringLiteral("12"));
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
    QVERIFY(f.Drop({"B"}));
    QTRY_COMPARE(f.StatusText(), kCanExport);
    QVERIFY(answers.Done());
    QCOMPARE(whileRefused, before); // a refused OK writes nothing
    QCOMPARE(f.GetArchive("ArchiveNumber"), 13);
    QCOMPARE(f.m_store.GetString("Archive Options", "MediaType", ""), std::string("DLT"));
}

void ArchiveDropTest::okWaitsForAMediaType() {
    CWindowFixture f;
    BuildFolders(f);
    StoreTags(f, "Floppy");
    CModalAnswerer answers;
    answers.Then([](QWidget* widget) {
        const SettingsControls c = ControlsOf(widget);
        [&] {
            QCOMPARE(c.type->currentIndex(), -1);
            QVERIFY(!c.ok->isEnabled());
        }();
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::qWait(20);
        QVERIFY(widget->isVisible());
        c.type->setFocus();
        QTest::keyClick(c.type, Qt::Key_Down); // the first entry
        QTest::keyClick(c.type, Qt::Key_Down);
        QCOMPARE(c.type->currentText(), QStringLiteral("DAT"));
        QVERIFY(c.ok->isEnabled());
        QTest::mouseClick(c.ok, Qt::LeftButton);
    });
    QVERIFY(f.Drop({"A"}));
    QTRY_COMPARE(f.StatusText(), kCanExport);
    QCOMPARE(f.m_store.GetString("Archive Options", "MediaType", ""), std::string("DAT"));
}

void ArchiveDropTest::viewLogWithoutLogSaysSo() {
    CWindowFixture f;
    CModalAnswerer answers;
    answers.Then(CModalAnswerer::AnswerBox(QStringLiteral("No log information to view!"),
                                           QStringLiteral("View Log Error!"), QMessageBox::Information,
                                           QMessageBox::Ok));
    QTest::mouseClick(f.Button("viewLogButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(answers.Unexpected(), 0);
}

QTEST_MAIN(ArchiveDropTest)
#include "ArchiveDropTest.moc"
