#include "CopyKeyStore.h"

#include "CopyDigests.h"
#include "SqliteDatabase.h"
#include "Transaction.h"

#include <utility>
#include <vector>

namespace {

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS copy_keys(source INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TRIGGER IF NOT EXISTS copy_keys_added AFTER INSERT ON copy_keys
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
CREATE TRIGGER IF NOT EXISTS copy_keys_removed AFTER DELETE ON copy_keys
    BEGIN UPDATE meta SET value=value+1 WHERE key='generation'; END;
)";

// Set once every blob is of the present form (2).
const char* const kFormDone = "INSERT OR REPLACE INTO meta(key, value) VALUES('copy_keys_form', 2)";

} // namespace

// Reports read before the keys were kept are read again by the next look,
// once: later opens find the table and, once cut, touch nothing.
bool CCopyKeyStore::CreateTable() {
    if (CSqliteStatement(m_db.Handle(), "SELECT 1 FROM copy_keys LIMIT 0").Ok()) {
        CutFormerKeys(); // a catalogue that cannot be written keeps them, and tries again at its next open
        return true;
    }
    return m_db.Exec(kSchema) && m_db.Exec(kFormDone) &&
           m_db.Exec("UPDATE sources SET state=1 WHERE kind=0 AND state=0 AND id NOT IN (SELECT source FROM copy_keys)");
}

// Once, in one transaction: each blob of the former form keeps only its
// digests; one that cannot be read has its report read again. The space
// freed is given back to the file system afterwards.
void CCopyKeyStore::CutFormerKeys() {
    {
        CSqliteStatement form(m_db.Handle(), "SELECT value FROM meta WHERE key='copy_keys_form'");
        if (form.Step() && form.Int(0) >= 2) {
            return;
        }
    }
    std::vector<std::pair<std::int64_t, std::string>> cut;
    std::vector<std::int64_t> damaged;
    {
        CTransaction transaction(m_db);
        if (!transaction.Open()) {
            return;
        }
        CSqliteStatement all(m_db.Handle(), "SELECT source, data FROM copy_keys");
        while (all.Step()) {
            const std::string_view blob = all.Blob(1);
            if (!CCopyDigests::IsFormerKeys(blob)) {
                continue;
            }
            CCopyDigests digests;
            if (!digests.FromFormerKeys(blob)) {
                damaged.push_back(all.Int(0));
            }
            cut.emplace_back(all.Int(0), digests.Bytes());
        }
        if (all.Error() != 0) {
            return;
        }
        for (const auto& [source, blob] : cut) {
            CSqliteStatement update(m_db.Handle(), "UPDATE copy_keys SET data=? WHERE source=?");
            update.Bind(1, std::string_view(blob)).Bind(2, source);
            if (!update.Run()) {
                return;
            }
        }
        for (const std::int64_t source : damaged) {
            CSqliteStatement again(m_db.Handle(), "UPDATE sources SET state=1 WHERE id=? AND state=0");
            again.Bind(1, source);
            if (!again.Run()) {
                return;
            }
        }
        if (!m_db.Exec(kFormDone) || !transaction.Commit()) {
            return;
        }
    }
    if (!cut.empty()) {
        m_db.Exec("VACUUM"); // a help, not a condition: the freed pages are reused anyway
    }
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

bool CCopyKeyStore::ForEach(
    const std::function<void(std::int64_t source, std::string_view path, std::string_view blob)>& sink) {
    CSqliteStatement all(m_db.Handle(),
                         "SELECT s.id, s.path, k.data FROM sources s JOIN copy_keys k ON k.source=s.id WHERE s.kind=0");
    while (all.Step()) {
        sink(all.Int(0), all.Blob(1), all.Blob(2));
    }
    return all.Error() == 0;
}

bool CCopyKeyStore::Read(const std::string& path, std::int64_t& source, std::string& blob) {
    CSqliteStatement one(m_db.Handle(),
                         "SELECT s.id, k.data FROM sources s JOIN copy_keys k ON k.source=s.id WHERE s.kind=0 AND s.path=?");
    one.Bind(1, std::string_view(path));
    if (!one.Step()) {
        return false;
    }
    source = one.Int(0);
    blob.assign(one.Blob(1));
    return true;
}
