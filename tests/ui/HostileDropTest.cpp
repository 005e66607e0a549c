// The hostile tree (control bytes and invalid UTF-8 in names, 255-byte names,
// a tree 3000 levels deep, locked folders, link loops, a FIFO, a socket,
// sparse files past 4 GiB, a crowded folder) dropped on the real window,
// sorted and exported through Save As: every entry one line, the columns
// intact, the totals exact, nothing else asked.
//
// The whole test runs as an ordinary user (see main): as root the locked
// folders would be readable, and the window must show what a user sees, the
// same totals as stowlist-cli run by that user.
#include "HostileTree.h"
#include "ModalAnswerer.h"
#include "ReportShape.h"
#include "SettingsDlg.h"
#include "Unprivileged.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Under the sanitizers a drop of this tree takes a while.
constexpr int kDropTimeoutMs = 240000;

const QString kIdle = QStringLiteral("Idle");

} // namespace

class HostileDropTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void listingDrop_data();
    void listingDrop();
    void archiveDrop();

private:
    // Drops the medium folder on the window with real drag and drop events.
    bool DropMedium(CWindowFixture& f);

    std::unique_ptr<CTempTree> m_tree;
    std::string m_strMedium;
    HostileTreeTotals m_totals;
};

void HostileDropTest::initTestCase() {
    QVERIFY2(geteuid() != 0, "the drop must run as an ordinary user");
    m_tree = std::make_unique<CTempTree>();
    m_strMedium = m_tree->Path("medium");
    QCOMPARE(mkdir(m_strMedium.c_str(), 0755), 0);
    // The full depth, but a smaller crowd than the command line's tests:
    // the window adds nothing per entry that a hundred thousand would show.
    HostileTreeOptions options;
    options.deepLevels = 3000;
    options.crowdedEntries = 2000;
    m_totals = BuildHostileTree(m_strMedium, options);
}

void HostileDropTest::cleanupTestCase() {
    if (m_tree != nullptr) {
        RemoveDeepTree(m_strMedium);
        m_tree.reset();
    }
}

bool HostileDropTest::DropMedium(CWindowFixture& f) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_strMedium))});
    return f.DropData(&data);
}

void HostileDropTest::listingDrop_data() {
    QTest::addColumn<bool>("padded");
    QTest::newRow("tab-delimited") << false;
    QTest::newRow("padded") << true;
}

void HostileDropTest::listingDrop() {
    QFETCH(bool, padded);
    CWindowFixture f;
    f.SetOption(Option::ProcessType, kProcessListing);
    f.SetOption(Option::OutputFormat, padded ? 1 : 0);
    f.SetOption(Option::FormatFileSize, 0);
    f.SetOption(Option::ExcludeEmptyFolders, 0);
    f.SetOption(Option::DirectoryOnly, 0);
    f.SetOption(Option::ExcludeHiddenSystemInfo, 1);
    f.SetOption(Option::ExcludeSubFolders, 0);
    f.SetOption(Option::ExportData, 1);
    const std::string report = f.m_tree.Path("listing.txt");
    CModalAnswerer answers;
    answers.Then([&report](QWidget* widget) { SaveAs(widget, QString::fromStdString(report)); });
    QVERIFY(DropMedium(f));
    QTRY_VERIFY_WITH_TIMEOUT(answers.Done(), kDropTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kIdle, kDropTimeoutMs);
    QCOMPARE(answers.Unexpected(), 0);
    const QStringList statuses = f.TakeStatuses();
    QVERIFY2(statuses.contains(QStringLiteral("Processing file: %1").arg(m_totals.files)),
             qPrintable(statuses.join(u'|')));
    QVERIFY(CTempTree::Exists(report));

    // The dropped folder is a line of its parent's record, which comes
    // first; the locked folders are lines of their parent but unreadable,
    // so they have no records of their own.
    const ReportShape::Listing shape = ReportShape::ReadFullListing(CTempTree::ReadFile(report), !padded);
    QCOMPARE(shape.faults, std::vector<std::string>{});
    QCOMPARE(shape.records, m_totals.folders + 1);
    QCOMPARE(shape.fileLines, m_totals.files);
    QCOMPARE(shape.folderLines, m_totals.folders + 2);
    if (!padded) {
        QCOMPARE(shape.bytes, m_totals.bytes);
        QVERIFY(m_totals.bytes > (6ULL << 32)); // past 2^32 several times over
    }
    QCOMPARE(shape.summary, ReportShape::Summary(m_totals.folders + 1, m_totals.files, m_totals.bytes, padded));
}

void HostileDropTest::archiveDrop() {
    CWindowFixture f;
    f.SetOption(Option::ProcessType, kProcessArchive);
    f.SetOption(Option::ExcludeHiddenSystemInfo, 1);
    f.SetOption(Option::ExcludeSubFolders, 0);
    f.SetOption(Option::ExportData, 1);
    const std::string report = f.m_tree.Path("archive.txt");
    CModalAnswerer answers;
    answers
        .Then([](QWidget* widget) {
            QVERIFY(qobject_cast<CSettingsDlg*>(widget) != nullptr);
            auto* type = widget->findChild<QComboBox*>(QStringLiteral("mediaTypeCombo"));
            type->setCurrentIndex(type->findText(QStringLiteral("DLT")));
            for (const auto& [name, value] : {std::pair{"mediaNumberEdit", "7"}, std::pair{"archiveNumberEdit", "99"}}) {
                auto* field = widget->findChild<QLineEdit*>(QString::fromLatin1(name));
                field->selectAll();
                QTest::keyClicks(field, QString::fromLatin1(value));
            }
            auto* multiple = widget->findChild<QCheckBox*>(QStringLiteral("multipleArchiveCheck"));
            if (!multiple->isChecked()) {
                multiple->click();
            }
            QTest::mouseClick(widget->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        })
        .Then([&report](QWidget* widget) { SaveAs(widget, QString::fromStdString(report)); });
    QVERIFY(DropMedium(f));
    QTRY_VERIFY_WITH_TIMEOUT(answers.Done(), kDropTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kIdle, kDropTimeoutMs);
    QCOMPARE(answers.Unexpected(), 0);
    QVERIFY(CTempTree::Exists(report));

    // One line per file, each with the archive of the dropped folder.
    auto lines = ReportShape::SplitLines(CTempTree::ReadFile(report));
    QCOMPARE(lines.back(), std::string()); // an archive report ends with a line end
    lines.pop_back();
    QCOMPARE(static_cast<std::int64_t>(lines.size()), m_totals.files);
    std::uint64_t bytes = 0;
    for (const std::string& line : lines) {
        const auto columns = ReportShape::Columns(line);
        QVERIFY2(columns.size() == 5, line.c_str());
        QVERIFY2(!ReportShape::HasControlBytes(line), line.c_str());
        QCOMPARE(columns[4], std::string("DLT07-99"));
        bytes += std::stoull(columns[1]);
    }
    QCOMPARE(bytes, m_totals.bytes);
    QCOMPARE(f.m_window->Engine().Log().Text(), "DLT07-99\t" + m_strMedium);
    QCOMPARE(f.GetArchive("ArchiveNumber"), 100);
}

int main(int argc, char* argv[]) {
    // Before anything else, while the process has one thread and no files.
    std::string home;
    if (!BecomeUnprivileged(home)) {
        std::fprintf(stderr, "HostileDropTest: cannot run as an ordinary user\n");
        return 1;
    }
    int status = 0;
    {
        QApplication application(argc, argv);
        application.setAttribute(Qt::AA_Use96Dpi, true); // as QTEST_MAIN does
        QTEST_SET_MAIN_SOURCE_PATH
        HostileDropTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    if (!home.empty()) {
        QDir(QString::fromStdString(home)).removeRecursively();
    }
    return status;
}

#include "HostileDropTest.moc"
