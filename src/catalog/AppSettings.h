#pragma once

#include "SettingsStore.h"

#include <array>
#include <optional>
#include <string>

// The nine options of the "Options" section, in the order in which they are
// read and written.
enum class Option {
    ExportData,
    AutoView,
    FormatFileSize,
    ExcludeEmptyFolders,
    OutputFormat,
    ProcessType,
    DirectoryOnly,
    ExcludeHiddenSystemInfo,
    ExcludeSubFolders,
};
inline constexpr int kOptionCount = 9;

struct OptionKey {
    Option option;
    int keyId; // string id of the key name
    int defaultValue;
};
extern const std::array<OptionKey, kOptionCount> kOptionKeys;

inline constexpr int kProcessArchive = 0;
inline constexpr int kProcessListing = 1;

// The application's typed view of the settings file: one getter per key.
// Getters are cheap enough for every entry of a walk: they re-resolve their
// values only when the store reports new contents. An override (the command
// line's) replaces a stored option for this process without being written.
class CAppSettings {
public:
    explicit CAppSettings(CSettingsStore& store);

    int GetExportData() { return Get(Option::ExportData); }
    int GetAutoView() { return Get(Option::AutoView); }
    int GetFormatFileSize() { return Get(Option::FormatFileSize); }
    int GetExcludeEmptyFolders() { return Get(Option::ExcludeEmptyFolders); }
    int GetOutputFormat() { return Get(Option::OutputFormat); }
    int GetProcessType() { return Get(Option::ProcessType); }
    int GetDirectoryOnly() { return Get(Option::DirectoryOnly); }
    int GetExcludeHiddenSystemInfo() { return Get(Option::ExcludeHiddenSystemInfo); }
    int GetExcludeSubFolders() { return Get(Option::ExcludeSubFolders); }
    // Reads 0 while the key is absent (the archive Settings dialog shows 1).
    int GetMultipleArchive();
    std::string GetDefaultDir();

    // Stores the folder part of a full path: everything up to and including
    // its last "/", or the whole path when it has none.
    void SetDefaultDir(const std::string& path);

    int Get(Option option) {
        const auto index = static_cast<std::size_t>(option);
        if (m_overrides[index]) {
            return *m_overrides[index];
        }
        if (m_store.Generation() != m_nResolvedGeneration) {
            Resolve();
        }
        return m_values[index];
    }
    void Override(Option option, int value);
    // Stores an option in the settings file under its key.
    void Write(Option option, int value);

    CSettingsStore& Store() { return m_store; }

private:
    void Resolve();

    CSettingsStore& m_store;
    std::uint64_t m_nResolvedGeneration = 0;
    std::array<int, kOptionCount> m_values{};
    std::array<std::optional<int>, kOptionCount> m_overrides{};
    int m_nMultipleArchive = 0;
};
