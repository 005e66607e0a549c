#pragma once

#include "CatalogueSource.h"
#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CCatalogueEntries;
class CCatalogueStore;
class CSourceScanner;

// The catalogue of reports, as the front ends use it: the store of sources
// (CCatalogueStore), what the file system says of them (CSourceScanner) and
// their searchable entries (CCatalogueEntries), one transaction per report.
//
// Threads: every method may be called from any thread; they run one at a
// time (an internal lock). Cancel() alone does not wait: it makes a Find or
// Refresh that is running now return early.
class CCatalogue {
public:
    // The settings that say whether the front ends add the reports they write (1, the default) or not (0).
    static constexpr const char* kSettingsSection = "Catalogue";
    static constexpr const char* kAddReportsKey = "AddReports";
    static constexpr const char* kChecksumsKey = "Checksums"; // 1: reports get a checksum manifest

    explicit CCatalogue(std::string databasePath);
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
    // reads them. False when a path does not exist or the database fails;
    // a file that is not a report is kept as unreadable with a warning.
    bool AddPaths(const std::vector<std::string>& paths, const ReadProgressFn& progress = {});
    // Cheap: remembers a report just written, with its archive log text, as
    // changed; its entries are read by the next Refresh or Find.
    bool RegisterReport(const std::string& reportPath, const std::string& logText);
    // Remembers the checksum manifest written beside a report; the last one
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
    std::vector<CSourceInfo> Sources();
    // Messages about files skipped by the last call (one line each).
    std::vector<std::string> TakeWarnings();

    // Reads changed reports first, then searches: `limit` hits from number
    // `offset` on, and the exact count.
    CFindResult Find(const CFindQuery& query, std::size_t limit, std::size_t offset = 0);
    void Cancel();

private:
    bool Fail(const std::string& what);
    bool DatabaseFailed();
    bool AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind);
    bool ReadSource(std::int64_t id);
    bool CheckSources(const ReadProgressFn& progress = {});
    bool ScanFolder(std::int64_t folderId, const std::string& folder);

    std::string m_strPath;
    std::unique_ptr<CCatalogueStore> m_pStore;
    std::unique_ptr<CSourceScanner> m_pScanner;
    std::unique_ptr<CCatalogueEntries> m_pEntries; // made when the store opens
    std::string m_strError;
    std::vector<std::string> m_arrWarnings;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
};
