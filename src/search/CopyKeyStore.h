#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CSqliteDatabase;

// The grouping keys of Copies, one blob a report (CCopyKeysWriter) in a table
// of their own, written and dropped in the transaction that stores or drops
// the report's entries.
//
// Threads: one thread at a time (CCatalogue's lock).
class CCopyKeyStore {
public:
    explicit CCopyKeyStore(CSqliteDatabase& db) : m_db(db) {}

    bool CreateTable();
    bool Store(std::int64_t source, std::string_view blob);
    bool Drop(std::int64_t source);
    // The keys of a source and of every report found in it as a folder.
    bool DropWithFolder(std::int64_t source);
    // Each report's path and keys; false when the database cannot be read.
    bool ForEach(const std::function<void(std::string_view path, std::string_view blob)>& sink);
    // One report's keys; false when it has none or the database cannot be read.
    bool Read(const std::string& path, std::string& blob);

private:
    CSqliteDatabase& m_db;
};
