#include "CatalogueStore.h"

#include "SqliteDatabase.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const char* const kSchema = R"(
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
CREATE TABLE IF NOT EXISTS sources(
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL UNIQUE,
    kind INTEGER NOT NULL,
    state INTEGER NOT NULL,
    folder INTEGER,
    device INTEGER, inode INTEGER, size INTEGER, mtime INTEGER,
    entries INTEGER NOT NULL DEFAULT 0,
    log BLOB,
    filesystem BLOB);
CREATE INDEX IF NOT EXISTS sources_file ON sources(device, inode);
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS manifests(report BLOB PRIMARY KEY, manifest BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS nonreports(path BLOB PRIMARY KEY, size INTEGER NOT NULL, mtime INTEGER NOT NULL);
INSERT OR IGNORE INTO meta VALUES('catalogue', abs(random()));
INSERT OR IGNORE INTO meta VALUES('generation', 0);
)";

// What the check before each search reads of every source, in an index of
// its own: the rows hold the archive logs, and the columns after them would
// otherwise be read through every log's overflow pages.
const char* const kCheckIndex =
    "CREATE INDEX IF NOT EXISTS sources_check ON sources(kind, id, path, state, size, mtime, folder, filesystem)";

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

#define ROW_COLUMNS "id, path, kind, state, size, mtime, folder, filesystem"

CSourceRow RowAt(const CSqliteStatement& row) {
    return CSourceRow{row.Int(0),
                      std::string(row.Blob(1)),
                      static_cast<SourceKind>(row.Int(2)),
                      static_cast<SourceState>(row.Int(3)),
                      row.IsNull(4) ? 0 : row.Int(4),
                      row.IsNull(5) ? 0 : row.Int(5),
                      row.IsNull(6) ? 0 : row.Int(6),
                      std::string(row.Blob(7))};
}

} // namespace

CCatalogueStore::CCatalogueStore(std::string databasePath) : m_strPath(std::move(databasePath)) {}

CCatalogueStore::~CCatalogueStore() = default;

std::string CCatalogueStore::Error() const { return m_pDb ? m_pDb->LastError() : m_strOpenError; }

bool CCatalogueStore::Open(bool create) {
    struct stat info {};
    if (!create && stat(m_strPath.c_str(), &info) != 0) {
        m_strOpenError = m_strPath + ": " + std::strerror(errno);
        return false;
    }
    if (create) {
        // Makes the missing folders on the way, as "mkdir -p" does.
        const std::string folder = ParentOf(m_strPath);
        for (std::size_t at = 1; at != std::string::npos; at = folder.find('/', at + 1)) {
            mkdir(folder.substr(0, at).c_str(), 0700);
        }
        mkdir(folder.c_str(), 0700);
    }
    m_pDb = std::make_unique<CSqliteDatabase>();
    if (!m_pDb->Open(m_strPath, create) || !m_pDb->Exec(kSchema) || !AddMissingColumns()) {
        m_strOpenError = m_strPath + ": " + m_pDb->LastError();
        m_pDb.reset();
        return false;
    }
    m_pDb->Exec(kCheckIndex); // without it the check is slower, not wrong
    return true;
}

// Columns that catalogues made by earlier versions lack.
bool CCatalogueStore::AddMissingColumns() {
    const CSqliteStatement probe(m_pDb->Handle(), "SELECT filesystem FROM sources LIMIT 0");
    return probe.Ok() || m_pDb->Exec("ALTER TABLE sources ADD COLUMN filesystem BLOB");
}

std::optional<std::int64_t> CCatalogueStore::SourceId(const std::string& path) {
    CSqliteStatement id(m_pDb->Handle(), "SELECT id FROM sources WHERE path=?");
    id.Bind(1, path);
    if (!id.Step()) {
        return std::nullopt;
    }
    return id.Int(0);
}

bool CCatalogueStore::KnownUnderOtherPath(const CFileVersion& version, const std::string& path) {
    CSqliteStatement same(m_pDb->Handle(),
                          "SELECT id FROM sources WHERE device=? AND inode=? AND size=? AND mtime=? AND path<>?");
    same.Bind(1, static_cast<std::int64_t>(version.m_nDevice)).Bind(2, static_cast<std::int64_t>(version.m_nInode));
    same.Bind(3, static_cast<std::int64_t>(version.m_nSize)).Bind(4, version.m_nModifiedNs).Bind(5, path);
    return same.Step();
}

bool CCatalogueStore::AddSource(const std::string& path, SourceKind kind, std::int64_t folderId,
                                const CFileVersion& version, const std::string& fileSystem) {
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO sources(path, kind, state, folder, device, inode, size, mtime, filesystem) "
                            "VALUES(?,?,?,?,?,?,?,?,?) "
                            "ON CONFLICT(path) DO UPDATE SET state=CASE WHEN kind=2 THEN state ELSE 1 END, "
                            "filesystem=excluded.filesystem");
    insert.Bind(1, path).Bind(2, static_cast<std::int64_t>(kind)).Bind(3, static_cast<std::int64_t>(SourceState::Changed));
    if (folderId > 0) {
        insert.Bind(4, folderId);
    } else {
        insert.BindNull(4);
    }
    insert.Bind(5, static_cast<std::int64_t>(version.m_nDevice)).Bind(6, static_cast<std::int64_t>(version.m_nInode));
    insert.Bind(7, static_cast<std::int64_t>(version.m_nSize)).Bind(8, version.m_nModifiedNs).Bind(9, fileSystem);
    return insert.Run();
}

bool CCatalogueStore::RegisterReport(const std::string& path, const std::string& logText) {
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO sources(path, kind, state, log) VALUES(?,0,1,?) "
                            "ON CONFLICT(path) DO UPDATE SET state=1, log=excluded.log");
    insert.Bind(1, path);
    if (logText.empty()) {
        insert.BindNull(2);
    } else {
        insert.Bind(2, logText);
    }
    return insert.Run();
}

bool CCatalogueStore::RegisterManifest(const std::string& reportPath, const std::string& manifestPath) {
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO manifests(report, manifest) VALUES(?,?) "
                            "ON CONFLICT(report) DO UPDATE SET manifest=excluded.manifest");
    insert.Bind(1, reportPath).Bind(2, manifestPath);
    return insert.Run();
}

bool CCatalogueStore::ForgetManifest(const std::string& reportPath) {
    CSqliteStatement forget(m_pDb->Handle(), "DELETE FROM manifests WHERE report=?");
    forget.Bind(1, reportPath);
    return forget.Run();
}

std::string CCatalogueStore::ManifestOf(const std::string& reportPath) {
    CSqliteStatement row(m_pDb->Handle(), "SELECT manifest FROM manifests WHERE report=?");
    row.Bind(1, reportPath);
    return row.Step() ? std::string(row.Blob(0)) : std::string();
}

std::string CCatalogueStore::LogFor(std::int64_t id, const std::string& path) {
    CSqliteStatement own(m_pDb->Handle(), "SELECT log FROM sources WHERE id=? AND log IS NOT NULL");
    own.Bind(1, id);
    if (own.Step()) {
        return std::string(own.Blob(0));
    }
    // The logs in the report's folder: the paths from FOLDER/ up to FOLDER0
    // ('0' follows '/'), by the index of paths (the "+" keeps the planner
    // off the index of kinds, which would visit every log); those in
    // sub-folders are left out below. In the order they were registered.
    std::string text;
    const std::string folder = ParentOf(path);
    std::string from = folder == "/" ? folder : folder + "/";
    std::string to = from;
    to.back() = '0';
    CSqliteStatement logs(m_pDb->Handle(), "SELECT path, log FROM sources WHERE +kind=1 AND log IS NOT NULL "
                                           "AND path >= ? AND path < ? ORDER BY id");
    logs.Bind(1, std::string_view(from)).Bind(2, std::string_view(to));
    while (logs.Step()) {
        if (ParentOf(std::string(logs.Blob(0))) == folder) {
            text.append(logs.Blob(1));
            text.append("\n");
        }
    }
    return text;
}

bool CCatalogueStore::Rows(std::vector<CSourceRow>& rows) {
    CSqliteStatement all(m_pDb->Handle(), "SELECT " ROW_COLUMNS " FROM sources ORDER BY kind DESC");
    while (all.Step()) {
        rows.push_back(RowAt(all));
    }
    return all.Error() == 0;
}

std::optional<CSourceRow> CCatalogueStore::Row(std::int64_t id) {
    CSqliteStatement row(m_pDb->Handle(), "SELECT " ROW_COLUMNS " FROM sources WHERE id=?");
    row.Bind(1, id);
    if (!row.Step()) {
        return std::nullopt;
    }
    return RowAt(row);
}

std::vector<std::pair<std::int64_t, std::string>> CCatalogueStore::Folders() {
    std::vector<std::pair<std::int64_t, std::string>> folders;
    CSqliteStatement all(m_pDb->Handle(), "SELECT id, path FROM sources WHERE kind=2");
    while (all.Step()) {
        folders.emplace_back(all.Int(0), std::string(all.Blob(1)));
    }
    return folders;
}

std::vector<CSourceInfo> CCatalogueStore::List() {
    std::vector<CSourceInfo> sources;
    CSqliteStatement all(m_pDb->Handle(),
                         "SELECT path, kind, state, CASE WHEN kind=2 THEN "
                         "(SELECT count(*) FROM sources r WHERE r.folder=s.id AND r.kind=0) ELSE entries END "
                         "FROM sources s ORDER BY path");
    while (all.Step()) {
        sources.push_back({std::string(all.Blob(0)), static_cast<SourceKind>(all.Int(1)),
                           static_cast<SourceState>(all.Int(2)), all.Int(3)});
    }
    return sources;
}

bool CCatalogueStore::SetRead(std::int64_t id, const ReadOutcome& outcome) {
    CSqliteStatement update(m_pDb->Handle(),
                            "UPDATE sources SET state=?, kind=CASE WHEN ? THEN 1 ELSE kind END, device=?, inode=?, "
                            "size=?, mtime=?, entries=?, log=CASE WHEN ? THEN ? ELSE log END, "
                            "filesystem=CASE WHEN ?<>'' THEN ? ELSE filesystem END WHERE id=?");
    update.Bind(1, static_cast<std::int64_t>(outcome.m_state)).Bind(2, outcome.m_bLog ? 1 : 0);
    update.Bind(3, static_cast<std::int64_t>(outcome.m_nDevice)).Bind(4, static_cast<std::int64_t>(outcome.m_nInode));
    update.Bind(5, static_cast<std::int64_t>(outcome.m_nSize)).Bind(6, outcome.m_nModifiedNs);
    update.Bind(7, static_cast<std::int64_t>(outcome.m_nEntries)).Bind(8, outcome.m_bLog ? 1 : 0);
    update.Bind(9, outcome.m_strLogText).Bind(10, outcome.m_strFileSystem).Bind(11, outcome.m_strFileSystem);
    update.Bind(12, id);
    return update.Run();
}

bool CCatalogueStore::SetState(std::int64_t id, SourceState state) {
    CSqliteStatement mark(m_pDb->Handle(), "UPDATE sources SET state=? WHERE id=?");
    mark.Bind(1, static_cast<std::int64_t>(state)).Bind(2, id);
    return mark.Run();
}

bool CCatalogueStore::SetUnreachable(std::int64_t id) {
    CSqliteStatement mark(m_pDb->Handle(), "UPDATE sources SET state=?, mtime=? WHERE id=?");
    mark.Bind(1, static_cast<std::int64_t>(SourceState::Unreadable)).Bind(2, kNotLookedAt).Bind(3, id);
    return mark.Run();
}

bool CCatalogueStore::SetFileSystem(std::int64_t id, const std::string& fileSystem) {
    CSqliteStatement mark(m_pDb->Handle(), "UPDATE sources SET filesystem=? WHERE id=?");
    mark.Bind(1, fileSystem).Bind(2, id);
    return mark.Run();
}

bool CCatalogueStore::RememberNonReport(const std::string& path, const CFileVersion& version) {
    CSqliteStatement insert(m_pDb->Handle(), "INSERT OR REPLACE INTO nonreports(path, size, mtime) VALUES(?,?,?)");
    insert.Bind(1, path).Bind(2, static_cast<std::int64_t>(version.m_nSize)).Bind(3, version.m_nModifiedNs);
    return insert.Run();
}

bool CCatalogueStore::IsRememberedNonReport(const std::string& path, const CFileVersion& version) {
    CSqliteStatement row(m_pDb->Handle(), "SELECT 1 FROM nonreports WHERE path=? AND size=? AND mtime=?");
    row.Bind(1, path).Bind(2, static_cast<std::int64_t>(version.m_nSize)).Bind(3, version.m_nModifiedNs);
    return row.Step();
}

bool CCatalogueStore::DeleteSource(std::int64_t id) {
    CSqliteStatement source(m_pDb->Handle(), "DELETE FROM sources WHERE id=?");
    source.Bind(1, id);
    return source.Run();
}

bool CCatalogueStore::DeleteSourceWithFolder(std::int64_t id) {
    CSqliteStatement sources(m_pDb->Handle(), "DELETE FROM sources WHERE id=? OR folder=?");
    sources.Bind(1, id).Bind(2, id);
    return sources.Run();
}
