#pragma once

#include "FoundEntries.h"
#include "ReportSide.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <vector>

// What became of one entry of the report.
enum class EntryState : std::uint8_t { Missing, Ok, Changed, Moved, Corrupt, Unreadable };

// Pairs the entries of a report with those found elsewhere (on the medium
// by a walk, or in a second report): each report entry with an entry of its
// name in its group (the same file first, then any of its kind: changed),
// then a file left without one with an unchanged file of its name elsewhere
// (moved). Files are the same when their size, date text and time text are;
// folders when they are there. Against a walk, the report's dates are read
// against the locale and time zone of the check first (CDateHints): dates in
// another locale's form leave names and sizes. Not thread-safe.
class CEntryMatcher {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    CEntryMatcher(const CReportSide& report, const CFoundEntries& found);

    // Before Match(): every entry in one group (names matched anywhere),
    // whatever the report's layout.
    void MatchAnywhere() { m_bAnywhere = true; }
    // Before Match(): the report's names as compared, in place of its own
    // (one a report entry), for a report matched against another layout.
    void CompareNames(const std::vector<std::string_view>* names) { m_pNames = names; }
    // Before Match(), for found entries without last-write times: whether
    // dates and times are compared at all.
    void CompareDates(bool compare) { m_bDatesComparable = compare; }
    void Match();

    EntryState StateOf(std::size_t entry) const { return m_arrStates[entry]; }
    void SetState(std::size_t entry, EntryState state) { m_arrStates[entry] = state; }
    // Pairs an entry left missing with a found entry no one took.
    void Pair(std::size_t entry, std::uint32_t found, EntryState state) {
        m_arrPairs[entry] = found;
        m_arrTaken[found] = true;
        m_arrStates[entry] = state;
    }
    // The found entry paired with a report entry, or kNone.
    std::uint32_t PairOf(std::size_t entry) const { return m_arrPairs[entry]; }
    // Found entries that no report entry took, in walk order by group.
    bool Taken(std::size_t found) const { return m_arrTaken[found]; }
    // Whether the report's layout lists such an entry at all (folders only
    // in a folder list, files only in an archive report).
    bool Listable(std::size_t found) const;
    // The group of a found entry, comparable with GroupOfEntry.
    std::string_view GroupOf(std::size_t found) const;
    // The group of a report entry as matched.
    std::string_view GroupOfEntry(std::size_t entry) const;
    bool DatesCompared() const { return m_bDatesComparable; }
    // "size 100 -> 104; time ... -> ...": what differs of a changed file.
    std::string ChangeOf(std::size_t entry) const;
    const std::vector<std::string>& Hints() const { return m_arrHints; }

private:
    // The found entries of one group: a range of m_arrGrouped.
    struct CSlot {
        std::uint32_t m_nBegin = 0;
        std::uint32_t m_nEnd = 0;
        bool m_bSorted = false;
    };

    void IndexFound();
    static std::uint32_t NameHash(std::string_view name);
    // The found entries of report entry i's group whose names hash as its
    // name does (nearly always: have its name), in walk order.
    std::pair<const std::uint32_t*, const std::uint32_t*> CandidatesOf(std::size_t entry);
    void ReadDates();
    // The first of the candidates [first, last) that no report entry took yet, or last.
    const std::uint32_t* FirstFree(const std::uint32_t* first, const std::uint32_t* last);
    bool SameFile(std::size_t entry, std::size_t found) const;
    std::string_view NameOfEntry(std::size_t entry) const;
    void PairInPlace();
    void PairMoved();

    const CReportSide& m_report;
    const CFoundEntries& m_found;
    bool m_bListing;
    bool m_bAnywhere = false;
    const std::vector<std::string_view>* m_pNames = nullptr;
    bool m_bFoldersOnly;
    bool m_bDatesComparable = true;
    bool m_bTextsNumbered = false;
    std::vector<CSlot> m_arrSlots;
    std::vector<std::uint32_t> m_arrGrouped; // found entries, group by group
    std::vector<std::uint32_t> m_arrGroupedHash; // their names' hashes, by position in m_arrGrouped
    std::vector<std::uint32_t> m_arrSkip;    // by position in m_arrGrouped: where taken ones end, at least
    std::unordered_map<std::string_view, std::uint32_t> m_mapSlotOfGroup;
    std::string_view m_strLastGroup;
    CSlot* m_pLastSlot = nullptr;
    bool m_bLastKnown = false;
    std::vector<EntryState> m_arrStates;
    std::vector<std::uint32_t> m_arrPairs;
    std::vector<bool> m_arrTaken;
    std::vector<std::string> m_arrHints;
};
