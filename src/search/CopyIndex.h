#pragma once

#include "CopiesQuery.h"
#include "CopyKeys.h"
#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Every file entry of the catalogue with its grouping keys, grouped by the
// rule of Copies: entries with digests by digest; an entry without one joins
// the hashed entries equal to it on name (case-folded), size, date and time
// (name and size when grouped by name) when they share one digest, else the
// unhashed entries equal to it on those. A group's copy count is the number
// of distinct media among its entries: an archive's medium is its tag before
// the last "-", a listing's is the report itself.
//
// Built on one thread; then const calls may run on any thread at once.
class CCopyIndex {
public:
    // Adds one report's keys (CCopyKeysWriter); false when they are damaged.
    bool AddReport(std::string_view reportPath, std::string_view blob);
    // Groups what was added; called once, before the questions.
    void Group(bool byName);
    bool ByName() const { return m_bByName; }

    CCopiesResult Groups(const CCopiesQuery& query, const std::atomic<bool>& cancel) const;
    CCopiesResult Summary(const CCopiesQuery& query, const std::atomic<bool>& cancel) const;
    // The copy count of the file at a report's line; 0 when it is no file here.
    std::uint32_t CopiesOf(const std::string& reportPath, std::uint64_t line) const;
    // Sets each hit's m_nCopies; with oneMediumOnly keeps only the hits of
    // files on one medium, and of them `limit` from number `offset` on.
    void Count(CFindResult& result, bool oneMediumOnly, std::size_t limit, std::size_t offset) const;

    static constexpr std::uint32_t kNone = UINT32_MAX;

private:
    struct CEntry {
        std::uint32_t m_nReport;
        std::uint32_t m_nPlace;
        std::uint32_t m_nMedium;
        std::uint32_t m_nLine;
        std::uint32_t m_nDigest; // kNone: no digest
        std::uint32_t m_nNameLength;
        std::uint64_t m_nNameOffset;
        std::uint64_t m_nSize;
        std::uint64_t m_nNameStamp;
        std::uint64_t m_nNameSize;
        bool m_bWindows1252;
    };
    struct CPlace {
        std::string m_strTag;
        std::string m_strFolder;
        bool m_bWindows1252;
        std::string m_strFoldedFolder;
        std::uint32_t m_nRank = 0; // in Find's order of tag and folder
    };
    struct CMedium {
        std::string m_strName;
        std::string m_strFolded;
        std::uint32_t m_nRank = 0;
    };
    struct CDigestHash {
        std::size_t operator()(const EntryDigest& d) const;
    };

    std::uint32_t InternPlace(const CCopyKey& key);
    std::uint32_t InternMedium(std::string_view name, bool listing);
    std::string_view NameOf(const CEntry& entry) const;
    // The groups that pass the query's filters, each with its first entry in Find's order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Selected(const CCopiesQuery& query,
                                                                  const std::atomic<bool>& cancel) const;
    bool FindsBefore(std::uint32_t a, std::uint32_t b) const;

    std::vector<CEntry> m_arrEntries;
    std::string m_strNames;
    std::vector<std::string> m_arrReports;
    std::vector<std::uint32_t> m_arrReportStart; // first entry of each report, and the end
    std::vector<std::uint32_t> m_arrReportRank;  // by path
    std::unordered_map<std::string, std::uint32_t> m_mapReports;
    std::vector<CPlace> m_arrPlaces;
    std::unordered_map<std::string, std::uint32_t> m_mapPlaces;
    std::vector<CMedium> m_arrMedia;
    std::unordered_map<std::string, std::uint32_t> m_mapMedia;
    std::vector<EntryDigest> m_arrDigests;
    std::unordered_map<EntryDigest, std::uint32_t, CDigestHash> m_mapDigests;

    bool m_bByName = false;
    std::vector<std::uint32_t> m_arrGroupOf;    // per entry
    std::vector<std::uint32_t> m_arrGroupStart; // members of group g: m_arrMembers[start[g], start[g + 1])
    std::vector<std::uint32_t> m_arrMembers;
    std::vector<std::uint32_t> m_arrCopies;     // per group
    std::vector<std::uint32_t> m_arrGroupDigest; // per group: kNone, or its digest
};
