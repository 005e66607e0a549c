#pragma once

#include "OptionsSnapshot.h"
#include "SettingsStore.h"

#include <array>
#include <optional>
#include <string>

struct OptionKey {
    Option option;
    int keyId; // string id of the key name
    int defaultValue;
};
extern const std::array<OptionKey, kOptionCount> kOptionKeys;

// The application's typed view of the settings file. Each read goes to the
// store, which parses the file again whenever it changed; a drop or an export
// reads the options once, as a snapshot. An override (the command line's)
// replaces a stored option for this process without being written.
class CAppSettings {
public:
    explicit CAppSettings(CSettingsStore& store);

    // The nine options now, overrides applied.
    COptionsSnapshot Snapshot();
    int Get(Option option);
    // Reads 0 while the key is absent (the archive Settings dialog shows 1).
    int GetMultipleArchive();
    std::string GetDefaultDir();

    // Stores the folder part of a full path: everything up to and including
    // its last "/", or the whole path when it has none.
    void SetDefaultDir(const std::string& path);

    void Override(Option option, int value);
    // Stores an option in the settings file under its key.
    void Write(Option option, int value);
    // Stores all nine options in one replacement of the file.
    bool WriteAll(const COptionsSnapshot& options);

    CSettingsStore& Store() { return m_store; }

private:
    CSettingsStore& m_store;
    std::array<std::optional<int>, kOptionCount> m_overrides{};
};
