#include "AppSettings.h"

#include "PathName.h"
#include "StringTable.h"

const std::array<OptionKey, kOptionCount> kOptionKeys = {{
    {Option::ExportData, IDS_KEY_EXPORT_DATA, 1},
    {Option::AutoView, IDS_KEY_AUTO_VIEW, 1},
    {Option::FormatFileSize, IDS_KEY_FORMAT_FILE_SIZE, 1},
    {Option::ExcludeEmptyFolders, IDS_KEY_EXCLUDE_EMPTY, 0},
    {Option::OutputFormat, IDS_KEY_OUTPUT_FORMAT, 0},
    {Option::ProcessType, IDS_KEY_PROCESS_TYPE, 1},
    {Option::DirectoryOnly, IDS_KEY_DIRECTORY_ONLY, 0},
    {Option::ExcludeHiddenSystemInfo, IDS_KEY_EXCLUDE_HIDDEN, 1},
    {Option::ExcludeSubFolders, IDS_KEY_EXCLUDE_SUBFOLDERS, 0},
}};

CAppSettings::CAppSettings(CSettingsStore& store) : m_store(store) {}

int CAppSettings::Get(Option option) {
    const auto index = static_cast<std::size_t>(option);
    if (m_overrides[index]) {
        return *m_overrides[index];
    }
    const OptionKey& key = kOptionKeys[index];
    return m_store.GetInt(LoadString(IDS_SECTION_OPTIONS), LoadString(key.keyId), key.defaultValue);
}

COptionsSnapshot CAppSettings::Snapshot() {
    COptionsSnapshot options;
    for (const OptionKey& key : kOptionKeys) {
        options[key.option] = Get(key.option);
    }
    return options;
}

void CAppSettings::Override(Option option, int value) { m_overrides[static_cast<int>(option)] = value; }

void CAppSettings::Write(Option option, int value) {
    for (const OptionKey& key : kOptionKeys) {
        if (key.option == option) {
            m_store.WriteInt(LoadString(IDS_SECTION_OPTIONS), LoadString(key.keyId), value);
        }
    }
}

bool CAppSettings::WriteAll(const COptionsSnapshot& options) {
    std::vector<CSettingsStore::KeyValue> values;
    for (const OptionKey& key : kOptionKeys) {
        values.emplace_back(LoadString(key.keyId), std::to_string(options[key.option]));
    }
    return m_store.WriteValues(LoadString(IDS_SECTION_OPTIONS), values);
}

int CAppSettings::GetMultipleArchive() {
    return m_store.GetInt(LoadString(IDS_SECTION_ARCHIVE), LoadString(IDS_KEY_MULTIPLE_ARCHIVE), 0);
}

std::string CAppSettings::GetDefaultDir() {
    return m_store.GetString(LoadString(IDS_SECTION_EXPORT), LoadString(IDS_KEY_DEFAULT_DIR), "");
}

void CAppSettings::SetDefaultDir(const std::string& path) {
    const std::string_view folder = path.find('/') == std::string::npos ? std::string_view(path) : PathName::FolderOf(path);
    m_store.WriteString(LoadString(IDS_SECTION_EXPORT), LoadString(IDS_KEY_DEFAULT_DIR), folder);
}
