#pragma once

#include "ManifestReader.h"
#include "ReportEntry.h"

#include <cstdint>
#include <string_view>
#include <vector>

class CLocaleFormat;

// One entry of a report, as the digests of its manifest are attached to it.
struct CDigestSubject {
    // Its folder relative to the report's base, "/" between names; for an
    // archive report whose log is known, its archive's folder (relative to
    // the same base as the manifest's paths); empty otherwise.
    std::string_view m_strFolder;
    std::string_view m_strName;
    bool m_bFile = true;
};

// Which manifest line holds the digest of which entry of a report, by the one
// rule that every comparison of digests across reports uses.
namespace ManifestDigests {

inline constexpr std::uint32_t kNoLine = UINT32_MAX;

// For a listing, a manifest line belongs to the file whose path relative to
// the base (folder, "/", name) equals the line's path, compared in upper
// case (`upper`'s, as listings write names). For an archive report, it
// belongs to the file of its name when exactly one manifest line has that
// name: among the lines under the file's archive folder when the log is
// known, in the whole manifest otherwise. Gives each subject its line, or
// kNoLine. Folders have none.
std::vector<std::uint32_t> Attach(const std::vector<CDigestSubject>& subjects, ReportLayout layout, bool logKnown,
                                  const std::vector<CManifestEntry>& manifest, const CLocaleFormat& upper);

} // namespace ManifestDigests
