#include "FakeHost.h"

#include "CatalogEngine.h"

int CFakeHost::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
    m_boxes.push_back({text, caption, style});
    if (m_boxAnswers.empty()) {
        return (style & MB_YESNO) ? IDYES : IDOK;
    }
    const int answer = m_boxAnswers.front();
    m_boxAnswers.pop_front();
    return answer;
}

bool CFakeHost::RunArchiveSettings(CArchiveSettings& tags) {
    ++m_nArchiveDialogs;
    const int selected = m_pStore != nullptr ? tags.LoadArchiveSettings(*m_pStore) : 0;
    if (selected >= 0) {
        tags.m_strMediaType = std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(selected)]);
    }
    if (m_onArchiveSettings) {
        m_onArchiveSettings(tags);
    }
    if (m_bArchiveSettingsOk && m_pStore != nullptr) {
        tags.SaveArchiveSettings(*m_pStore);
    }
    return m_bArchiveSettingsOk;
}

bool CFakeHost::AskExportFileName(const std::string& proposal, const std::string& initialFolder,
                                  std::string& chosenPath) {
    m_proposals.push_back(proposal);
    m_initialFolders.push_back(initialFolder);
    if (m_saveAsAnswers.empty()) {
        return false;
    }
    chosenPath = m_saveAsAnswers.front();
    m_saveAsAnswers.pop_front();
    return !chosenPath.empty();
}

void CFakeHost::PostSortDone() {
    std::lock_guard lock(m_mutex);
    m_bSortDonePosted = true;
    m_sortDoneThread = std::this_thread::get_id();
    m_sortDone.notify_all();
}

void CFakeHost::CompleteSort(CCatalogEngine& engine) {
    {
        std::unique_lock lock(m_mutex);
        m_sortDone.wait(lock, [this] { return m_bSortDonePosted; });
        m_bSortDonePosted = false;
    }
    engine.OnSortDone();
}
