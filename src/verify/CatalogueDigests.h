#pragma once

#include "ReportDigests.h"

// The digests a report's files have in the manifest that Verify would check
// it against (ManifestToCheck: beside the report, else the remembered one,
// under the age rule), attached by ManifestDigests::Attach. A manifest that
// cannot be read gives no digests. Thread-safe; reads the manifest's file.
namespace CatalogueDigests {

std::vector<std::optional<EntryDigest>> FromManifest(const CReportForDigests& report);

} // namespace CatalogueDigests
