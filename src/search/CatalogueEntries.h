#pragma once

#include "FindQuery.h"
#include "MergePolicy.h"
#include "ReportEntry.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CSegmentBuilder;
class CSegmentCopyKeys;
class CSegmentReader;
class CSegmentSearch;
class CSqliteDatabase;

// The searchable entries of the catalogue: immutable segment files beside
// the database (named after it: FILE-seg-N), and in the database the list
// of live segments, the segment that holds each report's entries, and the
// reports hidden in each segment since (removed or read again). A writer
// lists a segment in the same transaction that changes the sources, and
// writes the file inside that transaction (SQLite's write lock), so no
// other writer can take it for an orphan; files no transaction lists are
// removed by the next writer. The only part of the catalogue that knows
// how entries are stored and searched.
//
// Threads: one thread at a time (CCatalogue's lock).
class CCatalogueEntries {
public:
    // db outlives this object; segments live beside cataloguePath.
    CCatalogueEntries(CSqliteDatabase& db, std::string cataloguePath);
    ~CCatalogueEntries();
    CCatalogueEntries(const CCatalogueEntries&) = delete;
    CCatalogueEntries& operator=(const CCatalogueEntries&) = delete;

    // The tables; part of opening the database. Converts entries of the
    // former form (an entries table and a "-names" image), nothing lost.
    bool CreateTables();

    // Gathers a report's entries for the next segment; AbandonReport drops
    // those of the report being gathered (it proved no report).
    void StageReport(std::int64_t source, const std::string& path);
    void StageEntry(const CReportEntry& entry);
    void AbandonReport();
    bool HasStaged() const;
    // Forgets the gathered reports (their commit could not start).
    void DiscardStaged();
    // The gathered entries have reached the bound of one segment.
    bool StagedFull() const;
    // In the caller's open write transaction: writes the gathered reports
    // as one segment, lists it and hides what those reports had before.
    bool CommitStaged();

    // In the caller's transaction: hides a source's entries.
    bool DropEntries(std::int64_t source);
    // The entries of a source and of every report found in it as a folder.
    bool DropEntriesWithFolder(std::int64_t source);
    // Merges what the policy chooses for the occasion, each merge in a
    // transaction of its own.
    bool Merge(CMergePolicy::Occasion occasion);

    // The hits of the query in order, `limit` from number `offset` on, and
    // the exact count. m_bFailed when the database cannot be read.
    CFindResult Search(const CFindQuery& query, std::size_t limit, std::size_t offset, const std::atomic<bool>& cancel,
                       std::vector<std::string>& warnings, const FindHitSink* sink = nullptr);
    const std::string& Error() const { return m_strError; }

    // Where each report's entries are, for Copies to read; null when the
    // database cannot be read. A segment that is missing or damaged is
    // left out with a warning.
    std::unique_ptr<CSegmentCopyKeys> CopyKeys(std::vector<std::string>& warnings);

private:
    bool Fail(const std::string& what);
    bool Migrate();
    std::string NewSegmentPath();
    bool RemoveOrphans();
    bool ListSegment(const std::string& path, const std::vector<std::pair<std::int64_t, std::uint64_t>>& reports);
    bool Load(std::vector<std::string>& warnings);
    std::pair<std::int64_t, std::int64_t> CurrentKey();
    std::shared_ptr<const CSegmentReader> Reader(const std::string& name);
    bool BumpGeneration();

    CSqliteDatabase& m_db;
    std::string m_strPath;
    std::string m_strError;
    std::unique_ptr<CSegmentBuilder> m_pStaged;
    std::vector<std::pair<std::int64_t, std::uint64_t>> m_arrStaged; // source, entries
    std::unique_ptr<CSegmentSearch> m_pSearch;
    std::map<std::string, std::shared_ptr<const CSegmentReader>> m_mapReaders; // by file name
    std::pair<std::int64_t, std::int64_t> m_searchKey{-1, -1}; // catalogue and generation m_pSearch was made from
};
