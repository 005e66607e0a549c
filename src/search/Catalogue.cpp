#include "Catalogue.h"

#include "EntryBlob.h"
#include "ReportFile.h"
#include "ReportReader.h"
#include "SqliteDatabase.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr std::uint64_t kLargestReport = std::uint64_t(4) << 30;

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
    log BLOB);
CREATE INDEX IF NOT EXISTS sources_file ON sources(device, inode);
CREATE TABLE IF NOT EXISTS entries(source INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS manifests(report BLOB PRIMARY KEY, manifest BLOB NOT NULL);
INSERT OR IGNORE INTO meta VALUES('catalogue', abs(random()));
INSERT OR IGNORE INTO meta VALUES('generation', 0);
CREATE TRIGGER IF NOT EXISTS entries_added AFTER INSERT ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS entries_removed AFTER DELETE ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS entries_changed AFTER UPDATE ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
)";

// A path made absolute and free of links, "." and "..": one file reached
// two ways is one source. A path that does not exist stays as given.
std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::int64_t ModifiedNs(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

class CDir {
public:
    explicit CDir(const std::string& path) : m_pDir(opendir(path.c_str())) {}
    ~CDir() {
        if (m_pDir != nullptr) {
            closedir(m_pDir);
        }
    }
    CDir(const CDir&) = delete;
    CDir& operator=(const CDir&) = delete;
    DIR* Get() const { return m_pDir; }

private:
    DIR* m_pDir;
};

// Regular files under folder, links not followed.
void CollectFiles(const std::string& folder, std::vector<std::string>& files, int depth) {
    const CDir dir(folder);
    if (dir.Get() == nullptr || depth > 256) {
        return;
    }
    while (const dirent* entry = readdir(dir.Get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            CollectFiles(path, files, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            files.push_back(path);
        }
    }
}

class CTransaction {
public:
    explicit CTransaction(CSqliteDatabase& db) : m_db(db), m_bOpen(db.Exec("BEGIN IMMEDIATE")) {}
    ~CTransaction() {
        if (m_bOpen) {
            m_db.Exec("ROLLBACK");
        }
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;
    bool Open() const { return m_bOpen; }
    bool Commit() {
        m_bOpen = !m_db.Exec("COMMIT");
        return !m_bOpen;
    }

private:
    CSqliteDatabase& m_db;
    bool m_bOpen;
};

} // namespace

CCatalogue::CCatalogue(std::string databasePath) : m_strPath(std::move(databasePath)) {}

CCatalogue::~CCatalogue() = default;

std::string CCatalogue::LastError() const { return m_strError; }

bool CCatalogue::Fail(const std::string& what) {
    m_strError = what;
    return false;
}

bool CCatalogue::Open(bool create) {
    std::lock_guard lock(m_mutex);
    struct stat info {};
    if (!create && stat(m_strPath.c_str(), &info) != 0) {
        return Fail(m_strPath + ": " + std::strerror(errno));
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
    if (!m_pDb->Open(m_strPath, create) || !m_pDb->Exec(kSchema)) {
        const std::string error = m_strPath + ": " + m_pDb->LastError();
        m_pDb.reset();
        return Fail(error);
    }
    return true;
}

std::vector<std::string> CCatalogue::TakeWarnings() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_arrWarnings, {});
}

void CCatalogue::Cancel() {
    m_bCancel = true;
    // The database pointer only changes in Open, before any other thread is given the catalogue.
    if (m_pDb) {
        m_pDb->Interrupt();
    }
}

// A log or a report (or something unreadable, kept as a report).
SourceKind CCatalogue::SniffKind(const std::string& path) {
    CReportFile file;
    CReportReader reader;
    int error = 0;
    if (file.Load(path, kLargestReport, error) && reader.Read(file.m_strBytes, [](const CReportEntry&) {}) &&
        reader.Layout() == ReportLayout::ArchiveLog) {
        return SourceKind::Log;
    }
    return SourceKind::Report;
}

// Registers one file or folder as a source (without reading it).
bool CCatalogue::AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    const SourceKind kind = S_ISDIR(info.st_mode) ? SourceKind::Folder : fileKind;
    if (kind != SourceKind::Folder) {
        CSqliteStatement same(m_pDb->Handle(), "SELECT id FROM sources WHERE device=? AND inode=? AND path<>?");
        same.Bind(1, static_cast<std::int64_t>(info.st_dev)).Bind(2, static_cast<std::int64_t>(info.st_ino)).Bind(3, path);
        if (same.Step()) {
            return true; // already there under another path
        }
    }
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO sources(path, kind, state, folder, device, inode) VALUES(?,?,?,?,?,?) "
                            "ON CONFLICT(path) DO UPDATE SET state=CASE WHEN kind=2 THEN state ELSE 1 END");
    insert.Bind(1, path).Bind(2, static_cast<std::int64_t>(kind)).Bind(3, static_cast<std::int64_t>(SourceState::Changed));
    if (folderId > 0) {
        insert.Bind(4, folderId);
    } else {
        insert.BindNull(4);
    }
    insert.Bind(5, static_cast<std::int64_t>(info.st_dev)).Bind(6, static_cast<std::int64_t>(info.st_ino));
    return insert.Run() || Fail(m_pDb->LastError());
}

bool CCatalogue::AddPaths(const std::vector<std::string>& paths, const ReadProgressFn& progress) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    for (const std::string& given : paths) {
        const std::string path = CanonicalPath(given);
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return Fail(given + ": " + std::strerror(errno));
        }
        if (!AddOne(path, 0, S_ISDIR(info.st_mode) ? SourceKind::Folder : SniffKind(path))) {
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            CSqliteStatement id(m_pDb->Handle(), "SELECT id FROM sources WHERE path=?");
            id.Bind(1, path);
            if (id.Step() && !ScanFolder(id.Int(0), path)) {
                return false;
            }
        }
    }
    return CheckSources(progress);
}

bool CCatalogue::RegisterReport(const std::string& reportPath, const std::string& logText) {
    std::lock_guard lock(m_mutex);
    const std::string path = CanonicalPath(reportPath);
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO sources(path, kind, state, log) VALUES(?,0,1,?) "
                            "ON CONFLICT(path) DO UPDATE SET state=1, log=excluded.log");
    insert.Bind(1, path);
    if (logText.empty()) {
        insert.BindNull(2);
    } else {
        insert.Bind(2, logText);
    }
    return insert.Run() || Fail(path + ": " + m_pDb->LastError());
}

bool CCatalogue::RegisterManifest(const std::string& reportPath, const std::string& manifestPath) {
    std::lock_guard lock(m_mutex);
    if (manifestPath.empty()) {
        CSqliteStatement forget(m_pDb->Handle(), "DELETE FROM manifests WHERE report=?");
        forget.Bind(1, CanonicalPath(reportPath));
        return forget.Run() || Fail(reportPath + ": " + m_pDb->LastError());
    }
    CSqliteStatement insert(m_pDb->Handle(),
                            "INSERT INTO manifests(report, manifest) VALUES(?,?) "
                            "ON CONFLICT(report) DO UPDATE SET manifest=excluded.manifest");
    insert.Bind(1, CanonicalPath(reportPath)).Bind(2, CanonicalPath(manifestPath));
    return insert.Run() || Fail(manifestPath + ": " + m_pDb->LastError());
}

std::string CCatalogue::ManifestOf(const std::string& reportPath) {
    std::lock_guard lock(m_mutex);
    CSqliteStatement row(m_pDb->Handle(), "SELECT manifest FROM manifests WHERE report=?");
    row.Bind(1, CanonicalPath(reportPath));
    return row.Step() ? std::string(row.Blob(0)) : std::string();
}

std::optional<std::string> CCatalogue::LogOf(const std::string& reportPath) {
    std::lock_guard lock(m_mutex);
    const std::string path = CanonicalPath(reportPath);
    CSqliteStatement id(m_pDb->Handle(), "SELECT id FROM sources WHERE path=?");
    id.Bind(1, path);
    if (!id.Step()) {
        return std::nullopt;
    }
    std::string text = LogFor(id.Int(0), path);
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

bool CCatalogue::Remove(const std::vector<std::string>& paths) {
    std::lock_guard lock(m_mutex);
    for (const std::string& given : paths) {
        const std::string path = CanonicalPath(given);
        CTransaction transaction(*m_pDb);
        CSqliteStatement id(m_pDb->Handle(), "SELECT id FROM sources WHERE path=?");
        id.Bind(1, path);
        if (!id.Step()) {
            m_arrWarnings.push_back(given + ": not in the catalogue");
            continue;
        }
        const std::int64_t source = id.Int(0);
        CSqliteStatement entries(m_pDb->Handle(),
                                 "DELETE FROM entries WHERE source=? OR source IN (SELECT id FROM sources WHERE folder=?)");
        entries.Bind(1, source).Bind(2, source);
        CSqliteStatement sources(m_pDb->Handle(), "DELETE FROM sources WHERE id=? OR folder=?");
        sources.Bind(1, source).Bind(2, source);
        if (!entries.Run() || !sources.Run() || !transaction.Commit()) {
            return Fail(m_pDb->LastError());
        }
        m_pImage.reset();
    }
    return true;
}

// Finds reports and logs under a remembered folder that are not sources yet.
bool CCatalogue::ScanFolder(std::int64_t folderId, const std::string& folder) {
    std::vector<std::string> files;
    CollectFiles(folder, files, 0);
    CReportReader reader;
    CReportFile file;
    for (const std::string& path : files) {
        if (m_bCancel) {
            return true;
        }
        CSqliteStatement known(m_pDb->Handle(), "SELECT 1 FROM sources WHERE path=?");
        known.Bind(1, path);
        if (known.Step()) {
            continue;
        }
        int error = 0;
        if (path == m_strPath || !file.Load(path, kLargestReport, error) ||
            !reader.Read(file.m_strBytes, [](const CReportEntry&) {})) {
            continue; // not a report: not a source
        }
        if (!AddOne(path, folderId,
                    reader.Layout() == ReportLayout::ArchiveLog ? SourceKind::Log : SourceKind::Report)) {
            return false;
        }
    }
    return true;
}

// The archive log of a report: the one registered with it, otherwise the
// logs found in the same folder.
std::string CCatalogue::LogFor(std::int64_t id, const std::string& path) {
    CSqliteStatement own(m_pDb->Handle(), "SELECT log FROM sources WHERE id=? AND log IS NOT NULL");
    own.Bind(1, id);
    if (own.Step()) {
        return std::string(own.Blob(0));
    }
    std::string text;
    CSqliteStatement logs(m_pDb->Handle(), "SELECT path, log FROM sources WHERE kind=1 AND log IS NOT NULL");
    const std::string folder = ParentOf(path);
    while (logs.Step()) {
        if (ParentOf(std::string(logs.Blob(0))) == folder) {
            text.append(logs.Blob(1));
            text.append("\n");
        }
    }
    return text;
}

// Reads one report or log and stores its entries in one transaction.
bool CCatalogue::ReadSource(std::int64_t id) {
    CSqliteStatement row(m_pDb->Handle(), "SELECT path, kind FROM sources WHERE id=?");
    row.Bind(1, id);
    if (!row.Step()) {
        return true;
    }
    const std::string path(row.Blob(0));
    CReportFile file;
    int error = 0;
    CReportReader reader;
    CEntryBlobWriter blob;
    SourceState state = SourceState::Ok;
    std::string logText;
    bool isLog = false;
    if (!file.Load(path, kLargestReport, error)) {
        state = SourceState::Unreadable;
        m_arrWarnings.push_back(path + ": " + std::strerror(error));
    } else {
        reader.SetLog(LogFor(id, path));
        if (!reader.Read(file.m_strBytes, [&](const CReportEntry& entry) { blob.Add(entry); })) {
            state = SourceState::Unreadable;
            m_arrWarnings.push_back(path + ": not a report (" + reader.Reason() + ")");
            blob = CEntryBlobWriter();
        } else if (reader.Layout() == ReportLayout::ArchiveLog) {
            isLog = true;
            for (const auto& [tag, folder] : reader.LogLines()) {
                logText += tag + "\t" + folder + "\n";
            }
        }
    }
    const std::size_t count = isLog ? reader.LogLines().size() : blob.Count();
    CTransaction transaction(*m_pDb);
    CSqliteStatement clear(m_pDb->Handle(), "DELETE FROM entries WHERE source=?");
    clear.Bind(1, id);
    CSqliteStatement update(m_pDb->Handle(),
                            "UPDATE sources SET state=?, kind=CASE WHEN ? THEN 1 ELSE kind END, device=?, inode=?, "
                            "size=?, mtime=?, entries=?, log=CASE WHEN ? THEN ? ELSE log END WHERE id=?");
    update.Bind(1, static_cast<std::int64_t>(state)).Bind(2, isLog ? 1 : 0);
    update.Bind(3, static_cast<std::int64_t>(file.m_nDevice)).Bind(4, static_cast<std::int64_t>(file.m_nInode));
    update.Bind(5, static_cast<std::int64_t>(file.m_nSize)).Bind(6, file.m_nModifiedNs);
    update.Bind(7, static_cast<std::int64_t>(count)).Bind(8, isLog ? 1 : 0).Bind(9, logText).Bind(10, id);
    if (!transaction.Open() || !clear.Run() || !update.Run()) {
        return Fail(m_pDb->LastError());
    }
    if (state == SourceState::Ok && !isLog) {
        CSqliteStatement insert(m_pDb->Handle(), "INSERT INTO entries(source, data) VALUES(?,?)");
        insert.Bind(1, id).Bind(2, blob.Finish());
        if (!insert.Run()) {
            return Fail(m_pDb->LastError());
        }
    }
    if (!transaction.Commit()) {
        return Fail(m_pDb->LastError());
    }
    m_pImage.reset();
    return true;
}

// Notices reports that changed, went or came back, and reads what needs it:
// logs first, so that the reports read after them find their folders.
bool CCatalogue::CheckSources(const ReadProgressFn& progress) {
    struct Row {
        std::int64_t id;
        std::string path;
        SourceKind kind;
        SourceState state;
        std::int64_t size, mtime;
    };
    std::vector<Row> rows;
    {
        CSqliteStatement all(m_pDb->Handle(), "SELECT id, path, kind, state, size, mtime FROM sources ORDER BY kind DESC");
        while (all.Step()) {
            rows.push_back({all.Int(0), std::string(all.Blob(1)), static_cast<SourceKind>(all.Int(2)),
                            static_cast<SourceState>(all.Int(3)), all.Int(4), all.Int(5)});
        }
        if (all.Error() != 0) {
            return Fail(m_pDb->LastError());
        }
    }
    std::vector<std::int64_t> toRead;
    for (const Row& row : rows) {
        struct stat info {};
        const bool exists = stat(row.path.c_str(), &info) == 0;
        if (!exists) {
            struct stat parent {};
            const bool folderThere = stat(ParentOf(row.path).c_str(), &parent) == 0;
            if (folderThere && row.kind != SourceKind::Folder) {
                // Deleted or moved: its entries leave the catalogue.
                CTransaction transaction(*m_pDb);
                CSqliteStatement entries(m_pDb->Handle(), "DELETE FROM entries WHERE source=?");
                entries.Bind(1, row.id);
                CSqliteStatement source(m_pDb->Handle(), "DELETE FROM sources WHERE id=?");
                source.Bind(1, row.id);
                if (!entries.Run() || !source.Run() || !transaction.Commit()) {
                    return Fail(m_pDb->LastError());
                }
                m_pImage.reset();
            } else if (row.state != SourceState::Missing) {
                // An unmounted medium: kept, marked missing.
                CSqliteStatement mark(m_pDb->Handle(), "UPDATE sources SET state=2 WHERE id=?");
                mark.Bind(1, row.id);
                if (!mark.Run()) {
                    return Fail(m_pDb->LastError());
                }
            }
            continue;
        }
        if (row.kind == SourceKind::Folder) {
            if (row.state != SourceState::Ok) {
                CSqliteStatement mark(m_pDb->Handle(), "UPDATE sources SET state=0 WHERE id=?");
                mark.Bind(1, row.id);
                mark.Run();
            }
            continue;
        }
        if (row.state == SourceState::Changed || row.state == SourceState::Missing ||
            static_cast<std::int64_t>(info.st_size) != row.size || ModifiedNs(info) != row.mtime) {
            toRead.push_back(row.id);
        }
    }
    for (std::size_t done = 0; done < toRead.size(); ++done) {
        if (progress) {
            progress(done, toRead.size());
        }
        if (m_bCancel) {
            return true;
        }
        if (!ReadSource(toRead[done])) {
            return false;
        }
    }
    if (progress && !toRead.empty()) {
        progress(toRead.size(), toRead.size());
    }
    return true;
}

bool CCatalogue::Refresh(bool scanFolders, const ReadProgressFn& progress) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    if (scanFolders) {
        std::vector<std::pair<std::int64_t, std::string>> folders;
        CSqliteStatement all(m_pDb->Handle(), "SELECT id, path FROM sources WHERE kind=2");
        while (all.Step()) {
            folders.emplace_back(all.Int(0), std::string(all.Blob(1)));
        }
        for (const auto& [id, path] : folders) {
            if (!ScanFolder(id, path)) {
                return false;
            }
        }
    }
    return CheckSources(progress);
}

std::vector<CSourceInfo> CCatalogue::Sources() {
    std::lock_guard lock(m_mutex);
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

// The saved image when it belongs to the entries as they are now; otherwise
// the image built from the entries and saved for the next process (a cache:
// when saving fails, the next one builds it again).
bool CCatalogue::BuildImage() {
    CNameImage::Key key;
    bool keyed = false;
    {
        CSqliteStatement meta(m_pDb->Handle(),
                              "SELECT (SELECT value FROM meta WHERE key='catalogue'), "
                              "(SELECT value FROM meta WHERE key='generation')");
        keyed = meta.Step() && !meta.IsNull(0) && !meta.IsNull(1);
        if (keyed) {
            key.m_nCatalogue = static_cast<std::uint64_t>(meta.Int(0));
            key.m_nGeneration = static_cast<std::uint64_t>(meta.Int(1));
        }
    }
    const std::string imagePath = m_strPath + "-names";
    if (keyed && (m_pImage = CNameImage::Load(imagePath, key))) {
        return true;
    }
    CNameImage::CBuilder builder;
    CSqliteStatement all(m_pDb->Handle(),
                         "SELECT s.path, e.data FROM sources s JOIN entries e ON e.source=s.id WHERE s.kind=0");
    while (all.Step()) {
        const std::uint32_t report = builder.Report(std::string(all.Blob(0)));
        const bool ok = ReadEntryBlob(all.Blob(1), [&](const CReportEntry& e) {
            builder.Add(e.m_strName, builder.Place(e.m_strMedium, e.m_strFolder),
                        builder.Stamp(e.m_strDate, e.m_strTime), report, static_cast<std::uint32_t>(e.m_nLine),
                        e.m_bFolder, e.m_bWindows1252, e.m_nSize);
        });
        if (!ok) {
            m_arrWarnings.push_back(std::string(all.Blob(0)) + ": damaged entries in the catalogue; refresh it");
        }
    }
    if (all.Error() != 0) {
        return Fail(m_pDb->LastError());
    }
    m_pImage = builder.Build();
    if (keyed) {
        m_pImage->Save(imagePath, key);
    }
    return true;
}

CFindResult CCatalogue::Find(const CFindQuery& query, std::size_t limit, std::size_t offset) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    CFindResult result;
    if (!CheckSources() || (!m_pImage && !BuildImage())) {
        result.m_bCancelled = m_bCancel;
        result.m_bFailed = !m_bCancel;
        return result;
    }
    return m_pImage->Search(query, limit, m_bCancel, offset);
}
