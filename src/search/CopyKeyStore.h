#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CSqliteDatabase;

// What the catalogue keeps of each report for Copies besides its entries:
// the digests its manifest gave its files (CCopyDigests), one blob a report
// in a table of its own, written and dropped in the transaction that
// stores or drops the report's entries.
//
// Threads: one thread at a time (CCatalogue's lock).
class CCopyKeyStore {
public:
    explicit CCopyKeyStore(CSqliteDatabase& db) : m_db(db) {}

    // The table; part of opening the database. Cuts blobs of the former
    // form, which held every file's names and keys too, to their digests
    // when the database can be written (they are read as they are if not).
    bool CreateTable();
    bool Store(std::int64_t source, std::string_view blob);
    bool Drop(std::int64_t source);
    // The keys of a source and of every report found in it as a folder.
    bool DropWithFolder(std::int64_t source);
    // Each report's source, path and digests; false when the database cannot be read.
    bool ForEach(const std::function<void(std::int64_t source, std::string_view path, std::string_view blob)>& sink);
    // One report's source and digests; false when it has none or the database cannot be read.
    bool Read(const std::string& path, std::int64_t& source, std::string& blob);

private:
    void CutFormerKeys();

    CSqliteDatabase& m_db;
};
