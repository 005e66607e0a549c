// The compiled help file holds every topic the program names, and the help
// window shows topics, or says that help is missing.
#include "HelpBrowser.h"
#include "HelpViewer.h"
#include "HelpWindow.h"
#include "StringTable.h"

#include <QDialog>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void everyTopicIsInTheHelpFile_data();
    void everyTopicIsInTheHelpFile();
    void everyLinkOfEveryPageResolves();
    void helpWindowBelongsToTheWindowThatAsked();
    void helpWindowListsTheContents();
    void missingHelpFileIsSaidInTheWindow();
};

void HelpTest::everyTopicIsInTheHelpFile_data() {
    QTest::addColumn<QString>("topic");
    QTest::newRow("default") << QString();
    QTest::newRow("export") << QStringLiteral("export.htm");
    QTest::newRow("find") << QString::fromStdString(LoadString(IDS_FIND_HELP_TOPIC));
    QTest::newRow("find sources") << QStringLiteral("find.htm#reports");
    for (int id = IDS_HELP_TABBED; id <= IDS_HELP_SUBFLDR; ++id) {
        const QString topic = QString::fromStdString(LoadString(id));
        QTest::newRow(qPrintable(topic)) << topic;
    }
}

void HelpTest::everyTopicIsInTheHelpFile() {
    QFETCH(QString, topic);
    CHelpViewer help(QStringLiteral(STOWLIST_TEST_HELP_FILE));
    QVERIFY(help.IsAvailable());
    const QUrl url = help.TopicUrl(topic);
    const QString page = QString::fromUtf8(help.FileData(url));
    QVERIFY2(page.contains(QLatin1String("</html>")), qPrintable(url.toString()));
    if (url.hasFragment()) {
        QVERIFY2(page.contains(QStringLiteral("name=\"%1\"").arg(url.fragment())), qPrintable(url.toString()));
    }
}

void HelpTest::everyLinkOfEveryPageResolves() {
    CHelpViewer help(QStringLiteral(STOWLIST_TEST_HELP_FILE));
    const QStringList pages = {"index.htm", "options.htm", "settings.htm", "export.htm", "reports.htm", "find.htm"};
    const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(#([^\"]*))?\""));
    int links = 0;
    for (const QString& page : pages) {
        const QString text = QString::fromUtf8(help.FileData(help.TopicUrl(page)));
        QVERIFY2(!text.isEmpty(), qPrintable(page));
        for (auto match = link.globalMatch(text); match.hasNext();) {
            const auto found = match.next();
            const QString target = found.captured(1).isEmpty() ? page : found.captured(1);
            const QString target_text = QString::fromUtf8(help.FileData(help.TopicUrl(target)));
            QVERIFY2(!target_text.isEmpty(), qPrintable(page + " -> " + target));
            if (!found.captured(3).isEmpty()) {
                QVERIFY2(target_text.contains(QStringLiteral("name=\"%1\"").arg(found.captured(3))),
                         qPrintable(page + " -> " + found.captured(0)));
            }
            ++links;
        }
    }
    QVERIFY(links > 20);
}

void HelpTest::helpWindowBelongsToTheWindowThatAsked() {
    CHelpViewer help(QStringLiteral(STOWLIST_TEST_HELP_FILE));
    auto* dialog = new QDialog;
    dialog->show();
    help.ShowTopic(QStringLiteral("options.htm#hidsys"), dialog);
    QPointer<CHelpWindow> window = help.WindowOf(dialog);
    QVERIFY(window != nullptr);
    QCOMPARE(window->Source().fragment(), QStringLiteral("hidsys"));
    QVERIFY(window->Browser()->toPlainText().contains(QStringLiteral("Exclude hidden and system information")));
    help.ShowDefaultTopic(dialog);
    QCOMPARE(help.WindowOf(dialog), window.data()); // one help window per window
    QCOMPARE(window->Source().path(), QStringLiteral("/doc/index.htm"));
    delete dialog;
    QVERIFY(window.isNull());
}

void HelpTest::helpWindowListsTheContents() {
    CHelpViewer help(QStringLiteral(STOWLIST_TEST_HELP_FILE));
    QDialog dialog;
    help.ShowDefaultTopic(&dialog);
    auto* contents = help.WindowOf(&dialog)->findChild<QTreeView*>();
    QVERIFY(contents != nullptr);
    QTRY_COMPARE(contents->model()->rowCount(), 1);
    const QModelIndex top = contents->model()->index(0, 0);
    QCOMPARE(top.data().toString(), QStringLiteral("Stowlist Utility"));
    QStringList titles;
    for (int row = 0; row < contents->model()->rowCount(top); ++row) {
        titles << contents->model()->index(row, 0, top).data().toString();
    }
    QCOMPARE(titles, (QStringList{"Options", "Archive settings", "Exporting the catalogue", "The reports",
                                  "Finding a file in the reports"}));

    // Choosing an entry shows its page.
    const QModelIndex reports = contents->model()->index(3, 0, top);
    emit contents->activated(reports);
    QCOMPARE(help.WindowOf(&dialog)->Source().path(), QStringLiteral("/doc/reports.htm"));
}

void HelpTest::missingHelpFileIsSaidInTheWindow() {
    CHelpViewer help(QStringLiteral("/nonexistent/stowlist.qch"));
    QVERIFY(!help.IsAvailable());
    QDialog dialog;
    help.ShowDefaultTopic(&dialog);
    CHelpWindow* window = help.WindowOf(&dialog);
    QVERIFY(window != nullptr);
    QCOMPARE(window->Browser()->toPlainText(),
             QStringLiteral("Help is not available: the help file /nonexistent/stowlist.qch could not be opened."));
}

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
