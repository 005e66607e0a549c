#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class CHelpWindow;
class QHelpEngine;
class QTemporaryDir;
class QWidget;

// The program's help: the compiled help file (<executable name>.qch) and the
// help windows that show its topics. A help window belongs to the window
// that asked for it (a dialog, the main window) and closes with it; each
// window has at most one. The help file is opened at the first request, into
// a collection of its own in a temporary folder, so nothing outside it is
// written. A missing or unreadable help file is not reported as an error:
// the help window says that help is not available.
class CHelpViewer : public QObject {
    Q_OBJECT
public:
    explicit CHelpViewer(QString helpFile, QObject* parent = nullptr);
    ~CHelpViewer() override;

    // The topic that general help opens.
    static QString DefaultTopic() { return QStringLiteral("index.htm"); }

    // Shows a topic such as "options.htm#subfldr" (an empty topic is the
    // default one) in the help window of the window that holds `requester`.
    void ShowTopic(const QString& topic, QWidget* requester);
    void ShowDefaultTopic(QWidget* requester) { ShowTopic(QString(), requester); }

    // The help window that the window holding `requester` has open, if any.
    CHelpWindow* WindowOf(QWidget* requester) const;

    const QString& HelpFile() const { return m_strHelpFile; }
    bool IsAvailable();
    QUrl TopicUrl(const QString& topic);
    // The bytes of a page or picture of the help file; empty when it has none.
    QByteArray FileData(const QUrl& url);
    // Null while the help file is not available.
    QHelpEngine* Engine();

private:
    bool Open();

    QString m_strHelpFile;
    QString m_strNamespace;
    std::unique_ptr<QTemporaryDir> m_collectionDir;
    QHelpEngine* m_pEngine = nullptr; // child of this
    bool m_bTried = false;
};
