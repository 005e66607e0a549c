#pragma once

#include "VerifyLine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CEntryMatcher;
class CFoundEntries;
class CReportSide;

// The account of a match, shared by a check against the medium and a
// comparison of two reports: a line per report entry in report order (ok
// lines only when asked for), the found entries that no report entry took
// after the lines of their folder (a new folder's contents right after it),
// and the counts.
class CMatchAccount {
public:
    // What a moved entry's line says, by report entry.
    using MovedDetailFn = std::function<std::string(std::size_t entry)>;

    // details: what corrupt and unreadable entries say, by report entry (taken).
    static void Build(const CReportSide& report, const CFoundEntries& found, const CEntryMatcher& matcher,
                      bool includeOk, const MovedDetailFn& movedDetail,
                      std::unordered_map<std::size_t, std::string>& details, std::vector<CVerifyLine>& lines,
                      CVerifyCounts& counts);
};
