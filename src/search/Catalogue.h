#pragma once

#include "FindQuery.h"
#include "NameImage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CSqliteDatabase;

enum class SourceKind { Report = 0, Log = 1, Folder = 2 };
enum class SourceState { Ok = 0, Changed = 1, Missing = 2, Unreadable = 3 };

struct CSourceInfo {
    std::string m_strPath;
    SourceKind m_kind = SourceKind::Report;
    SourceState m_state = SourceState::Changed;
    std::int64_t m_nEntries = 0; // for a folder: the reports found in it
};

// The catalogue of reports: one SQLite database (WAL) of sources (report
// files, archive logs, folders of reports) and their entries, one
// transaction per report, plus the in-memory image that Find scans.
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
    std::vector<CSourceInfo> Sources();
    // Messages about files skipped by the last call (one line each).
    std::vector<std::string> TakeWarnings();

    // Reads changed reports first, then searches: `limit` hits from number
    // `offset` on, and the exact count.
    CFindResult Find(const CFindQuery& query, std::size_t limit, std::size_t offset = 0);
    void Cancel();

private:
    bool Fail(const std::string& what);
    bool AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind);
    static SourceKind SniffKind(const std::string& path);
    bool ReadSource(std::int64_t id);
    bool CheckSources(const ReadProgressFn& progress = {});
    bool ScanFolder(std::int64_t folderId, const std::string& folder);
    std::string LogFor(std::int64_t id, const std::string& path);
    bool BuildImage();

    std::string m_strPath;
    std::unique_ptr<CSqliteDatabase> m_pDb;
    std::unique_ptr<CNameImage> m_pImage;
    std::string m_strError;
    std::vector<std::string> m_arrWarnings;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_mutex;
};
