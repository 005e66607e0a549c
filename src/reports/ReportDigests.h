#pragma once

#include "ReportEntry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using EntryDigest = std::array<std::uint8_t, 32>; // SHA-256

// A report as the catalogue has just read it, for the digests of its files.
struct CReportForDigests {
    const std::string& m_strReportPath;
    const std::string& m_strRememberedManifest; // the manifest the catalogue keeps for it; may be empty
    ReportLayout m_layout;
    const std::string& m_strLogText;            // "TAG\tFOLDER" lines; empty when no log is known
    const std::vector<CReportEntry>& m_arrEntries;
};

// Gives each entry of the report its digest, or none: one per entry. The
// catalogue is handed one by its front end, which knows where digests come
// from; it must not throw.
using ReportDigestsFn = std::function<std::vector<std::optional<EntryDigest>>(const CReportForDigests&)>;
