#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement, finalised when it goes.
class CSqliteStatement {
public:
    CSqliteStatement(sqlite3* db, const char* sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    bool Ok() const { return m_pStatement != nullptr; }
    CSqliteStatement& Bind(int index, std::int64_t value);
    CSqliteStatement& Bind(int index, std::string_view bytes); // as a blob
    CSqliteStatement& BindNull(int index);
    // True while there is a row; Error() after false says whether it failed.
    bool Step();
    bool Run(); // steps to the end; true when that went well
    void Reset();
    int Error() const { return m_nError; }

    std::int64_t Int(int column) const;
    std::string_view Blob(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_pStatement = nullptr;
    int m_nError = 0;
};

// A database connection, closed when it goes.
class CSqliteDatabase {
public:
    CSqliteDatabase() = default;
    ~CSqliteDatabase();
    CSqliteDatabase(const CSqliteDatabase&) = delete;
    CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

    bool Open(const std::string& path, bool create);
    bool Exec(const char* sql);
    sqlite3* Handle() const { return m_pDb; }
    std::string LastError() const;
    // Any thread: makes the statement running now stop with SQLITE_INTERRUPT.
    void Interrupt();

private:
    sqlite3* m_pDb = nullptr;
};
