#include "Transaction.h"

#include "SqliteDatabase.h"

CTransaction::CTransaction(CSqliteDatabase& db) : m_db(db), m_bOpen(db.Exec("BEGIN IMMEDIATE")) {}

CTransaction::~CTransaction() {
    if (m_bOpen) {
        m_db.Exec("ROLLBACK");
    }
}

bool CTransaction::Commit() {
    m_bOpen = !m_db.Exec("COMMIT");
    return !m_bOpen;
}
