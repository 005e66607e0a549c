#pragma once

#include "VerifyLine.h"
#include "VerifyRequest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One of the two reports to compare.
struct CCompareSide {
    std::string m_strReportPath;
    std::optional<std::string> m_logText; // its archive log, when known
    std::string m_strManifestPath;        // its manifest; empty: none
};

struct CCompareRequest {
    CCompareSide m_old;
    CCompareSide m_new;
    bool m_bIncludeOk = false; // keep "ok" lines
    bool m_bFolderTotals = false; // find the folders whose totals differ (Folders())
};

// A folder whose totals differ: the files and bytes in and below it.
struct CFolderTotals {
    std::string m_strFolder; // relative to the base, "." for the base
    std::uint64_t m_nOldFiles = 0;
    std::uint64_t m_nNewFiles = 0;
    std::uint64_t m_nOldBytes = 0;
    std::uint64_t m_nNewBytes = 0;
};

// Compares two reports of a medium or a folder, neither mounted: the newer
// stands in for the walk that a check against the medium makes, through the
// same matcher (CEntryMatcher) and account (CMatchAccount). Paths compare
// relative to each report's base; dates in two locales' forms compare as
// dates (CDateForm); digests from the manifests (ManifestDigests) tell
// corrupt files and files moved under another name.
//
// Threads: Run() blocks its caller (never the user-interface thread) and
// reads the newer report on a second thread of its own meanwhile;
// Cancel() may be called from any thread at any time.
class CReportComparer {
public:
    enum class Outcome { Compared, Cancelled, Unreadable };
    using ProgressFn = std::function<void(int percent)>;

    explicit CReportComparer(CCompareRequest request);

    // Call once.
    Outcome Run(const ProgressFn& progress = {});
    void Cancel() { m_bCancel = true; }

    // The account in OLD's order, NEW's new entries after their folder's.
    const std::vector<CVerifyLine>& Lines() const { return m_arrLines; }
    const CVerifyCounts& Counts() const { return m_counts; }
    // The folders whose totals differ, in path order, when the request asked for them.
    const std::vector<CFolderTotals>& Folders() const { return m_arrFolders; }
    // Lines for the user about how the reports were compared.
    const std::vector<std::string>& Hints() const { return m_arrHints; }
    // Unreadable: one line naming what could not be read and why.
    const std::string& Error() const { return m_strError; }

private:
    Outcome Fail(std::string text);

    CCompareRequest m_request;
    std::vector<CVerifyLine> m_arrLines;
    CVerifyCounts m_counts;
    std::vector<CFolderTotals> m_arrFolders;
    std::vector<std::string> m_arrHints;
    std::string m_strError;
    std::atomic<bool> m_bCancel{false};
};
