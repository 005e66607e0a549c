// The one rule that attaches a manifest's digests to a report's entries:
// listings by path in upper case, archive reports by a name that only one
// line under the archive's folder (or in the whole manifest) has.
#include "LocaleFormat.h"
#include "ManifestDigests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DigestCase {
    const char* name;
    ReportLayout layout;
    bool logKnown;
    std::vector<std::string> manifest; // paths, one a line
    std::vector<CDigestSubject> entries;
    std::vector<std::uint32_t> lines; // what each entry gets
};

TEST(ManifestDigests, AttachesEachLineToTheEntryItBelongsTo) {
    constexpr std::uint32_t none = ManifestDigests::kNoLine;
    const std::vector<DigestCase> cases = {
        {"listing: folder and name in upper case, folders never",
         ReportLayout::ListingTabbed,
         false,
         {"V/a/f1", "V/b/f1", "./V/Größe", "V/a"},
         {{"V/A", "F1", true}, {"V/B", "F1", true}, {"V", "GRÖSSE", true}, {"V", "GRÖßE", true}, {"V", "A", false},
          {"", "F1", true}},
         {0, 1, none, 2, none, none}},
        {"archive with its log: a name alone under the entry's archive",
         ReportLayout::ArchiveReport,
         true,
         {"X/f1", "Y/f1", "Y/sub/f2", "Y/f2", "XY/f3"},
         {{"X", "f1", true}, {"Y", "f1", true}, {"Y", "f2", true}, {"X", "f3", true}, {"XY", "F3", true}},
         {0, 1, none, none, none}},
        {"archive without its log: a name alone in the whole manifest",
         ReportLayout::ArchiveReport,
         false,
         {"X/f1", "Y/f1", "Y/f2"},
         {{"", "f1", true}, {"", "f2", true}, {"", "f3", true}},
         {none, 2, none}},
    };
    const CLocaleFormat upper("C.UTF-8", "C.UTF-8", "C.UTF-8");
    for (const DigestCase& c : cases) {
        std::vector<CManifestEntry> manifest;
        for (const std::string& path : c.manifest) {
            manifest.push_back({{}, path, false});
        }
        EXPECT_EQ(ManifestDigests::Attach(c.entries, c.layout, c.logKnown, manifest, upper), c.lines) << c.name;
    }
}

} // namespace
