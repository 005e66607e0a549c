#include "HelpWindow.h"

#include "AppIcon.h"
#include "HelpBrowser.h"
#include "HelpViewer.h"
#include "TextFormat.h"
#include "UiText.h"

#include <QAction>
#include <QHeaderView>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(CHelpViewer& help, QWidget* owner) : QWidget(owner, Qt::Window), m_help(help) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Text(IDS_HELP_TITLE));
    setWindowIcon(StowlistIcon());

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), Text(IDS_HELP_BACK));
    QAction* forward = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), Text(IDS_HELP_FORWARD));
    QAction* home = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), Text(IDS_HELP_CONTENTS));
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* splitter = new QSplitter(this);
    m_pBrowser = new CHelpBrowser(help, splitter);
    if (QHelpEngine* engine = help.Engine()) {
        m_pContents = new QTreeView(splitter);
        m_pContents->setModel(engine->contentModel());
        m_pContents->header()->hide();
        m_pContents->setUniformRowHeights(true);
        connect(engine->contentModel(), &QHelpContentModel::contentsCreated, m_pContents, &QTreeView::expandAll);
        m_pContents->expandAll();
        connect(m_pContents, &QTreeView::activated, this, [this, engine](const QModelIndex& index) {
            if (QHelpContentItem* item = engine->contentModel()->contentItemAt(index)) {
                ShowUrl(item->url());
            }
        });
        connect(m_pContents, &QTreeView::clicked, m_pContents, &QTreeView::activated);
        splitter->insertWidget(0, m_pContents);
        splitter->setStretchFactor(0, 0);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({200, 560});
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter, 1);
    resize(800, 560);

    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    connect(back, &QAction::triggered, m_pBrowser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_pBrowser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { ShowUrl(m_help.TopicUrl(QString())); });
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_pBrowser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
}

void CHelpWindow::ShowUnavailable() {
    const std::string text = FormatString(IDS_HELP_MISSING, {PathFromQString(m_help.HelpFile())});
    m_pBrowser->setPlainText(ToQString(text));
}

void CHelpWindow::ShowUrl(const QUrl& url) {
    if (!m_help.IsAvailable() || m_help.FileData(url).isEmpty()) {
        ShowUnavailable();
        return;
    }
    m_pBrowser->setSource(url);
}

QUrl CHelpWindow::Source() const { return m_pBrowser->source(); }
