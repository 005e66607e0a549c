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

// The manifest that a check of a report hashes against, and one found but
// left aside with why.
struct CManifestChoice {
    std::string m_strPath;        // empty when there is none to use
    std::string m_strIgnoredPath; // a manifest found and not used; empty when none
    std::string m_strReason;      // why m_strIgnoredPath is not used, one line
};

// How much earlier than its report a manifest may be modified and still be
// taken as describing it: every front end writes the manifest after the report.
constexpr long long kManifestSlackNs = 2'000'000'000;

// The manifest that a check of a report hashes against: the one beside the
// report (ManifestFileFor), else `remembered` (the one the catalogue keeps for
// the report), whichever is first a file modified no earlier than the report
// less kManifestSlackNs: an older one describes an earlier report and is left
// aside. A manifest the user names is used as it is, without this rule.
CManifestChoice ManifestToCheck(const std::string& reportPath, const std::string& remembered);

// A report has just been written at reportPath, and manifestWritten (empty
// when none) by the same run: a manifest beside the report that the run did
// not write describes an earlier report and is removed. Returns 0, or errno's
// value when it is there and cannot be removed.
int RetireStaleManifest(const std::string& reportPath, const std::string& manifestWritten);
