#pragma once

#include "CatalogueSource.h"
#include "CopiesQuery.h"
#include "CatalogueStore.h"
#include "FindQuery.h"
#include "ReportDigests.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CCatalogueEntries;
class CCopyIndex;
class CCopyKeyStore;
class CSegmentCopyKeys;
struct CFileVersion;
class CCatalogueStore;
class CSourceScanner;
class ISourceFileSystem;

// The catalogue of reports, as the front ends use it: the store of sources
// (CCatalogueStore), what the file system says of them (CSourceScanner) and
// their searchable entries (CCatalogueEntries), one transaction per report.
//
// Threads: every method may be called from any thread; they run one at a
// time (an internal lock). Cancel() alone does not wait: it makes a Find,
// Refresh or AddPaths that is running now return early, and touches no
// other call, running or to come.
class CCatalogue {
public:
    // The settings that say whether the front ends add the reports they write (1, the default) or not (0).
    static constexpr const char* kSettingsSection = "Catalogue";
    static constexpr const char* kAddReportsKey = "AddReports";
    static constexpr const char* kChecksumsKey = "Checksums"; // 1: reports get a checksum manifest

    // The sources' files are looked at at most this often before a search
    // (Refresh, AddPaths and a first search always look).
    static constexpr std::chrono::seconds kCheckWindow{10};

    explicit CCatalogue(std::string databasePath);
    // With another file system in place of the machine's (tests).
    CCatalogue(std::string databasePath, std::unique_ptr<ISourceFileSystem> fileSystem);
    // With the digests of the reports' files taken from their manifests as
    // they are read (without it, Copies groups by names alone).
    CCatalogue(std::string databasePath, ReportDigestsFn digests);
    CCatalogue(std::string databasePath, std::unique_ptr<ISourceFileSystem> fileSystem, ReportDigestsFn digests);
    ~CCatalogue();
    CCatalogue(const CCatalogue&) = delete;
    CCatalogue& operator=(const CCatalogue&) = delete;

    // Opens the database; with create, makes it (and its folder) when missing.
    bool Open(bool create);
    // The last failure, one line.
    std::string LastError() const;

    // Called on the caller's thread as reports are read: how many of how
    // many, first with none done.
    using ReadProgressFn = std::function<void(std::size_t done, std::size_t total)>;

    // Adds report files, archive logs and folders (searched recursively) and
    // reads them. False when a path does not exist or the database fails, and
    // when a file named is not a report ("PATH: not a report (line N: ...)"):
    // that file is not added, the other paths are. Files in the folders that
    // are not reports are remembered, and not read again until they change.
    bool AddPaths(const std::vector<std::string>& paths, const ReadProgressFn& progress = {});
    // Cheap: remembers a report just written, with its archive log text, as
    // changed; its entries are read by the next Refresh or Find.
    bool RegisterReport(const std::string& reportPath, const std::string& logText);
    // Remembers the checksum manifest written beside a report (forgets the
    // one remembered when manifestPath is empty: the report was rewritten
    // without one); the last one
    // of a report replaces the one before.
    bool RegisterManifest(const std::string& reportPath, const std::string& manifestPath);
    // The manifest remembered for a report, or empty.
    std::string ManifestOf(const std::string& reportPath);
    // The archive log known for a report (its own, or the logs kept beside
    // it), as "TAG\tFOLDER" lines; none when the report is not in the
    // catalogue or no log is known.
    std::optional<std::string> LogOf(const std::string& reportPath);
    bool Remove(const std::vector<std::string>& paths);
    // Reads reports that changed or were never read; with scanFolders also
    // looks for new reports in the remembered folders.
    bool Refresh(bool scanFolders, const ReadProgressFn& progress = {});
    // Merges the index's segments into as few as their largest size allows,
    // leaving out the entries of removed and re-read reports.
    bool Compact();
    // The sources, their states brought up to date from their files
    // (nothing is read) when kCheckWindow has passed since the last look.
    std::vector<CSourceInfo> Sources();
    // Messages about files skipped by the last call (one line each).
    std::vector<std::string> TakeWarnings();

    // Reads changed reports first, then searches: `limit` hits from number
    // `offset` on, and the exact count. Sees what any process changed; the
    // sources' files are looked at when kCheckWindow has passed.
    CFindResult Find(const CFindQuery& query, std::size_t limit, std::size_t offset = 0);
    // The same, each hit handed to sink in order instead of kept in the result.
    CFindResult Find(const CFindQuery& query, std::size_t limit, std::size_t offset, const FindHitSink& sink);
    void Cancel();

    // Reads changed reports first, then groups the catalogue's files by
    // copy (see CCopyIndex): the groups the query keeps, handed to onGroup
    // in their order, or with summary the media's counts. The grouping is
    // kept until the catalogue changes.
    CCopiesResult Copies(const CCopiesQuery& query, bool summary,
                         const std::function<void(const CCopyGroup&)>& onGroup = {});
    // Whether copy counts are at hand without grouping the catalogue first
    // (it was grouped since it last changed).
    bool CopiesReady();
    // The copy count of each file at (report, line), 0 for no file; reads
    // nothing, and uses the grouping kept when it is current.
    std::vector<std::uint32_t> CopiesOf(const std::vector<std::pair<std::string, std::uint64_t>>& places);

private:
    class CCancellable;

    bool Fail(const std::string& what);
    bool DatabaseFailed();
    bool EntriesFailed();
    bool CommitStaged();
    // Registers one file or folder as a source (without reading it). A new
    // file is on trial: dropped when it proves no report.
    bool AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind, const std::string& namedAs);
    bool ReadSource(std::int64_t id);
    bool DropNonReport(const CSourceRow& row, const CFileVersion& version, const std::string& namedAs,
                       const std::string& reason);
    // Looks at every source's file; with read, reads those that need it,
    // otherwise marks them changed.
    bool CheckSources(bool read, const ReadProgressFn& progress = {});
    bool CheckWindowPassed() const;
    bool ReadChanged();
    bool ScanFolder(std::int64_t folderId, const std::string& folder);
    // The grouping of the catalogue as it is now, made when it changed; null when it cannot be read.
    const CCopyIndex* CurrentCopyIndex(bool byName);
    std::pair<std::int64_t, std::int64_t> CopyIndexKey(); // the catalogue's identity and generation

    std::string m_strPath;
    std::unique_ptr<ISourceFileSystem> m_pFileSystem;
    std::unique_ptr<CCatalogueStore> m_pStore;
    std::unique_ptr<CSourceScanner> m_pScanner;
    std::unique_ptr<CCatalogueEntries> m_pEntries; // made when the store opens
    std::unique_ptr<CCopyKeyStore> m_pCopyKeys;    // made when the store opens
    ReportDigestsFn m_fnDigests;
    std::unique_ptr<CCopyIndex> m_pCopyIndex;
    std::unique_ptr<CSegmentCopyKeys> m_pCopyEntries; // where m_pCopyIndex reads its entries again
    std::pair<std::int64_t, std::int64_t> m_copyIndexKey{-1, -1}; // catalogue and generation it was made from
    std::string m_strError;
    std::vector<std::string> m_arrWarnings;
    std::optional<std::chrono::steady_clock::time_point> m_lastCheck;
    // Sources added by the call running now that are dropped when they are
    // no report: with the path as named (refused), or empty (remembered).
    std::unordered_map<std::int64_t, std::string> m_mapOnTrial;
    // Reports read whose entries wait for the next segment, with what
    // reading them found and their digests; stored together when that
    // segment is committed.
    struct CPendingRead {
        std::int64_t m_nId;
        std::unique_ptr<CCatalogueStore::ReadOutcome> m_pOutcome;
        std::string m_strDigests;
    };
    std::vector<CPendingRead> m_arrPending;
    std::vector<std::string> m_arrRefused;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
    std::mutex m_cancelMutex;    // guards m_bCancellable, taken by Cancel()
    bool m_bCancellable = false; // a Find, Refresh or AddPaths runs
};
