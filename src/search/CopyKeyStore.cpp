#include "CopyKeyStore.h"

#include "SqliteDatabase.h"

namespace {

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS copy_keys(source INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TRIGGER IF NOT EXISTS copy_keys_added AFTER INSERT ON copy_keys
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS copy_keys_removed AFTER DELETE ON copy_keys
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
)";

} // namespace

// Reports read before the keys were kept are read again by the next look,
// once: later opens find the table and touch nothing.
bool CCopyKeyStore::CreateTable() {
    if (CSqliteStatement(m_db.Handle(), "SELECT 1 FROM copy_keys LIMIT 0").Ok()) {
        return true;
    }
    return m_db.Exec(kSchema) &&
           m_db.Exec("UPDATE sources SET state=1 WHERE kind=0 AND state=0 AND id NOT IN (SELECT source FROM copy_keys)");
}

bool CCopyKeyStore::Store(std::int64_t source, std::string_view blob) {
    CSqliteStatement insert(m_db.Handle(), "INSERT OR REPLACE INTO copy_keys(source, data) VALUES(?,?)");
    insert.Bind(1, source).Bind(2, blob);
    return insert.Run();
}

bool CCopyKeyStore::Drop(std::int64_t source) {
    CSqliteStatement clear(m_db.Handle(), "DELETE FROM copy_keys WHERE source=?");
    clear.Bind(1, source);
    return clear.Run();
}

bool CCopyKeyStore::DropWithFolder(std::int64_t source) {
    CSqliteStatement clear(m_db.Handle(),
                           "DELETE FROM copy_keys WHERE source=? OR source IN (SELECT id FROM sources WHERE folder=?)");
    clear.Bind(1, source).Bind(2, source);
    return clear.Run();
}

bool CCopyKeyStore::ForEach(const std::function<void(std::string_view path, std::string_view blob)>& sink) {
    CSqliteStatement all(m_db.Handle(),
                         "SELECT s.path, k.data FROM sources s JOIN copy_keys k ON k.source=s.id WHERE s.kind=0");
    while (all.Step()) {
        sink(all.Blob(0), all.Blob(1));
    }
    return all.Error() == 0;
}

bool CCopyKeyStore::Read(const std::string& path, std::string& blob) {
    CSqliteStatement one(m_db.Handle(),
                         "SELECT k.data FROM sources s JOIN copy_keys k ON k.source=s.id WHERE s.kind=0 AND s.path=?");
    one.Bind(1, std::string_view(path));
    if (!one.Step()) {
        return false;
    }
    blob.assign(one.Blob(0));
    return true;
}
