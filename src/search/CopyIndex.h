#pragma once

#include "CopiesQuery.h"
#include "CopyKeys.h"
#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Every file entry of the catalogue grouped by the rule of Copies: entries
// with digests by digest; an entry without one joins the hashed entries equal
// to it on name (case-folded), size, date and time (name and size when grouped
// by name) when they share one digest, else the unhashed entries equal to it
// on those. A group's copy count is the number of distinct media among its
// entries: an archive's medium is its tag before the last "-", a listing's is
// the report itself.
//
// Memory: the index keeps 16 bytes an entry and 8 a group (medium, line,
// size and group of each entry, each group's members and copy count), no
// names. The answers read the names of the groups they print from the
// reports' entries again, a batch at a time, through a CKeysSource.
//
// Built by one caller; then const calls may run on any thread at once.
// AddReports() and Groups() read entries on a thread of their own while they
// add them or hand groups to the sink: the source must bear being called
// from another thread (one call at a time), the sink is called on the
// caller's thread.
class CCopyIndex {
public:
    using CKeySink = std::function<void(const CCopyKey&)>;
    // Hands a report's file entries to sink, in the same order on every
    // call; false when they cannot be read.
    using CKeysSource = std::function<bool(const std::string& reportPath, const CKeySink& sink)>;
    using CGroupSink = std::function<void(const CCopyGroup&)>;

    explicit CCopyIndex(bool byName) : m_bByName(byName) {}

    // Room for about this many entries, so that adding them grows nothing twice.
    void Reserve(std::size_t entries);
    // Adds reports' entries, reading the next report on a thread of its own
    // while one is added (the source must bear that, one call at a time).
    // Gives the reports whose entries were damaged: nothing of them is added.
    std::vector<std::string> AddReports(const std::vector<std::string>& reportPaths, const CKeysSource& source);
    // Groups what was added; called once, before the questions.
    void Group();
    bool ByName() const { return m_bByName; }

    // Hands the groups the query keeps to sink, by copy count, media, folder
    // and name; the result tells of cancelling and of warnings.
    CCopiesResult Groups(const CCopiesQuery& query, const CKeysSource& source, const CGroupSink& sink,
                         const std::atomic<bool>& cancel) const;
    CCopiesResult Summary(const CCopiesQuery& query, const CKeysSource& source, const std::atomic<bool>& cancel) const;
    // The copy count of the file at a report's line; 0 when it is no file here.
    std::uint32_t CopiesOf(const std::string& reportPath, std::uint64_t line) const;
    // Sets each hit's m_nCopies; with oneMediumOnly keeps only the hits of
    // files on one medium, and of them `limit` from number `offset` on.
    void Count(CFindResult& result, bool oneMediumOnly, std::size_t limit, std::size_t offset) const;

    static constexpr std::uint32_t kNone = UINT32_MAX;

private:
    struct CMedium {
        std::string m_strName;
        std::string m_strFolded;
        std::uint32_t m_nRank = 0; // in Find's case-folded order
    };
    struct CHashedEntry {
        EntryDigest m_digest;
        std::uint32_t m_nEntry;
    };
    struct CBatch;
    struct CReadReport;

    void ReadForAdding(const std::string& reportPath, const CKeysSource& source, CReadReport& read) const;
    bool Add(const std::string& reportPath, const CReadReport& read);
    std::uint32_t InternMedium(std::string_view name, bool listing);
    static constexpr std::uint64_t kLargeSize = UINT32_MAX;
    std::uint64_t SizeOf(std::uint32_t entry) const;
    std::uint32_t ReportOf(std::uint32_t entry) const;
    std::uint32_t CopiesAt(std::uint32_t report, std::uint64_t line) const;
    // Reads report r's entries, handing each (by number) to sink; false when unreadable.
    bool ReadReport(std::uint32_t report, const CKeysSource& source,
                    const std::function<void(std::uint32_t entry, const CCopyKey& key)>& sink,
                    std::vector<std::string>& warnings) const;
    // Per group: whether it passes the query's filters.
    std::vector<bool> Selected(const CCopiesQuery& query, const CKeysSource& source, const std::atomic<bool>& cancel,
                               std::vector<std::string>& warnings) const;
    // Reads the names of the batch's groups (on a thread of its own).
    void PrepareBatch(CBatch& batch, const CKeysSource& source) const;
    // Orders the batch's groups as they are given.
    void OrderBatch(CBatch& batch) const;
    // Gives the batch's groups, in order, to sink.
    void GiveBatch(const CBatch& batch, const CGroupSink& sink) const;

    bool m_bByName;
    // Per entry, in the order added (report after report).
    std::vector<std::uint32_t> m_arrMediumOf;
    std::vector<std::uint32_t> m_arrLine;
    std::vector<std::uint32_t> m_arrSize; // kLargeSize: in m_mapLargeSize
    std::unordered_map<std::uint32_t, std::uint64_t> m_mapLargeSize;
    std::vector<std::uint32_t> m_arrGroupOf;
    // Only while adding and grouping.
    std::vector<std::uint64_t> m_arrKey;
    std::vector<CHashedEntry> m_arrHashed;

    std::vector<std::string> m_arrReports;
    std::vector<std::uint32_t> m_arrReportStart; // first entry of each report, and the end
    std::vector<std::uint32_t> m_arrReportRank;  // by path
    std::unordered_map<std::string, std::uint32_t> m_mapReports;
    std::vector<CMedium> m_arrMedia;
    std::unordered_map<std::string, std::uint32_t> m_mapMedia;

    std::vector<bool> m_arrGroupHashed;         // per group: a group of one digest
    std::vector<std::uint32_t> m_arrGroupStart; // members of group g: m_arrMembers[start[g], start[g + 1])
    std::vector<std::uint32_t> m_arrMembers;
    std::vector<std::uint32_t> m_arrCopies;     // per group
};
