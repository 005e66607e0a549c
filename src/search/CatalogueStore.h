#pragma once

#include "CatalogueSource.h"
#include "SourceFileSystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CSqliteDatabase;

// The record of the catalogue in its SQLite database (WAL): the schema, the
// sources (report files, archive logs, folders of reports) with their state,
// the manifests remembered for reports, and the generation that counts
// changes of the searchable entries. Every write runs in the caller's
// transaction (CTransaction over Db()) or as one statement.
//
// Threads: one thread at a time (CCatalogue's lock).
class CCatalogueStore {
public:
    explicit CCatalogueStore(std::string databasePath);
    ~CCatalogueStore();
    CCatalogueStore(const CCatalogueStore&) = delete;
    CCatalogueStore& operator=(const CCatalogueStore&) = delete;

    // Opens the database; with create, makes it (and its folders) when missing.
    // False with Error() set to "PATH: reason".
    bool Open(bool create);
    bool IsOpen() const { return m_pDb != nullptr; }
    const std::string& Path() const { return m_strPath; }
    CSqliteDatabase& Db() { return *m_pDb; }
    // The database's last failure, one line.
    std::string Error() const;
    const std::string& OpenError() const { return m_strOpenError; }

    std::optional<std::int64_t> SourceId(const std::string& path);
    // Another source under another path is this very file: same device and
    // inode (which alone may be a deleted file's, reused), size and time.
    bool KnownUnderOtherPath(const CFileVersion& version, const std::string& path);
    // Adds a source as changed, or marks a known file changed again (a folder keeps its state).
    bool AddSource(const std::string& path, SourceKind kind, std::int64_t folderId, const CFileVersion& version,
                   const std::string& fileSystem);
    // A report just written, changed, with its archive log text (none when empty).
    bool RegisterReport(const std::string& path, const std::string& logText);
    bool RegisterManifest(const std::string& reportPath, const std::string& manifestPath);
    bool ForgetManifest(const std::string& reportPath);
    std::string ManifestOf(const std::string& reportPath);
    // The archive log of a report: the one registered with it, otherwise the
    // logs found in the same folder, as "TAG\tFOLDER" lines.
    std::string LogFor(std::int64_t id, const std::string& path);

    // Every source, logs and folders before reports. False when the database fails.
    bool Rows(std::vector<CSourceRow>& rows);
    std::optional<CSourceRow> Row(std::int64_t id);
    // Remembered folders: (id, path).
    std::vector<std::pair<std::int64_t, std::string>> Folders();
    // The sources by path, for the list.
    std::vector<CSourceInfo> List();

    struct ReadOutcome {
        SourceState m_state = SourceState::Ok;
        bool m_bLog = false;
        std::uint64_t m_nDevice = 0, m_nInode = 0, m_nSize = 0;
        std::int64_t m_nModifiedNs = 0;
        std::size_t m_nEntries = 0;
        std::string m_strLogText; // "TAG\tFOLDER\n" lines of a log
        std::string m_strFileSystem; // where its folder lies; empty keeps the one known
    };
    // What reading a source found; in the caller's transaction.
    bool SetRead(std::int64_t id, const ReadOutcome& outcome);
    bool SetState(std::int64_t id, SourceState state);
    // Unreadable, and to be read again once its file can be looked at.
    bool SetUnreachable(std::int64_t id);
    bool SetFileSystem(std::int64_t id, const std::string& fileSystem);
    // Files found in folders that are not reports, by path, size and time.
    bool RememberNonReport(const std::string& path, const CFileVersion& version);
    bool IsRememberedNonReport(const std::string& path, const CFileVersion& version);
    bool DeleteSource(std::int64_t id);
    // The source and, for a folder, the reports found in it.
    bool DeleteSourceWithFolder(std::int64_t id);

private:
    bool AddMissingColumns();

    std::string m_strPath;
    std::unique_ptr<CSqliteDatabase> m_pDb;
    std::string m_strOpenError;
};
