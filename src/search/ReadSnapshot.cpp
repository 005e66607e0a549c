#include "ReadSnapshot.h"

#include "SqliteDatabase.h"

CReadSnapshot::CReadSnapshot(CSqliteDatabase& db) : m_db(db), m_bOpen(db.Exec("BEGIN DEFERRED")) {}

CReadSnapshot::~CReadSnapshot() {
    if (m_bOpen) {
        m_db.Exec("COMMIT");
    }
}
