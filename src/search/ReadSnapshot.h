#pragma once

class CSqliteDatabase;

// One read transaction: every query made while it is open sees the catalogue
// as it was at the first of them, whatever other processes commit meanwhile.
class CReadSnapshot {
public:
    explicit CReadSnapshot(CSqliteDatabase& db);
    ~CReadSnapshot();
    CReadSnapshot(const CReadSnapshot&) = delete;
    CReadSnapshot& operator=(const CReadSnapshot&) = delete;

private:
    CSqliteDatabase& m_db;
    bool m_bOpen;
};
