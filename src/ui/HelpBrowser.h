#pragma once

#include <QTextBrowser>

class CHelpViewer;

// A text browser that reads its pages and pictures from the help file.
class CHelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    CHelpBrowser(CHelpViewer& help, QWidget* parent);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    CHelpViewer& m_help;
};
