#include "SqliteDatabase.h"

#include <sqlite3.h>

CSqliteStatement::CSqliteStatement(sqlite3* db, const char* sql) {
    m_nError = sqlite3_prepare_v2(db, sql, -1, &m_pStatement, nullptr);
    if (m_nError != SQLITE_OK) {
        sqlite3_finalize(m_pStatement);
        m_pStatement = nullptr;
    }
}

CSqliteStatement::~CSqliteStatement() { sqlite3_finalize(m_pStatement); }

CSqliteStatement& CSqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_pStatement, index, value);
    return *this;
}

CSqliteStatement& CSqliteStatement::Bind(int index, std::string_view bytes) {
    sqlite3_bind_blob64(m_pStatement, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
}

CSqliteStatement& CSqliteStatement::BindNull(int index) {
    sqlite3_bind_null(m_pStatement, index);
    return *this;
}

bool CSqliteStatement::Step() {
    if (m_pStatement == nullptr) {
        return false;
    }
    const int rc = sqlite3_step(m_pStatement);
    m_nError = rc == SQLITE_ROW || rc == SQLITE_DONE ? 0 : rc;
    return rc == SQLITE_ROW;
}

bool CSqliteStatement::Run() {
    while (Step()) {
    }
    return m_pStatement != nullptr && m_nError == 0;
}

void CSqliteStatement::Reset() {
    sqlite3_reset(m_pStatement);
    sqlite3_clear_bindings(m_pStatement);
}

std::int64_t CSqliteStatement::Int(int column) const { return sqlite3_column_int64(m_pStatement, column); }

std::string_view CSqliteStatement::Blob(int column) const {
    const void* data = sqlite3_column_blob(m_pStatement, column);
    const int size = sqlite3_column_bytes(m_pStatement, column);
    return data == nullptr ? std::string_view() : std::string_view(static_cast<const char*>(data), size);
}

bool CSqliteStatement::IsNull(int column) const { return sqlite3_column_type(m_pStatement, column) == SQLITE_NULL; }

CSqliteDatabase::~CSqliteDatabase() { sqlite3_close_v2(m_pDb); }

bool CSqliteDatabase::Open(const std::string& path, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_pDb, flags, nullptr) != SQLITE_OK) {
        return false;
    }
    sqlite3_busy_timeout(m_pDb, 5000);
    return true;
}

bool CSqliteDatabase::Exec(const char* sql) { return sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

std::string CSqliteDatabase::LastError() const {
    return m_pDb == nullptr ? std::string("out of memory") : std::string(sqlite3_errmsg(m_pDb));
}

void CSqliteDatabase::Interrupt() {
    if (m_pDb != nullptr) {
        sqlite3_interrupt(m_pDb);
    }
}
