#pragma once

#include <string>

// The path a manifest gives a file: `absolute` relative to the drop's base
// (the medium's root for a whole medium, otherwise the folder that holds the
// first dropped item), through "../" for an item from another folder. Both
// paths are absolute and taken as they are spelled: links are not resolved,
// repeated slashes and "." parts are ignored. The base itself gives ".".
std::string ManifestRelativePath(const std::string& base, const std::string& absolute);

// The manifest's file name for a report: ".sha256" in place of a final
// ".txt" in any case, added when the name has no such ending.
std::string ManifestFileFor(const std::string& reportPath);

// The manifest that a check of a report hashes against: the one beside the
// report (ManifestFileFor) when it is a file, else `remembered` (the one the
// catalogue keeps for the report) when that is; empty when there is none.
std::string ManifestToCheck(const std::string& reportPath, const std::string& remembered);
