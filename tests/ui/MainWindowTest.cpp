// The main window: its state, drops through the sort and the export, the
// question on closing and the refusals while a sort runs.
#include "HelpWindow.h"
#include "ModalAnswerer.h"
#include "MyFileDialog.h"
#include "StringTable.h"
#include "WindowFixture.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

namespace {

const QString kCanExport = QStringLiteral("Data can now be exported");

bool IsMonospaced(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QStringLiteral("iiiiiiii")) == metrics.horizontalAdvance(QStringLiteral("WWWWWWWW"));
}

// A small tree and the tab-delimited listing that a drop of "Media" gives.
void BuildMedia(CTempTree& tree) {
    tree.Folder("Media", LocalTime(2026, 2, 3, 10, 0, 0));
    tree.Folder("Media/Docs", LocalTime(2026, 1, 2, 3, 4, 5));
    tree.File("Media/Docs/report.txt", 1234567, LocalTime(2026, 3, 5, 14, 7, 9));
    tree.File("Media/b.dat", 0, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.File("Media/.hidden", 5, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.Finish();
}

std::string MediaListing(const CTempTree& tree) {
    const std::string root = UpperAscii(tree.Root());
    return root + "\r\n\r\n"
                  "MEDIA\t<FOLDER>\t02/03/26\t10:00:00\tMEDIA\r\n"
                  "\r\n" +
           root + "/MEDIA\r\n\r\n"
                  "DOCS\t<FOLDER>\t01/02/26\t03:04:05\tDOCS\r\n"
                  "B.DAT\t0\t12/24/25\t18:00:00\tB.DAT\r\n"
                  "\r\n" +
           root + "/MEDIA/DOCS\r\n\r\n"
                  "REPORT.TXT\t1234567\t03/05/26\t14:07:09\tREPORT.TXT\r\n"
                  "\r\nSummary: 3 Folder(s), 2 File(s)\t1234567 Bytes";
}

// Stands in for the desktop's viewer of text files.
class CViewerStandIn : public QObject {
    Q_OBJECT
public:
    QList<QUrl> m_opened;
public slots:
    void Open(const QUrl& url) { m_opened << url; }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void newWindowButtons_data();
    void newWindowButtons();
    void newWindowState();
    void contextMenuOpensAbout();
    void listingDropGoesThroughSort();
    void exportDataOpensSaveAs();
    void autoViewOpensTheReport();
    void saveAsRefusesMissingFolderAndCancelKeepsCatalogue();
    void exitAsksAboutUnsavedData();
    void exitWithNothingUnexportedClosesAtOnce();
    void otherDataIsIgnored_data();
    void otherDataIsIgnored();
    void dropTakesThePathsReadAsTheDragEntered();
    void helpOpensDefaultTopic();
};

void MainWindowTest::newWindowButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("row"); // top to bottom
    QTest::newRow("Exit") << "exitButton" << "E&xit" << true << 0;
    QTest::newRow("Help") << "helpButton" << "&Help" << true << 1;
    QTest::newRow("About") << "aboutButton" << "&About" << true << 2;
    QTest::newRow("View Log") << "viewLogButton" << "&View Log" << true << 3;
    QTest::newRow("Export") << "exportButton" << "&Export" << false << 4;
    QTest::newRow("Options") << "optionsButton" << "&Options" << true << 5;
    QTest::newRow("Find") << "findButton" << "&Find" << true << 6;
}

void MainWindowTest::newWindowButtons() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, row);
    CWindowFixture f;
    const char* order[] = {"exitButton",   "helpButton",    "aboutButton", "viewLogButton",
                           "exportButton", "optionsButton", "findButton"};
    QPushButton* button = f.Button(name.toLatin1().constData());
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->isEnabled(), enabled);
    QVERIFY(button->isVisible());
    if (row > 0) {
        QVERIFY(f.Button(order[row - 1])->geometry().bottom() < button->geometry().top());
    }
}

void MainWindowTest::newWindowState() {
    CWindowFixture f;
    QCOMPARE(f.m_window->windowTitle(), QStringLiteral("Stowlist Utility"));
    QCOMPARE(f.StatusText(), QStringLiteral("Idle"));
    // Measured rather than asked: fontconfig does not flag every monospaced
    // font as such (Noto Sans Mono, a common default, is not).
    QVERIFY(IsMonospaced(f.Status()->font()));
    QVERIFY(!IsMonospaced(f.Button("exitButton")->font()));
    QVERIFY(f.m_window->acceptDrops());
    QVERIFY(f.m_window->findChild<QLabel*>(QStringLiteral("hintLabel"))->text() ==
            QStringLiteral("Drag files and/or folders on to this dialogue for processing"));
    QVERIFY(f.Button("exitButton")->isDefault());
    QCOMPARE(QApplication::focusWidget(), f.Button("exitButton"));
    QCOMPARE(f.m_window->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(f.m_window->minimumSize(), f.m_window->maximumSize()); // not resizable

    // Tab order: Exit, Help, View Log, Export, Options, Find, About.
    f.Button("exportButton")->setEnabled(true);
    QStringList chain;
    QWidget* widget = f.Button("exitButton");
    do {
        if (qobject_cast<QPushButton*>(widget) != nullptr && (widget->focusPolicy() & Qt::TabFocus)) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != f.Button("exitButton"));
    QCOMPARE(chain, (QStringList{"exitButton", "helpButton", "viewLogButton", "exportButton", "optionsButton",
                                 "findButton", "aboutButton"}));
}

void MainWindowTest::contextMenuOpensAbout() {
    CWindowFixture f;
    QString aboutVersion;
    CModalAnswerer answers;
    answers
        .Then([](QWidget* widget) {
            auto* menu = qobject_cast<QMenu*>(widget);
            QVERIFY(menu != nullptr);
            QCOMPARE(menu->actions().size(), 1);
            QCOMPARE(menu->actions().first()->text(), QStringLiteral("&About Stowlist..."));
            QAction* about = menu->actions().first();
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(about).center());
        })
        .Then([&aboutVersion](QWidget* widget) {
            QCOMPARE(widget->windowTitle(), QStringLiteral("About Stowlist Utility"));
            aboutVersion = widget->findChild<QLabel*>(QStringLiteral("versionLabel"))->text();
            QTest::mouseClick(widget->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), f.m_window->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(f.m_window.get(), &event);
    QTRY_VERIFY(answers.Done());
    QCOMPARE(aboutVersion, QStringLiteral("Stowlist Version 1.03"));
}

void MainWindowTest::listingDropGoesThroughSort() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    CModalAnswerer answers;
    QVERIFY(f.Drop({"Media"}));

    // The sort: every control that reaches the catalogue is disabled, Help is not.
    QTRY_VERIFY(!f.Button("exitButton")->isEnabled());
    for (const char* name :
         {"exitButton", "exportButton", "optionsButton", "viewLogButton", "aboutButton", "findButton"}) {
        QVERIFY2(!f.Button(name)->isEnabled(), name);
    }
    QVERIFY(f.Button("helpButton")->isEnabled());
    QCOMPARE(f.m_window->cursor().shape(), Qt::WaitCursor);

    // Meanwhile drops, Escape and close requests are refused, without a word.
    QTRY_COMPARE(f.StatusText(), QStringLiteral("Sorting: /"));
    QVERIFY(!f.Drop({"Media/b.dat"}));
    QTest::keyClick(f.m_window.get(), Qt::Key_Escape);
    QVERIFY(!f.m_window->close());
    QVERIFY(f.m_window->isVisible());

    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    const QStringList statuses = f.TakeStatuses();
    QCOMPARE(statuses.first(), QStringLiteral("Idle"));
    QVERIFY2(statuses.contains(QStringLiteral("Processing file: 2")), qPrintable(statuses.join(u'|')));
    const qsizetype slash = statuses.indexOf(QStringLiteral("Sorting: /"));
    QVERIFY(slash > 0);
    QCOMPARE(statuses.value(slash + 1), QStringLiteral("Sorting: -"));
    QCOMPARE(statuses.back(), kCanExport);

    for (const char* name :
         {"exitButton", "exportButton", "optionsButton", "viewLogButton", "aboutButton", "findButton"}) {
        QVERIFY2(f.Button(name)->isEnabled(), name);
    }
    QCOMPARE(f.m_window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(answers.Unexpected(), 0);
    QVERIFY(f.m_window->isVisible());

    // Export from the button writes the sorted listing.
    answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("out.txt"))); });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(f.m_tree.ReadText("out.txt"), MediaListing(f.m_tree));
    QCOMPARE(f.StatusText(), QStringLiteral("Idle"));
    QVERIFY(!f.Button("exportButton")->isEnabled());
}

void MainWindowTest::exportDataOpensSaveAs() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.m_tree.Folder("Reports", LocalTime(2026, 1, 1, 0, 0, 0));
    f.SetOption(Option::ExportData, 1);
    f.SetOption(Option::AutoView, 0);
    f.m_settings.SetDefaultDir(f.m_tree.Path("Reports/previous.txt"));
    CModalAnswerer answers;
    answers.Then([&f](QWidget* widget) {
        auto* dialog = qobject_cast<CMyFileDialog*>(widget);
        QVERIFY(dialog != nullptr);
        [&] {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Export Data"));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Text files (*.txt)")});
            QCOMPARE(dialog->defaultSuffix(), QStringLiteral("txt"));
            QCOMPARE(dialog->directory().absolutePath(), QString::fromStdString(f.m_tree.Path("Reports")));
            QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QStringLiteral("Export1"));
            QVERIFY(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help) != nullptr);
        }();
        SaveAs(widget, QStringLiteral("Listing12")); // no extension: ".txt" is added
    });
    QVERIFY(f.Drop({"Media"}));
    QTRY_VERIFY_WITH_TIMEOUT(answers.Done(), 10000);
    QTRY_COMPARE(f.StatusText(), QStringLiteral("Idle"));
    QCOMPARE(f.m_tree.ReadText("Reports/Listing12.txt"), MediaListing(f.m_tree));
    const QStringList statuses = f.TakeStatuses();
    QVERIFY2(statuses.contains(QStringLiteral("100% Exported")), qPrintable(statuses.join(u'|')));
    QVERIFY(!f.Button("exportButton")->isEnabled());
    QCOMPARE(f.m_settings.GetDefaultDir(), f.m_tree.Path("Reports") + "/");
    QCOMPARE(f.m_window->Engine().Session().m_nExportCount, 12);
    QCOMPARE(answers.Unexpected(), 0);
}

void MainWindowTest::autoViewOpensTheReport() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 1);
    f.SetOption(Option::AutoView, 1);
    CViewerStandIn viewer;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &viewer, "Open");
    CModalAnswerer answers;
    answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("shown.txt"))); });
    QVERIFY(f.Drop({"Media/Docs"}));
    QTRY_VERIFY_WITH_TIMEOUT(answers.Done(), 10000);
    QTRY_COMPARE(f.StatusText(), QStringLiteral("Idle"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(viewer.m_opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(f.m_tree.Path("shown.txt")))});
    QVERIFY(CTempTree::Exists(f.m_tree.Path("shown.txt")));
}

void MainWindowTest::saveAsRefusesMissingFolderAndCancelKeepsCatalogue() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    QVERIFY(f.Drop({"Media"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    const QString missing = QString::fromStdString(f.m_tree.Path("missing"));
    QPointer<QWidget> saveAs;
    CModalAnswerer answers;
    answers.Then([&](QWidget* widget) {
               saveAs = widget;
               SaveAs(widget, missing + QStringLiteral("/x.txt"));
           })
        .Then(CModalAnswerer::AnswerBox(
            missing + QStringLiteral("\nThis folder does not exist. Check the folder name and try again."),
            QStringLiteral("Export Data"), QMessageBox::Warning, QMessageBox::Ok))
        .Then([&](QWidget* widget) {
            QCOMPARE(widget, saveAs.data()); // still open
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QVERIFY(!CTempTree::Exists(f.m_tree.Path("missing")));
    QCOMPARE(f.StatusText(), kCanExport);
    QVERIFY(f.Button("exportButton")->isEnabled());
    QCOMPARE(f.m_window->Engine().Session().m_bSaved, 0);

    // The next export proposes the same name again.
    answers.Then([](QWidget* widget) {
        QCOMPARE(widget->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QStringLiteral("Export1"));
        qobject_cast<QDialog*>(widget)->reject();
    });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
}

void MainWindowTest::exitAsksAboutUnsavedData() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    QVERIFY(f.Drop({"Media/b.dat"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);

    const QString question = QStringLiteral("You have unsaved data - exit anyway?");
    CModalAnswerer answers;
    answers.Then(CModalAnswerer::AnswerBox(question, QStringLiteral("Warning!"), QMessageBox::Question, QMessageBox::No));
    QTest::mouseClick(f.Button("exitButton"), Qt::LeftButton);
    QTRY_VERIFY(answers.Done());
    QTest::qWait(50);
    QVERIFY(f.m_window->isVisible());
    QVERIFY(f.Button("exportButton")->isEnabled());

    // Escape asks the same question.
    answers.Then(CModalAnswerer::AnswerBox(question, QStringLiteral("Warning!"), QMessageBox::Question, QMessageBox::No));
    QTest::keyClick(f.m_window.get(), Qt::Key_Escape);
    QVERIFY(answers.Done());
    QVERIFY(f.m_window->isVisible());

    answers.Then(CModalAnswerer::AnswerBox(question, QStringLiteral("Warning!"), QMessageBox::Question, QMessageBox::Yes));
    QTest::mouseClick(f.Button("exitButton"), Qt::LeftButton);
    QTRY_VERIFY(!f.m_window->isVisible());
    QCOMPARE(f.m_window->result(), int(QDialog::Rejected));
    QCOMPARE(answers.Unexpected(), 0);
}

void MainWindowTest::exitWithNothingUnexportedClosesAtOnce() {
    CWindowFixture f;
    CModalAnswerer answers;
    QTest::keyClick(f.m_window.get(), Qt::Key_Return); // Exit is the default button
    QTRY_VERIFY(!f.m_window->isVisible());
    QCOMPARE(answers.Unexpected(), 0);
}

void MainWindowTest::otherDataIsIgnored_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("actions");
    QTest::newRow("text") << "text/plain" << QByteArray("/etc/hostname") << int(Qt::CopyAction);
    QTest::newRow("web address") << "text/uri-list" << QByteArray("https://example.org/a.txt\r\n")
                                 << int(Qt::CopyAction);
    QTest::newRow("move only") << "text/uri-list" << QByteArray("file:///etc/hostname\r\n") << int(Qt::MoveAction);
}

void MainWindowTest::otherDataIsIgnored() {
    QFETCH(QString, format);
    QFETCH(QByteArray, payload);
    QFETCH(int, actions);
    CWindowFixture f;
    CModalAnswerer answers;
    QMimeData data;
    data.setData(format, payload);
    QVERIFY(!f.DropData(&data, Qt::DropActions(actions)));
    QTest::qWait(50);
    QCOMPARE(f.StatusText(), QStringLiteral("Idle"));
    QCOMPARE(answers.Unexpected(), 0);
    QCOMPARE(f.m_window->Engine().Session().m_bSaved, 1);
}

// Some drag sources hand out nothing more at the moment of the drop.
void MainWindowTest::dropTakesThePathsReadAsTheDragEntered() {
    CWindowFixture f;
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    QMimeData offered;
    offered.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.m_tree.Path("Media/b.dat")))});
    QMimeData atDrop;
    atDrop.setData(QStringLiteral("text/uri-list"), QByteArray());
    const QPoint where = f.m_window->rect().center();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    // A drag that left the window does not count.
    QDragEnterEvent enter(where, actions, &offered, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.m_window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(f.m_window.get(), &leave);
    QDropEvent lost(QPointF(where), actions, &atDrop, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.m_window.get(), &lost);
    QVERIFY(!lost.isAccepted());

    QDragEnterEvent again(where, actions, &offered, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.m_window.get(), &again);
    QDropEvent drop(QPointF(where), actions, &atDrop, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.m_window.get(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    QCOMPARE(f.m_window->Engine().Session().m_nFileCount, 1);
}

void MainWindowTest::helpOpensDefaultTopic() {
    CWindowFixture f;
    QTest::mouseClick(f.Button("helpButton"), Qt::LeftButton);
    CHelpWindow* help = f.m_help.WindowOf(f.m_window.get());
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    QCOMPARE(help->Source().path(), QStringLiteral("/doc/index.htm"));
    help->close();
    QTRY_VERIFY(f.m_help.WindowOf(f.m_window.get()) == nullptr);
    f.m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.m_window.get()));
    QTest::keyClick(f.m_window.get(), Qt::Key_F1);
    QVERIFY(f.m_help.WindowOf(f.m_window.get()) != nullptr);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
