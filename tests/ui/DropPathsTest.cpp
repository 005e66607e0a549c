// What the window makes of dragged data: local paths in order, byte for
// byte, with mount points marked as dropped media.
#include "DropPaths.h"
#include "DropPath.h"
#include "TempTree.h"

#include <QMimeData>
#include <QTest>
#include <QUrl>

class DropPathsTest : public QObject {
    Q_OBJECT
private slots:
    void localPathsInOrder();
    void mountPointsGetATrailingSlash_data();
    void mountPointsGetATrailingSlash();
};

void DropPathsTest::localPathsInOrder() {
    QMimeData data;
    // A name that is not valid UTF-8 arrives percent-encoded and stays as it was.
    data.setData(QStringLiteral("text/uri-list"), "file:///tmp/z%20b\r\n"
                                                  "https://example.org/x\r\n"
                                                  "file:///tmp/caf%C3%A9\r\n"
                                                  "file:///tmp/raw%FF\r\n"
                                                  "file://otherhost/tmp/a\r\n"
                                                  "file://localhost/tmp/a\r\n");
    const std::vector<std::string> expected = {"/tmp/z b", "/tmp/caf\xC3\xA9", "/tmp/raw\xFF", "/tmp/a"};
    QCOMPARE(DropPaths::LocalPaths(data), expected);

    QMimeData text;
    text.setText(QStringLiteral("/tmp"));
    QVERIFY(DropPaths::LocalPaths(text).empty());
}

void DropPathsTest::mountPointsGetATrailingSlash_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("root with slashes") << "//" << "/";
    QTest::newRow("proc is mounted") << "/proc" << "/proc/";
    QTest::newRow("proc given with a slash") << "/proc/" << "/proc/";
    QTest::newRow("folder on the same device") << "/proc/self/fd" << "/proc/self/fd";
    QTest::newRow("missing path") << "/nonexistent/x/" << "/nonexistent/x";
}

void DropPathsTest::mountPointsGetATrailingSlash() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(DropPath::AsDropPath(path.toStdString())), expected);
}

QTEST_MAIN(DropPathsTest)
#include "DropPathsTest.moc"
