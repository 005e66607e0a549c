#pragma once

#include "VerifyLine.h"
#include "VerifyRequest.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CChecksumStage;
class CEntryMatcher;
class CFoundTree;
class CManifestReader;
class CReportSide;

// How a check ended.
enum class VerifyOutcome {
    Checked,     // Lines() and Counts() hold the account
    Cancelled,   // Cancel() was called
    Unreadable,  // the report, the manifest or a path could not be read: Error()
};

// Checks a medium against its report (and its checksum manifest when there
// is one): walks the paths as the drop did, with the report's layout and
// options, compares every entry by name, size, date text and time text
// (folders by presence), finds moved files, then hashes the files that the
// manifest names and that still match their report line.
//
// Threads: Run() blocks its caller (never the user-interface thread) and
// calls the progress function on that thread or on a hashing thread, never
// two calls at once. Cancel() may be called from any thread at any time.
class CMediumVerifier {
public:
    // percent: 0..100, rising.
    using ProgressFn = std::function<void(int percent)>;

    explicit CMediumVerifier(CVerifyRequest request);
    ~CMediumVerifier();
    CMediumVerifier(const CMediumVerifier&) = delete;
    CMediumVerifier& operator=(const CMediumVerifier&) = delete;

    // Call once.
    VerifyOutcome Run(const ProgressFn& progress = {});
    void Cancel();

    // The account in report order, new entries after their folder's.
    const std::vector<CVerifyLine>& Lines() const { return m_arrLines; }
    const CVerifyCounts& Counts() const { return m_counts; }
    // Lines for the user about how the report was read: a likely locale of
    // its dates, a likely time-zone shift. Empty when there is nothing to say.
    const std::vector<std::string>& Hints() const { return m_arrHints; }
    // Unreadable: one line naming what could not be read and why.
    const std::string& Error() const { return m_strError; }

    // A report up to this size is read before the walk starts; a larger one
    // while it runs (tests set 0 to take that way with a small report).
    std::size_t m_nReadFirstBytes = std::size_t{1} << 18;

private:
    struct CWalk;

    VerifyOutcome Fail(std::string text);
    // Hashes the files that the manifest names and that still match their
    // line; corrupt and unreadable ones get their detail. False when cancelled.
    bool Hash(const CReportSide& report, const CFoundTree& found, CEntryMatcher& matcher,
              const CManifestReader& manifest, std::unordered_map<std::size_t, std::string>& details,
              const ProgressFn& progress);
    void Account(const CReportSide& report, const CFoundTree& found, const CEntryMatcher& matcher,
                 std::unordered_map<std::size_t, std::string>& details);

    CVerifyRequest m_request;
    std::vector<CVerifyLine> m_arrLines;
    CVerifyCounts m_counts;
    std::vector<std::string> m_arrHints;
    std::string m_strError;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
    CChecksumStage* m_pStage = nullptr; // while Run() hashes, under m_mutex: what Cancel() reaches
};
