// Start-up: one copy at a time, files named after the executable.
#include "FileLocations.h"
#include "InstanceLock.h"
#include "ModalAnswerer.h"
#include "StowlistApp.h"
#include "StowlistDlg.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filesAreNamedAfterTheExecutable();
    void helpFileIsFoundBesideOrInTheDataFolder();
    void secondCopyIsRefused();
    void firstCopyRunsTheWindowAndHoldsTheLock();

private:
    QTemporaryDir m_config;
    QTemporaryDir m_runtime;
};

void StartupTest::initTestCase() {
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
}

void StartupTest::filesAreNamedAfterTheExecutable() {
    const CStowlistApp app("/opt/tools/stowlist-copy");
    QCOMPARE(QString::fromStdString(app.SettingsPath()), m_config.filePath(QStringLiteral("stowlist-copy.INI")));
    QCOMPARE(app.HelpPath(), std::string("/opt/tools/stowlist-copy.qch"));
    QCOMPARE(QString::fromStdString(FileLocations::LockFile("Stowlist")),
             m_runtime.filePath(QStringLiteral("Stowlist.lock")));
}

void StartupTest::helpFileIsFoundBesideOrInTheDataFolder() {
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/stowlist")));
    const std::string executable = prefix.filePath(QStringLiteral("bin/stowlist")).toStdString();
    const QString installed = prefix.filePath(QStringLiteral("share/stowlist/stowlist.qch"));
    const QString beside = prefix.filePath(QStringLiteral("bin/stowlist.qch"));

    QCOMPARE(QString::fromStdString(CStowlistApp(executable).HelpPath()), beside); // neither exists
    QVERIFY(QFile(installed).open(QIODevice::WriteOnly));
    QCOMPARE(QDir::cleanPath(QString::fromStdString(CStowlistApp(executable).HelpPath())), installed);
    QVERIFY(QFile(beside).open(QIODevice::WriteOnly));
    QCOMPARE(QString::fromStdString(CStowlistApp(executable).HelpPath()), beside);
}

void StartupTest::secondCopyIsRefused() {
    const CInstanceLock first(FileLocations::LockFile("Stowlist"));
    QVERIFY(first.IsOnlyInstance());
    bool windowSeen = false;
    CModalAnswerer answers;
    answers.Then([&windowSeen](QWidget* widget) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            windowSeen = windowSeen || qobject_cast<CStowlistDlg*>(top) != nullptr;
        }
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box != nullptr);
        QCOMPARE(box->buttons().size(), 1);
        CModalAnswerer::AnswerBox(QStringLiteral("Stowlist Utility is already running!"), QStringLiteral("Stowlist"),
                                  QMessageBox::Warning, QMessageBox::Ok)(widget);
    });
    // Another file name: the lock is named after the title, not the file.
    QCOMPARE(CStowlistApp("/opt/other/renamed").Run(), 0);
    QVERIFY(answers.Done());
    QVERIFY(!windowSeen);
    QVERIFY(!QFile::exists(m_config.filePath(QStringLiteral("renamed.INI"))));
}

void StartupTest::firstCopyRunsTheWindowAndHoldsTheLock() {
    bool lockHeld = false;
    QString title;
    CModalAnswerer answers;
    answers.Then([&](QWidget* widget) {
        auto* window = qobject_cast<CStowlistDlg*>(widget);
        QVERIFY(window != nullptr);
        title = window->windowTitle();
        lockHeld = !CInstanceLock(FileLocations::LockFile("Stowlist")).IsOnlyInstance();
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("exitButton")), Qt::LeftButton);
    });
    QCOMPARE(CStowlistApp("/opt/tools/stowlist").Run(), 0);
    QVERIFY(answers.Done());
    QCOMPARE(title, QStringLiteral("Stowlist Utility"));
    QVERIFY(lockHeld);
    QVERIFY(CInstanceLock(FileLocations::LockFile("Stowlist")).IsOnlyInstance()); // given back at the end
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
