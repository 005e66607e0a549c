#pragma once

#include "ReportDigests.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What Copies is asked: which groups of one file to give (all filters must hold).
struct CCopiesQuery {
    std::optional<std::uint32_t> m_nFewerThan; // copy count below it
    std::optional<std::uint32_t> m_nAtLeast;   // copy count at least it
    std::string m_strMediumPrefix;             // an entry on a medium whose name starts with it, ignoring case
    std::vector<std::string> m_arrTexts;       // an entry whose name holds every one, ignoring case
    bool m_bByName = false;                    // unhashed entries grouped by name and size only
};

// One group of entries that are one file, shown by its first entry in Find's
// order. Its texts are views that live until the sink it is handed to returns.
struct CCopyGroup {
    std::uint32_t m_nCopies = 0;
    std::vector<std::string_view> m_arrMedia; // in Find's case-folded order
    std::string_view m_strFolder;
    bool m_bFolderWindows1252 = false;
    std::string_view m_strName;
    bool m_bWindows1252 = false;
    std::uint64_t m_nSize = 0;
    std::optional<EntryDigest> m_digest;
};

// The file entries of one medium among the groups given.
struct CMediumCopies {
    std::string m_strMedium;
    std::uint64_t m_nFiles = 0;
    std::uint64_t m_nBytes = 0;
    std::uint64_t m_nOnlyHereFiles = 0; // in a group of one copy
    std::uint64_t m_nOnlyHereBytes = 0;
};

struct CCopiesResult {
    std::vector<CMediumCopies> m_arrMedia; // by medium (a summary); the groups go to the caller's sink
    std::vector<std::string> m_arrWarnings;
    bool m_bCancelled = false;
    bool m_bFailed = false; // the catalogue could not be read: see LastError()
};
