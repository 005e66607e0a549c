#include "WindowFixture.h"

#include "StringTable.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

CWindowFixture::CWindowFixture(CEngineTiming timing)
    : m_store(m_config.filePath(QStringLiteral("stowlist.INI")).toStdString()), m_settings(m_store),
      m_help(QStringLiteral(STOWLIST_TEST_HELP_FILE)) {
    UseTestTimeZone();
    SetOption(Option::AutoView, 0); // a test that wants the viewer says so
    // The catalogue that the window adds its reports to: the test's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_config.filePath(QStringLiteral("data"))));
    m_window = std::make_unique<CStowlistDlg>(m_settings, m_help, CLocaleFormat("C.UTF-8", "C.UTF-8", "C.UTF-8"),
                                              timing);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_sampler.setInterval(5);
    QObject::connect(&m_sampler, &QTimer::timeout, [this] { SampleStatus(); });
    m_sampler.start();
    SampleStatus();
}

CWindowFixture::~CWindowFixture() {
    m_sampler.stop();
    m_window.reset();
}

CEngineTiming CWindowFixture::QuickTiming() {
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(800);
    timing.exportPause = std::chrono::milliseconds(300);
    return timing;
}

void CWindowFixture::SetOption(Option option, int value) { m_settings.Write(option, value); }

void CWindowFixture::SetArchive(const std::string& key, const std::string& value) {
    m_store.WriteString(LoadString(IDS_SECTION_ARCHIVE), key, value);
}

int CWindowFixture::GetArchive(const std::string& key) {
    return m_store.GetInt(LoadString(IDS_SECTION_ARCHIVE), key, -999);
}

std::string CWindowFixture::SettingsText() const {
    return CTempTree::Exists(m_store.Path()) ? CTempTree::ReadFile(m_store.Path()) : std::string();
}

QPushButton* CWindowFixture::Button(const char* name) const {
    return m_window->findChild<QPushButton*>(QString::fromLatin1(name));
}

QLabel* CWindowFixture::Status() const { return m_window->findChild<QLabel*>(QStringLiteral("statusLabel")); }

QString CWindowFixture::StatusText() const { return Status()->text(); }

void CWindowFixture::SampleStatus() {
    const QString text = StatusText();
    if (m_statuses.isEmpty() || m_statuses.back() != text) {
        m_statuses << text;
    }
}

QStringList CWindowFixture::TakeStatuses() {
    SampleStatus();
    QStringList taken = m_statuses;
    m_statuses = QStringList{taken.back()};
    return taken;
}

bool CWindowFixture::DropData(QMimeData* data, Qt::DropActions actions) {
    const QPoint where = m_window->rect().center();
    QDragEnterEvent enter(where, actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDragMoveEvent move(where, actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &move);
    QDropEvent drop(QPointF(where), actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

bool CWindowFixture::Drop(const std::vector<std::string>& relativePaths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& relative : relativePaths) {
        urls << QUrl::fromLocalFile(QString::fromStdString(m_tree.Path(relative)));
    }
    data.setUrls(urls);
    return DropData(&data);
}
