#pragma once

#include "AppSettings.h"
#include "CatalogEngine.h"
#include "HelpViewer.h"
#include "SettingsStore.h"
#include "StowlistDlg.h"
#include "TempTree.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMimeData;
class QPushButton;

// A main window over a settings file of its own, the built help file and a
// real temporary tree, shown on the offscreen platform. Reports use C.UTF-8
// and the test time zone.
class CWindowFixture {
public:
    explicit CWindowFixture(CEngineTiming timing = QuickTiming());
    ~CWindowFixture();

    // Short pauses, long enough for a few spinner turns.
    static CEngineTiming QuickTiming();

    void SetOption(Option option, int value);
    void SetArchive(const std::string& key, const std::string& value);
    int GetArchive(const std::string& key);
    std::string SettingsText() const;

    QPushButton* Button(const char* name) const;
    QLabel* Status() const;
    QString StatusText() const;

    // Drags data over the window and drops it, with the actions a file
    // manager offers. True when the window took the drop (as a copy).
    bool DropData(QMimeData* data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction);
    bool Drop(const std::vector<std::string>& relativePaths);

    // Every text the status line showed since the last call, in order,
    // sampled often enough to see each spinner step.
    QStringList TakeStatuses();

    CTempTree m_tree;
    QTemporaryDir m_config;
    CSettingsStore m_store;
    CAppSettings m_settings;
    CHelpViewer m_help;
    std::unique_ptr<CStowlistDlg> m_window;

private:
    void SampleStatus();

    QStringList m_statuses;
    QTimer m_sampler;
};
