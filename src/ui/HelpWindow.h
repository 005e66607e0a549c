#pragma once

#include <QUrl>
#include <QWidget>

class CHelpBrowser;
class CHelpViewer;
class QTreeView;

// A window that shows the pages of the help file, with the contents beside
// them and Back, Forward and Contents buttons. It deletes itself when closed.
class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    CHelpWindow(CHelpViewer& help, QWidget* owner);

    void ShowUrl(const QUrl& url);
    QUrl Source() const;
    CHelpBrowser* Browser() const { return m_pBrowser; }

private:
    void ShowUnavailable();

    CHelpViewer& m_help;
    CHelpBrowser* m_pBrowser = nullptr;
    QTreeView* m_pContents = nullptr;
};
