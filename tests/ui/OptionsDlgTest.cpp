// The Options dialog: what it shows, its enable rules, what OK and Cancel
// write, and the help topic behind each option.
#include "HelpViewer.h"
#include "HelpWindow.h"
#include "OptionsDlg.h"
#include "StringTable.h"
#include "TempTree.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

struct Fixture {
    Fixture() : store(folder.filePath(QStringLiteral("stowlist.INI")).toStdString()), help(STOWLIST_TEST_HELP_FILE) {
    }
    std::unique_ptr<COptionsDlg> Open() {
        auto dialog = std::make_unique<COptionsDlg>(store, help, nullptr);
        dialog->show();
        if (!QTest::qWaitForWindowActive(dialog.get())) {
            qWarning("the dialog did not become active");
        }
        return dialog;
    }
    void Set(const char* key, int value) { store.WriteInt("Options", key, value); }
    std::string Text() const { return CTempTree::Exists(store.Path()) ? CTempTree::ReadFile(store.Path()) : ""; }

    QTemporaryDir folder;
    CSettingsStore store;
    CHelpViewer help;
};

QAbstractButton* Control(QWidget* dialog, const QString& name) {
    auto* button = dialog->findChild<QAbstractButton*>(name);
    if (button == nullptr) {
        qFatal("no control %s", qPrintable(name));
    }
    return button;
}

// Clicks a check box or radio button on its box, as a user does.
void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

const QStringList kGreyedForArchive = {"formatFileSizeCheck", "excludeEmptyCheck", "tabbedRadio", "paddedRadio",
                                       "directoryOnlyCheck"};
const QStringList kAllOptions = {"archiveRadio",       "listingRadio",       "tabbedRadio",
                                 "paddedRadio",        "exportDataCheck",    "autoViewCheck",
                                 "directoryOnlyCheck", "excludeHiddenCheck", "excludeSubFoldersCheck",
                                 "excludeEmptyCheck",  "formatFileSizeCheck", "checksumsCheck"};

} // namespace

class OptionsDlgTest : public QObject {
    Q_OBJECT
private slots:
    void showsDefaults_data();
    void showsDefaults();
    void tabOrderFollowsTheTemplate();
    void archiveReportGreysTheListingOptions();
    void directoriesOnlyAndExcludeEmptyExcludeEachOther();
    void okWritesAllNineKeys();
    void cancelWritesNothing();
    void checksumsGoIntoTheCatalogueSection();
    void storedConflictOpensGreyedAndIsKept();
    void unknownProcessTypeLeavesRadiosClear();
    void f1OpensTheTopicOfTheOption_data();
    void f1OpensTheTopicOfTheOption();
};

void OptionsDlgTest::showsDefaults_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checked");
    QTest::newRow("1019") << "archiveRadio" << "Produce an archive report" << false;
    QTest::newRow("1020") << "listingRadio" << "Produce a directory listing" << true;
    QTest::newRow("1014") << "tabbedRadio" << "Tab delimited (eg: for a spreadsheet)" << true;
    QTest::newRow("1015") << "paddedRadio" << "Padded and aligned (eg: for a plain editor)" << false;
    QTest::newRow("1021") << "exportDataCheck" << "Automatically export the data" << true;
    QTest::newRow("1016") << "autoViewCheck" << "Automatically show exported data afterwards" << true;
    QTest::newRow("1022") << "directoryOnlyCheck" << "Only include directories (no files)" << false;
    QTest::newRow("1023") << "excludeHiddenCheck" << "Exclude hidden and system information" << true;
    QTest::newRow("1024") << "excludeSubFoldersCheck" << "Exclude sub-folders" << false;
    QTest::newRow("1017") << "excludeEmptyCheck" << "Exclude empty folders from directory listing" << false;
    QTest::newRow("1018") << "formatFileSizeCheck" << "Format numbers with thousands separators" << true;
    QTest::newRow("58827") << "checksumsCheck" << "Write checksums (SHA-256)" << false;
}

void OptionsDlgTest::showsDefaults() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, checked);
    Fixture f;
    auto dialog = f.Open();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Stowlist Utility Options"));
    QAbstractButton* control = Control(dialog.get(), name);
    QCOMPARE(control->text(), text);
    QCOMPARE(control->isChecked(), checked);
    QVERIFY(control->isEnabled());
    QCOMPARE(control->property("controlId").toString(), QString::fromLatin1(QTest::currentDataTag()));
}

void OptionsDlgTest::tabOrderFollowsTheTemplate() {
    Fixture f;
    auto dialog = f.Open();
    QStringList chain;
    QWidget* start = Control(dialog.get(), "archiveRadio");
    QWidget* widget = start;
    do {
        if (qobject_cast<QAbstractButton*>(widget) != nullptr) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != start);
    QCOMPARE(chain, kAllOptions + QStringList({"okButton", "cancelButton"}));
    QVERIFY(Control(dialog.get(), "okButton")->property("default").toBool());
}

void OptionsDlgTest::archiveReportGreysTheListingOptions() {
    Fixture f;
    f.Set("DirectoryOnly", 1);
    f.Set("FormatFileSize", 0);
    auto dialog = f.Open();
    QVERIFY(!Control(dialog.get(), "excludeEmptyCheck")->isEnabled()); // greyed by "Only include directories"
    Click(Control(dialog.get(), "archiveRadio"));
    for (const QString& name : kGreyedForArchive) {
        QVERIFY2(!Control(dialog.get(), name)->isEnabled(), qPrintable(name));
    }
    for (const char* name : {"exportDataCheck", "autoViewCheck", "excludeHiddenCheck", "excludeSubFoldersCheck"}) {
        QVERIFY2(Control(dialog.get(), name)->isEnabled(), name);
    }
    // Greying changes no state.
    QVERIFY(Control(dialog.get(), "directoryOnlyCheck")->isChecked());
    QVERIFY(!Control(dialog.get(), "formatFileSizeCheck")->isChecked());
    QVERIFY(Control(dialog.get(), "tabbedRadio")->isChecked());

    Click(Control(dialog.get(), "listingRadio"));
    QVERIFY(Control(dialog.get(), "formatFileSizeCheck")->isEnabled());
    QVERIFY(Control(dialog.get(), "tabbedRadio")->isEnabled());
    QVERIFY(Control(dialog.get(), "paddedRadio")->isEnabled());
    QVERIFY(Control(dialog.get(), "directoryOnlyCheck")->isEnabled());
    QVERIFY(!Control(dialog.get(), "excludeEmptyCheck")->isEnabled()); // the exclusion still holds
}

void OptionsDlgTest::directoriesOnlyAndExcludeEmptyExcludeEachOther() {
    Fixture f;
    auto dialog = f.Open();
    QAbstractButton* dirOnly = Control(dialog.get(), "directoryOnlyCheck");
    QAbstractButton* empty = Control(dialog.get(), "excludeEmptyCheck");
    Click(dirOnly);
    QVERIFY(!empty->isEnabled());
    Click(dirOnly);
    QVERIFY(empty->isEnabled());
    Click(empty);
    QVERIFY(!dirOnly->isEnabled());
    Click(empty);
    QVERIFY(dirOnly->isEnabled());
}

void OptionsDlgTest::okWritesAllNineKeys() {
    Fixture f;
    f.Set("OutputFormat", 1);
    auto dialog = f.Open();
    QVERIFY(Control(dialog.get(), "paddedRadio")->isChecked());
    Click(Control(dialog.get(), "autoViewCheck"));
    Click(Control(dialog.get(), "excludeSubFoldersCheck"));
    // Every replacement of the file is a rename into its folder: OK makes one.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, f.folder.path().toLocal8Bit().constData(), IN_MOVED_TO) >= 0);
    QTest::mouseClick(Control(dialog.get(), "okButton"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    int replacements = 0;
    alignas(inotify_event) char events[16384];
    for (ssize_t length; (length = read(watch, events, sizeof events)) > 0;) {
        for (char* at = events; at < events + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            replacements += event->len > 0 && std::string(event->name) == "stowlist.INI" ? 1 : 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    QCOMPARE(replacements, 1);
    // OutputFormat was stored first; the others follow in the order they are written.
    QCOMPARE(QString::fromStdString(f.Text()).replace(QLatin1String("\r\n"), QLatin1String("\n")),
             QStringLiteral("[Options]\nOutputFormat=1\nExportData=1\nAutoView=0\nFormatFileSize=1\n"
                            "ExcludeEmptyFolders=0\nProcessType=1\nDirectoryOnly=0\n"
                            "ExcludeHiddenSystemInfo=1\nExcludeSubFolders=1\n"));
}

void OptionsDlgTest::cancelWritesNothing() {
    Fixture f;
    f.Set("ExportData", 0);
    const std::string before = f.Text();
    auto dialog = f.Open();
    Click(Control(dialog.get(), "archiveRadio"));
    Click(Control(dialog.get(), "exportDataCheck"));
    QTest::mouseClick(Control(dialog.get(), "cancelButton"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(f.Text(), before);

    auto again = f.Open();
    QTest::keyClick(again.get(), Qt::Key_Escape);
    QVERIFY(!again->isVisible());
    QCOMPARE(f.Text(), before);
}

void OptionsDlgTest::storedConflictOpensGreyedAndIsKept() {
    Fixture f;
    f.Set("DirectoryOnly", 1);
    f.Set("ExcludeEmptyFolders", 1);
    auto dialog = f.Open();
    QVERIFY(!Control(dialog.get(), "directoryOnlyCheck")->isEnabled());
    QVERIFY(!Control(dialog.get(), "excludeEmptyCheck")->isEnabled());
    QVERIFY(Control(dialog.get(), "directoryOnlyCheck")->isChecked());
    QVERIFY(Control(dialog.get(), "excludeEmptyCheck")->isChecked());
    QTest::mouseClick(Control(dialog.get(), "okButton"), Qt::LeftButton);
    QCOMPARE(f.store.GetInt("Options", "DirectoryOnly", -1), 1);
    QCOMPARE(f.store.GetInt("Options", "ExcludeEmptyFolders", -1), 1);
}

void OptionsDlgTest::unknownProcessTypeLeavesRadiosClear() {
    Fixture f;
    f.Set("ProcessType", 5);
    f.Set("DirectoryOnly", 1);
    auto dialog = f.Open();
    QVERIFY(!Control(dialog.get(), "archiveRadio")->isChecked());
    QVERIFY(!Control(dialog.get(), "listingRadio")->isChecked());
    for (const QString& name : kGreyedForArchive) {
        QVERIFY2(Control(dialog.get(), name)->isEnabled(), qPrintable(name));
    }
    QTest::mouseClick(Control(dialog.get(), "okButton"), Qt::LeftButton);
    QCOMPARE(f.store.GetInt("Options", "ProcessType", 0), -1);
}

// The box is saved by OK into [Catalogue], only when changed, and loaded again.
void OptionsDlgTest::checksumsGoIntoTheCatalogueSection() {
    Fixture f;
    f.Set("ExportData", 0);
    auto dialog = f.Open();
    QTest::mouseClick(Control(dialog.get(), "okButton"), Qt::LeftButton);
    const std::string nine = f.Text();
    QCOMPARE(nine.find("[Catalogue]"), std::string::npos); // unchanged: no section of its own

    auto on = f.Open();
    Click(Control(on.get(), "checksumsCheck"));
    QTest::mouseClick(Control(on.get(), "okButton"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(f.Text()), QString::fromStdString(nine + "\n[Catalogue]\nChecksums=1\n"));
    QCOMPARE(f.store.GetInt("Catalogue", "Checksums", 0), 1);

    auto shown = f.Open();
    QVERIFY(Control(shown.get(), "checksumsCheck")->isChecked());
    QVERIFY(Control(shown.get(), "checksumsCheck")->isEnabled());
    Click(Control(shown.get(), "checksumsCheck"));
    QTest::mouseClick(Control(shown.get(), "cancelButton"), Qt::LeftButton);
    QCOMPARE(f.store.GetInt("Catalogue", "Checksums", 0), 1);
}

void OptionsDlgTest::f1OpensTheTopicOfTheOption_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("topic");
    const char* topics[] = {"tabbed", "padded", "autoview", "exclude", "format", "archive",
                            "dirlist", "export", "dironly", "hidsys", "subfldr"};
    const char* controls[] = {"tabbedRadio",       "paddedRadio",     "autoViewCheck",
                              "excludeEmptyCheck", "formatFileSizeCheck", "archiveRadio",
                              "listingRadio",      "exportDataCheck", "directoryOnlyCheck",
                              "excludeHiddenCheck", "excludeSubFoldersCheck"};
    for (int i = 0; i < 11; ++i) {
        QCOMPARE(QString::fromStdString(LoadString(1014 + i)), QStringLiteral("options.htm#") + topics[i]);
        QTest::newRow(controls[i]) << controls[i] << QStringLiteral("options.htm#") + topics[i];
    }
    QTest::newRow("checksumsCheck") << "checksumsCheck" << "options.htm#checksums";
    QTest::newRow("OK") << "okButton" << "index.htm";
    QTest::newRow("Cancel") << "cancelButton" << "index.htm";
}

void OptionsDlgTest::f1OpensTheTopicOfTheOption() {
    QFETCH(QString, control);
    QFETCH(QString, topic);
    Fixture f;
    auto dialog = f.Open();
    QAbstractButton* target = Control(dialog.get(), control);
    target->setChecked(true); // a radio button takes the focus when it is the checked one
    target->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key_F1);
    CHelpWindow* help = f.help.WindowOf(dialog.get());
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    QCOMPARE(help->parentWidget(), dialog.get()); // the help window goes with the dialog
    const QUrl source = help->Source();
    const QString shown = source.path().mid(QStringLiteral("/doc/").size()) +
                          (source.hasFragment() ? QStringLiteral("#") + source.fragment() : QString());
    QCOMPARE(shown, topic);
}

QTEST_MAIN(OptionsDlgTest)
#include "OptionsDlgTest.moc"
