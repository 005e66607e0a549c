#include "HelpViewer.h"

#include "HelpWindow.h"

#include <QFileInfo>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QTemporaryDir>
#include <QWidget>

CHelpViewer::CHelpViewer(QString helpFile, QObject* parent) : QObject(parent), m_strHelpFile(std::move(helpFile)) {}

CHelpViewer::~CHelpViewer() = default;

bool CHelpViewer::Open() {
    if (m_bTried) {
        return m_pEngine != nullptr;
    }
    m_bTried = true;
    if (!QFileInfo(m_strHelpFile).isFile()) {
        return false;
    }
    const QString space = QHelpEngineCore::namespaceName(m_strHelpFile);
    if (space.isEmpty()) {
        return false;
    }
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        return false;
    }
    auto* engine = new QHelpEngine(folder->filePath(QStringLiteral("help.qhc")), this);
    engine->setReadOnly(false);
    if (!engine->setupData() || (!engine->registerDocumentation(m_strHelpFile) &&
                                 !engine->registeredDocumentations().contains(space))) {
        delete engine;
        return false;
    }
    m_collectionDir = std::move(folder);
    m_strNamespace = space;
    m_pEngine = engine;
    return true;
}

bool CHelpViewer::IsAvailable() { return Open(); }

QHelpEngine* CHelpViewer::Engine() { return Open() ? m_pEngine : nullptr; }

QUrl CHelpViewer::TopicUrl(const QString& topic) {
    const QString page = topic.isEmpty() ? DefaultTopic() : topic;
    const qsizetype hash = page.indexOf(u'#');
    QUrl url;
    url.setScheme(QStringLiteral("qthelp"));
    url.setHost(Open() ? m_strNamespace : QStringLiteral("stowlist"));
    url.setPath(QStringLiteral("/doc/") + (hash < 0 ? page : page.left(hash)));
    if (hash >= 0) {
        url.setFragment(page.mid(hash + 1));
    }
    return url;
}

QByteArray CHelpViewer::FileData(const QUrl& url) {
    if (!Open()) {
        return {};
    }
    QUrl page = url;
    page.setFragment(QString());
    return m_pEngine->fileData(page);
}

CHelpWindow* CHelpViewer::WindowOf(QWidget* requester) const {
    if (requester == nullptr) {
        return nullptr;
    }
    return requester->window()->findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

void CHelpViewer::ShowTopic(const QString& topic, QWidget* requester) {
    CHelpWindow* window = WindowOf(requester);
    if (window == nullptr) {
        window = new CHelpWindow(*this, requester != nullptr ? requester->window() : nullptr);
    }
    window->ShowUrl(TopicUrl(topic));
    window->show();
    window->raise();
    window->activateWindow();
}
