#include "ArchiveSettings.h"

#include "StringTable.h"

namespace {
constexpr std::string_view kMediaTypeKey = "MediaType";
}

int CArchiveSettings::FindMediaType(std::string_view text) {
    for (std::size_t i = 0; i < kMediaTypes.size(); ++i) {
        const std::string_view type = kMediaTypes[i];
        bool same = type.size() == text.size();
        for (std::size_t c = 0; same && c < text.size(); ++c) {
            const char folded = (text[c] >= 'a' && text[c] <= 'z') ? static_cast<char>(text[c] - 32) : text[c];
            same = folded == type[c];
        }
        if (same) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CArchiveSettings::LoadArchiveSettings(CSettingsStore& store) {
    const std::string& section = LoadString(IDS_SECTION_ARCHIVE);
    m_nMediaNumber = store.GetInt(section, LoadString(IDS_KEY_MEDIA_NUMBER), 1);
    m_nArchiveNumber = store.GetInt(section, LoadString(IDS_KEY_ARCHIVE_NUMBER), 1);
    m_bMultipleArchive = store.GetInt(section, LoadString(IDS_KEY_MULTIPLE_ARCHIVE), 1);
    return FindMediaType(store.GetString(section, kMediaTypeKey, "CD"));
}

void CArchiveSettings::SaveArchiveSettings(CSettingsStore& store) const {
    store.WriteValues(LoadString(IDS_SECTION_ARCHIVE),
                      {{LoadString(IDS_KEY_MEDIA_NUMBER), std::to_string(m_nMediaNumber)},
                       {LoadString(IDS_KEY_ARCHIVE_NUMBER), std::to_string(m_nArchiveNumber)},
                       {LoadString(IDS_KEY_MULTIPLE_ARCHIVE), std::to_string(m_bMultipleArchive)},
                       {std::string(kMediaTypeKey), m_strMediaType}});
}
