#pragma once

#include <array>
#include <cstddef>

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

inline constexpr int kProcessArchive = 0;
inline constexpr int kProcessListing = 1;

// The options as one drop, or one export, read them: once, at its start, so
// that a change of the settings file meanwhile counts from the next one.
struct COptionsSnapshot {
    std::array<int, kOptionCount> m_values{};

    int operator[](Option option) const { return m_values[static_cast<std::size_t>(option)]; }
    int& operator[](Option option) { return m_values[static_cast<std::size_t>(option)]; }

    bool ExportData() const { return (*this)[Option::ExportData] != 0; }
    bool AutoView() const { return (*this)[Option::AutoView] != 0; }
    bool FormatFileSize() const { return (*this)[Option::FormatFileSize] != 0; }
    bool ExcludeEmptyFolders() const { return (*this)[Option::ExcludeEmptyFolders] != 0; }
    int OutputFormat() const { return (*this)[Option::OutputFormat]; }
    bool IsListing() const { return (*this)[Option::ProcessType] == kProcessListing; }
    bool DirectoryOnly() const { return (*this)[Option::DirectoryOnly] != 0; }
    bool ExcludeHidden() const { return (*this)[Option::ExcludeHiddenSystemInfo] != 0; }
    bool ExcludeSubFolders() const { return (*this)[Option::ExcludeSubFolders] != 0; }
};
