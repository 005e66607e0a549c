#pragma once

#include "SettingsStore.h"

#include <array>
#include <string>
#include <string_view>

// The medium tags every archive line and archive log line carries, with
// their storage in the "Archive Options" section. The archive Settings
// dialog edits them; drop processing reads and advances them.
class CArchiveSettings {
public:
    static constexpr std::array<std::string_view, 5> kMediaTypes = {"CD", "DAT", "DLT", "JAZ", "ZIP"};

    std::string m_strMediaType;
    int m_bMultipleArchive = 0;
    int m_nArchiveNumber = 0;
    int m_nMediaNumber = 0;

    // Reads the three numbers (default 1 each) into the members and returns
    // the index in kMediaTypes of the stored media type (default "CD"),
    // matched without regard to case, or -1 when it is none of them. The
    // stored text itself does not become m_strMediaType.
    int LoadArchiveSettings(CSettingsStore& store);

    // Writes the four members, in the order MediaNumber, ArchiveNumber,
    // MultipleArchive, MediaType.
    void SaveArchiveSettings(CSettingsStore& store) const;

    // Index in kMediaTypes of a text matched without regard to case, or -1.
    static int FindMediaType(std::string_view text);
};
