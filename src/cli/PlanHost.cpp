#include "PlanHost.h"

#include "ArchiveSettings.h"

CPlanHost::CPlanHost(CSettingsStore& store) : m_store(store) {}

void CPlanHost::SetTags(const std::string& mediaType, int mediaNumber, int multipleArchive) {
    m_strMediaType = mediaType;
    m_nMediaNumber = mediaNumber;
    m_bMultipleArchive = multipleArchive;
}

int CPlanHost::MessageBox(const std::string& text, const std::string&, unsigned style) {
    if (!m_strMessages.empty()) {
        m_strMessages.push_back('\n');
    }
    m_strMessages += text;
    return (style & MB_YESNO) != 0 ? IDYES : IDOK;
}

bool CPlanHost::RunArchiveSettings(CArchiveSettings& tags) {
    tags.m_strMediaType = m_strMediaType;
    tags.m_nMediaNumber = m_nMediaNumber;
    tags.m_nArchiveNumber = 1;
    tags.m_bMultipleArchive = m_bMultipleArchive;
    tags.SaveArchiveSettings(m_store); // the engine reads MultipleArchive back from the store
    m_nSettingsError = m_store.LastWriteError();
    return m_nSettingsError == 0;
}

std::string CPlanHost::TakeMessages() { return std::exchange(m_strMessages, std::string()); }
