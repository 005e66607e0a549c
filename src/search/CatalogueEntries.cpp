#include "CatalogueEntries.h"

#include "EntryBlob.h"
#include "NameImage.h"
#include "SqliteDatabase.h"

namespace {

const char* const kEntriesSchema = R"(
CREATE TABLE IF NOT EXISTS entries(source INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TRIGGER IF NOT EXISTS entries_added AFTER INSERT ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS entries_removed AFTER DELETE ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS entries_changed AFTER UPDATE ON entries
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
)";

} // namespace

CCatalogueEntries::CCatalogueEntries(CSqliteDatabase& db, std::string imagePath)
    : m_db(db), m_strImagePath(std::move(imagePath)) {}

CCatalogueEntries::~CCatalogueEntries() = default;

bool CCatalogueEntries::CreateTables() { return m_db.Exec(kEntriesSchema); }

bool CCatalogueEntries::StoreEntries(std::int64_t source, const std::string& blob) {
    CSqliteStatement insert(m_db.Handle(), "INSERT INTO entries(source, data) VALUES(?,?)");
    insert.Bind(1, source).Bind(2, blob);
    if (!insert.Run()) {
        return false;
    }
    m_pImage.reset();
    return true;
}

bool CCatalogueEntries::DropEntries(std::int64_t source) {
    CSqliteStatement clear(m_db.Handle(), "DELETE FROM entries WHERE source=?");
    clear.Bind(1, source);
    if (!clear.Run()) {
        return false;
    }
    m_pImage.reset();
    return true;
}

bool CCatalogueEntries::DropEntriesWithFolder(std::int64_t source) {
    CSqliteStatement entries(m_db.Handle(),
                             "DELETE FROM entries WHERE source=? OR source IN (SELECT id FROM sources WHERE folder=?)");
    entries.Bind(1, source).Bind(2, source);
    if (!entries.Run()) {
        return false;
    }
    m_pImage.reset();
    return true;
}

void CCatalogueEntries::Forget() { m_pImage.reset(); }

// One read of the catalogue's identity and generation: what the entries
// are now, whoever changed them.
std::pair<std::int64_t, std::int64_t> CCatalogueEntries::CurrentKey() {
    CSqliteStatement meta(m_db.Handle(),
                          "SELECT (SELECT value FROM meta WHERE key='catalogue'), "
                          "(SELECT value FROM meta WHERE key='generation')");
    return meta.Step() ? std::pair(meta.Int(0), meta.Int(1)) : std::pair(std::int64_t(-1), std::int64_t(-1));
}

// The saved image when it belongs to the entries as they are now; otherwise
// the image built from the entries and saved for the next process (a cache:
// when saving fails, the next one builds it again).
bool CCatalogueEntries::BuildImage(std::vector<std::string>& warnings) {
    CNameImage::Key key;
    bool keyed = false;
    {
        CSqliteStatement meta(m_db.Handle(),
                              "SELECT (SELECT value FROM meta WHERE key='catalogue'), "
                              "(SELECT value FROM meta WHERE key='generation')");
        keyed = meta.Step() && !meta.IsNull(0) && !meta.IsNull(1);
        if (keyed) {
            key.m_nCatalogue = static_cast<std::uint64_t>(meta.Int(0));
            key.m_nGeneration = static_cast<std::uint64_t>(meta.Int(1));
        }
    }
    m_imageKey = keyed ? std::pair(static_cast<std::int64_t>(key.m_nCatalogue),
                                   static_cast<std::int64_t>(key.m_nGeneration))
                       : std::pair(std::int64_t(-1), std::int64_t(-1));
    if (keyed && (m_pImage = CNameImage::Load(m_strImagePath, key))) {
        return true;
    }
    CNameImage::CBuilder builder;
    CSqliteStatement all(m_db.Handle(),
                         "SELECT s.path, e.data FROM sources s JOIN entries e ON e.source=s.id WHERE s.kind=0");
    while (all.Step()) {
        const std::uint32_t report = builder.Report(std::string(all.Blob(0)));
        const bool ok = ReadEntryBlob(all.Blob(1), [&](const CReportEntry& e) {
            builder.Add(e.m_strName, builder.Place(e.m_strMedium, e.m_strFolder),
                        builder.Stamp(e.m_strDate, e.m_strTime), report, static_cast<std::uint32_t>(e.m_nLine),
                        e.m_bFolder, e.m_bWindows1252, e.m_nSize);
        });
        if (!ok) {
            warnings.push_back(std::string(all.Blob(0)) + ": damaged entries in the catalogue; refresh it");
        }
    }
    if (all.Error() != 0) {
        return false;
    }
    m_pImage = builder.Build();
    if (keyed) {
        m_pImage->Save(m_strImagePath, key);
    }
    return true;
}

CFindResult CCatalogueEntries::Search(const CFindQuery& query, std::size_t limit, std::size_t offset,
                                      const std::atomic<bool>& cancel, std::vector<std::string>& warnings) {
    if (m_pImage && CurrentKey() != m_imageKey) {
        m_pImage.reset(); // another catalogue object, maybe in another process, changed the entries
    }
    if (!m_pImage && !BuildImage(warnings)) {
        CFindResult result;
        result.m_bCancelled = cancel;
        result.m_bFailed = !cancel;
        return result;
    }
    return m_pImage->Search(query, limit, cancel, offset);
}
