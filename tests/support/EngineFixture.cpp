#include "EngineFixture.h"

#include "StringTable.h"

CEngineFixture::CEngineFixture(const std::string& localeName)
    : m_store(m_config.Path("stowlist.INI")), m_settings(m_store) {
    m_host.m_pStore = &m_store;
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(0);
    m_engine = std::make_unique<CCatalogEngine>(m_host, m_settings, CLocaleFormat(localeName, localeName, localeName),
                                                timing);
    m_engine->ResetSession();
}

void CEngineFixture::SetOption(Option option, int value) { m_settings.Write(option, value); }

void CEngineFixture::SetArchive(const std::string& key, const std::string& value) {
    m_store.WriteString(LoadString(IDS_SECTION_ARCHIVE), key, value);
}

DropOutcome CEngineFixture::DropAbsolute(const std::vector<std::string>& paths) {
    const DropOutcome outcome = m_engine->ProcessDrop(paths);
    if (outcome == DropOutcome::Sorting) {
        m_host.CompleteSort(*m_engine);
    }
    return outcome;
}

DropOutcome CEngineFixture::Drop(const std::vector<std::string>& relativePaths) {
    std::vector<std::string> paths;
    for (const std::string& relative : relativePaths) {
        paths.push_back(m_tree.Path(relative));
    }
    return DropAbsolute(paths);
}

std::string CEngineFixture::Export(const std::string& relativeName) {
    m_host.m_saveAsAnswers.push_back(m_tree.Path(relativeName));
    m_engine->ExportCatalogue();
    return m_tree.ReadText(relativeName);
}

std::vector<std::string> CEngineFixture::Records() {
    std::vector<std::string> out;
    for (const auto& record : m_engine->Session().m_arrFolderRecords) {
        std::string text = std::string(record->m_path) + "|";
        for (std::size_t i = 0; i < record->m_arrSubFolders.size(); ++i) {
            text += (i ? ";" : "") + std::string(record->m_arrSubFolders[i]);
        }
        text += "|";
        for (std::size_t i = 0; i < record->m_arrFiles.size(); ++i) {
            text += (i ? ";" : "") + std::string(record->m_arrFiles[i]);
        }
        out.push_back(text);
    }
    return out;
}
