#pragma once

#include "OptionsSnapshot.h"

#include <optional>
#include <string>
#include <vector>

// What to check, and against what.
struct CVerifyRequest {
    std::string m_strReportPath;
    // What was dropped, as a report run takes it: folders and files, or a
    // medium's root with a trailing "/".
    std::vector<std::string> m_arrPaths;
    // The archive log of an archive report (from --log or the catalogue);
    // none: files are matched by name anywhere under the paths.
    std::optional<std::string> m_logText;
    // The manifest to hash against; empty: none. The front ends fill in the
    // one beside the report (ManifestFileFor) unless checksums are off.
    std::string m_strManifestPath;
    // Options the user gave explicitly; they win over what the report shows.
    std::optional<bool> m_excludeHidden;
    std::optional<bool> m_excludeSubFolders;
    std::optional<bool> m_excludeEmptyFolders;
    // The settings file's options: what neither the user nor the report says.
    COptionsSnapshot m_settings;
    bool m_bIncludeOk = false; // keep "ok" lines in the account
};
