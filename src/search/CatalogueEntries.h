#pragma once

#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CNameImage;
class CSqliteDatabase;

// The searchable entries of the catalogue: one blob a report in the
// database's entries table (each change counted in the generation), and the
// name image built from them that searches scan, saved beside the database
// for the next process. The only part of the catalogue that knows how
// entries are stored and searched.
//
// Threads: one thread at a time (CCatalogue's lock).
class CCatalogueEntries {
public:
    // db outlives this object; the image is saved at imagePath.
    CCatalogueEntries(CSqliteDatabase& db, std::string imagePath);
    ~CCatalogueEntries();
    CCatalogueEntries(const CCatalogueEntries&) = delete;
    CCatalogueEntries& operator=(const CCatalogueEntries&) = delete;

    // The tables and the counting of changes; part of opening the database.
    bool CreateTables();

    // In the caller's transaction: the entries of one report (an entry blob),
    // replacing what it had.
    bool StoreEntries(std::int64_t source, const std::string& blob);
    bool DropEntries(std::int64_t source);
    // The entries of a source and of every report found in it as a folder.
    bool DropEntriesWithFolder(std::int64_t source);
    // Forgets what is held in memory; the next search builds or maps it again.
    void Forget();

    // The hits of the query in order, `limit` from number `offset` on, and
    // the exact count. Damaged stored entries are skipped with a warning.
    // m_bFailed when the database cannot be read.
    CFindResult Search(const CFindQuery& query, std::size_t limit, std::size_t offset, const std::atomic<bool>& cancel,
                       std::vector<std::string>& warnings);

private:
    bool BuildImage(std::vector<std::string>& warnings);
    std::pair<std::int64_t, std::int64_t> CurrentKey();

    CSqliteDatabase& m_db;
    std::string m_strImagePath;
    std::unique_ptr<CNameImage> m_pImage;
    std::pair<std::int64_t, std::int64_t> m_imageKey{-1, -1}; // catalogue and generation m_pImage was made from
};
