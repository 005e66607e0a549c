#pragma once

#include "CatalogHost.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CCatalogEngine;

// A front end that records every call and answers from a script.
class CFakeHost : public ICatalogHost {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned style;
    };

    // Scripted answers, taken in order; an empty script answers IDYES / OK.
    std::deque<int> m_boxAnswers;
    // The archive Settings dialog: how the user changes the loaded tags, and
    // whether OK (true) or Cancel (false) ends it.
    std::function<void(CArchiveSettings&)> m_onArchiveSettings;
    bool m_bArchiveSettingsOk = true;
    // Save As: the full path chosen, or empty to cancel.
    std::deque<std::string> m_saveAsAnswers;

    std::vector<std::string> m_statuses;
    std::vector<Box> m_boxes;
    std::vector<std::string> m_proposals;      // "Export1", ...
    std::vector<std::string> m_initialFolders; // where Save As opened
    std::vector<std::string> m_openedReports;
    std::vector<std::string> m_events; // "SortStarted", "SortFinished", "Export on", "Busy on", ...
    int m_nArchiveDialogs = 0;
    std::thread::id m_sortDoneThread;

    // Waits for PostSortDone and then completes the sort on this thread.
    void CompleteSort(CCatalogEngine& engine);

    void ShowStatus(const std::string& text) override {
        m_statuses.push_back(text);
        if (m_onStatus) {
            m_onStatus(text);
        }
    }
    // Called after each status text is recorded: lets a test act mid-operation.
    std::function<void(const std::string&)> m_onStatus;
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool RunArchiveSettings(CArchiveSettings& tags) override;
    bool AskExportFileName(const std::string& proposal, const std::string& initialFolder,
                           std::string& chosenPath) override;
    void EnableExport(bool enable) override { m_events.push_back(enable ? "Export on" : "Export off"); }
    void SetBusy(bool busy) override { m_events.push_back(busy ? "Busy on" : "Busy off"); }
    void SortStarted() override { m_events.push_back("SortStarted"); }
    void PostSortDone() override;
    void SortFinished() override { m_events.push_back("SortFinished"); }
    void OpenReport(const std::string& path) override { m_openedReports.push_back(path); }
    void Pause(std::chrono::milliseconds) override { m_events.push_back("Pause"); }

    // The settings store the archive dialog loads from and saves to.
    CSettingsStore* m_pStore = nullptr;

private:
    std::mutex m_mutex;
    std::condition_variable m_sortDone;
    bool m_bSortDonePosted = false;
};
