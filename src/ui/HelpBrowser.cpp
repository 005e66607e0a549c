#include "HelpBrowser.h"

#include "HelpViewer.h"

CHelpBrowser::CHelpBrowser(CHelpViewer& help, QWidget* parent) : QTextBrowser(parent), m_help(help) {
    setOpenExternalLinks(true);
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() == QLatin1String("qthelp")) {
        return m_help.FileData(name);
    }
    return QTextBrowser::loadResource(type, name);
}
