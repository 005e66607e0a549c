// Drops with checksums on: the manifest the export writes beside the
// report, and Cancel while the files are read.
#include "Catalogue.h"
#include "FileLocations.h"
#include "ModalAnswerer.h"
#include "WindowFixture.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString kCanExport = QStringLiteral("Data can now be exported");

} // namespace

class ChecksumsDropTest : public QObject {
    Q_OBJECT
private slots:
    void exportWritesTheManifestBesideTheReport();
    void cancelWritesNeitherReportNorManifest();
};

void ChecksumsDropTest::exportWritesTheManifestBesideTheReport() {
    CWindowFixture f;
    f.m_tree.Folder("Media", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.WriteText("Media/a.txt", "a");
    f.m_tree.Folder("Media/Sub", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.WriteText("Media/Sub/b.txt", "b");
    f.m_tree.Symlink("Media/link", "a.txt", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.Finish();
    f.SetOption(Option::ProcessType, 1);
    f.SetOption(Option::ExportData, 0);
    f.SetOption(Option::AutoView, 0);
    f.m_store.WriteInt("Catalogue", "AddReports", 1);
    f.m_store.WriteInt("Catalogue", "Checksums", 1);
    QVERIFY(f.Drop({"Media"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    QVERIFY(f.Button("exportButton")->isEnabled());

    CModalAnswerer answers;
    answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("out.txt"))); });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(f.m_tree.ReadText("out.sha256"),
             std::string("ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb  Media/a.txt\n"
                         "3e23e8160039594a33894f6564e1b1348bbd7a0088d42c4acb73eeaed59c009d  Media/Sub/b.txt\n"));
    QCOMPARE(answers.Unexpected(), 0);
    // The catalogue remembers the manifest beside its report, for Verify.
    const auto manifestOf = [&f] {
        CCatalogue catalogue(FileLocations::CatalogueFile());
        return catalogue.Open(false) ? catalogue.ManifestOf(f.m_tree.Path("out.txt")) : std::string();
    };
    QTRY_COMPARE_WITH_TIMEOUT(manifestOf(), f.m_tree.Path("out.sha256"), 10000);

    // The next drop without checksums leaves the manifest of the last one alone.
    f.m_store.WriteInt("Catalogue", "Checksums", 0);
    QVERIFY(f.Drop({"Media"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("plain.txt"))); });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QVERIFY(answers.Done());
    QCOMPARE(f.m_tree.ReadText("plain.txt"), f.m_tree.ReadText("out.txt"));
    QVERIFY(!CTempTree::Exists(f.m_tree.Path("plain.sha256")));

    // A drop without checksums exported over the first report: the manifest
    // beside it described the report replaced, and goes, here and in the catalogue.
    QVERIFY(f.Drop({"Media"}));
    QTRY_COMPARE_WITH_TIMEOUT(f.StatusText(), kCanExport, 10000);
    answers.Then([&f](QWidget* widget) { SaveAs(widget, QString::fromStdString(f.m_tree.Path("out.txt"))); });
    answers.Then([](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY2(box != nullptr, widget->metaObject()->className());
        ClickBoxButton(box, QMessageBox::Yes); // replace the report
    });
    QTest::mouseClick(f.Button("exportButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(answers.Done(), 10000);
    QCOMPARE(f.m_tree.ReadText("out.txt"), f.m_tree.ReadText("plain.txt"));
    QVERIFY(!CTempTree::Exists(f.m_tree.Path("out.sha256")));
    QTRY_COMPARE_WITH_TIMEOUT(manifestOf(), std::string(), 10000);
}

void ChecksumsDropTest::cancelWritesNeitherReportNorManifest() {
    CWindowFixture f;
    f.m_tree.Folder("Media", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.File("Media/big.bin", std::uint64_t(64) << 30, LocalTime(2026, 1, 1, 8, 0, 0)); // sparse: minutes to hash
    f.m_tree.Folder("Reports", LocalTime(2026, 1, 1, 8, 0, 0));
    f.m_tree.Finish();
    f.SetOption(Option::ProcessType, 1);
    f.SetOption(Option::ExportData, 1);
    f.SetOption(Option::AutoView, 0);
    f.m_store.WriteInt("Catalogue", "Checksums", 1);
    // The checksums hold the drop: Cancel is clicked from within it.
    bool cancelled = false;
    QString shown;
    QTimer clicker;
    clicker.setInterval(20);
    connect(&clicker, &QTimer::timeout, [&] {
        auto* cancel = f.m_window->findChild<QPushButton*>(QStringLiteral("cancelChecksumsButton"));
        if (!cancelled && cancel != nullptr && cancel->isVisible()) {
            shown = f.StatusText();
            QVERIFY(!f.Button("exportButton")->isEnabled());
            QTest::mouseClick(cancel, Qt::LeftButton);
            cancelled = true;
        }
    });
    clicker.start();
    CModalAnswerer answers; // no Save As may open
    QVERIFY(f.Drop({"Media"}));
    QTRY_VERIFY_WITH_TIMEOUT(cancelled, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.m_window->Engine().Session().m_bBusy, 20000);
    QVERIFY2(shown.startsWith(QStringLiteral("Checksums: ")), qPrintable(shown));
    QCOMPARE(answers.Unexpected(), 0);
    QVERIFY(!f.Button("exportButton")->isEnabled());
    QCOMPARE(f.m_window->Engine().Session().m_bSaved, 1); // nothing waits for an export
    QVERIFY(f.m_window->IsDropEnabled());
    const std::string manifest = f.m_tree.Path("Export1.sha256");
    QVERIFY(!CTempTree::Exists(f.m_tree.Path("Export1.txt")));
    QVERIFY(!CTempTree::Exists(manifest));
}

QTEST_MAIN(ChecksumsDropTest)
#include "ChecksumsDropTest.moc"
