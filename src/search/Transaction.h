#pragma once

class CSqliteDatabase;

// One write transaction (BEGIN IMMEDIATE, so a second writer waits at the
// start rather than failing at its commit), rolled back when it goes
// without Commit().
class CTransaction {
public:
    explicit CTransaction(CSqliteDatabase& db);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool Open() const { return m_bOpen; }
    bool Commit();

private:
    CSqliteDatabase& m_db;
    bool m_bOpen;
};
