#pragma once

#include "OptionsSnapshot.h"
#include "ReportEntry.h"
#include "VerifyLine.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CChecksumStage;
class CFoundTree;
class CLocaleFormat;
class CManifestReader;
struct CFoundEntry;

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
    struct CWork;

    VerifyOutcome Fail(std::string text);
    // The layout from the report; hidden entries and sub-folders from the
    // request, else from what the report's entries show, else from the settings.
    COptionsSnapshot ResolveOptions(ReportLayout layout, const std::vector<CReportEntry>& entries,
                                    bool& foldersOnlyWithSub) const;
    // The options of the walk as the first lines of a large report give
    // them; none for a small report, or when its first lines do not read.
    std::optional<COptionsSnapshot> GuessWalk(std::string_view bytes) const;
    // Whether two walks with these options find the same entries under the same names.
    static bool SameWalk(const COptionsSnapshot& one, const COptionsSnapshot& other);
    // The report's base and each entry's folder relative to it.
    void FindReportBase(CWork& work) const;
    // False when cancelled.
    bool Compare(CWork& work, const CFoundTree& found, CLocaleFormat& locale, const CManifestReader& manifest,
                 const ProgressFn& progress);
    static std::string ChangeOf(const CReportEntry& entry, const CFoundEntry& now, CLocaleFormat& locale, bool upper,
                                bool datesComparable);

    CVerifyRequest m_request;
    std::vector<CVerifyLine> m_arrLines;
    CVerifyCounts m_counts;
    std::vector<std::string> m_arrHints;
    std::string m_strError;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
    CChecksumStage* m_pStage = nullptr; // while Run() hashes, under m_mutex: what Cancel() reaches
};
