#include "EntryMatcher.h"

#include "DateHints.h"

#include <algorithm>

namespace {

// Files whose dates tell how the report's dates read.
constexpr std::size_t kDateSample = 1000;

// A moved file is known by its name, size, date and time.
struct CMoveKey {
    std::string_view m_strName;
    std::uint64_t m_nSize = 0;
    std::string m_strDate;
    std::string m_strTime;
    bool operator==(const CMoveKey&) const = default;
};

struct CMoveKeyHash {
    std::size_t operator()(const CMoveKey& key) const {
        return std::hash<std::string_view>()(key.m_strName) ^ (key.m_nSize * 0x9e3779b97f4a7c15ULL) ^
               (std::hash<std::string>()(key.m_strDate) << 1) ^ (std::hash<std::string>()(key.m_strTime) << 2);
    }
};

} // namespace

CEntryMatcher::CEntryMatcher(const CReportSide& report, const CFoundEntries& found)
    : m_report(report), m_found(found), m_bListing(report.Options().IsListing()),
      m_bFoldersOnly(report.Layout() == ReportLayout::FoldersOnly) {}

bool CEntryMatcher::Listable(std::size_t found) const {
    const bool folder = m_found.IsFolder(found);
    return m_bFoldersOnly ? folder : (m_bListing || !folder);
}

std::string_view CEntryMatcher::GroupOf(std::size_t found) const {
    if (m_bAnywhere || (!m_bListing && !m_report.LogKnown())) {
        return {};
    }
    return m_found.FolderAt(found);
}

std::string_view CEntryMatcher::GroupOfEntry(std::size_t entry) const {
    return m_bAnywhere ? std::string_view() : m_report.GroupOf(entry);
}

std::string_view CEntryMatcher::NameOfEntry(std::size_t entry) const {
    return m_pNames != nullptr ? (*m_pNames)[entry] : m_report.NameOf(entry);
}

void CEntryMatcher::Match() {
    const std::size_t entries = m_report.Count();
    m_arrStates.assign(entries, EntryState::Missing);
    m_arrPairs.assign(entries, kNone);
    m_arrTaken.assign(m_found.Count(), false);
    m_bTextsNumbered = m_found.TextsNumbered();
    IndexFound();
    if (m_found.WalkLocale() != nullptr) {
        ReadDates();
    }
    PairInPlace();
    if (!m_bFoldersOnly) {
        PairMoved();
    }
}

// The found entries by group (in walk order within each, two passes over
// them and no allocation a group), each group's sorted by name once it is
// first asked for.
void CEntryMatcher::IndexFound() {
    const std::size_t count = m_found.Count();
    std::vector<std::uint32_t> slotOfEntry(count, kNone);
    // Neighbours mostly share a folder: its group is looked up once a run.
    std::string_view lastGroup;
    std::uint32_t lastSlot = kNone;
    for (std::size_t j = 0; j < count; ++j) {
        if (!Listable(j)) {
            continue;
        }
        const std::string_view group = GroupOf(j);
        if (lastSlot == kNone || group.data() != lastGroup.data() || group != lastGroup) {
            const auto [at, inserted] =
                m_mapSlotOfGroup.try_emplace(group, static_cast<std::uint32_t>(m_arrSlots.size()));
            if (inserted) {
                m_arrSlots.emplace_back();
            }
            lastSlot = at->second;
            lastGroup = group;
        }
        const std::uint32_t slot = lastSlot;
        slotOfEntry[j] = slot;
        ++m_arrSlots[slot].m_nEnd; // a count for now
    }
    std::uint32_t begin = 0;
    for (CSlot& slot : m_arrSlots) {
        const std::uint32_t count = slot.m_nEnd;
        slot.m_nBegin = slot.m_nEnd = begin;
        begin += count;
    }
    m_arrGrouped.resize(begin);
    m_arrGroupedHash.resize(begin);
    m_arrSkip.assign(begin, 0);
    for (std::size_t j = 0; j < count; ++j) {
        if (slotOfEntry[j] != kNone) {
            m_arrGrouped[m_arrSlots[slotOfEntry[j]].m_nEnd++] = static_cast<std::uint32_t>(j);
        }
    }
}

std::uint32_t CEntryMatcher::NameHash(std::string_view name) {
    const std::size_t hash = std::hash<std::string_view>()(name);
    return static_cast<std::uint32_t>(hash ^ (static_cast<std::uint64_t>(hash) >> 32));
}

std::pair<const std::uint32_t*, const std::uint32_t*> CEntryMatcher::CandidatesOf(std::size_t entry) {
    if (!m_bLastKnown || m_strLastGroup != GroupOfEntry(entry)) {
        m_bLastKnown = true;
        m_strLastGroup = GroupOfEntry(entry);
        const auto at = m_mapSlotOfGroup.find(m_strLastGroup);
        m_pLastSlot = at == m_mapSlotOfGroup.end() ? nullptr : &m_arrSlots[at->second];
        if (m_pLastSlot != nullptr && !m_pLastSlot->m_bSorted) {
            // By the hash of the name, then in walk order: one sort of
            // numbers, whatever the names.
            std::vector<std::uint64_t> keys;
            keys.reserve(m_pLastSlot->m_nEnd - m_pLastSlot->m_nBegin);
            for (std::uint32_t at = m_pLastSlot->m_nBegin; at < m_pLastSlot->m_nEnd; ++at) {
                const std::uint32_t j = m_arrGrouped[at];
                keys.push_back(std::uint64_t{NameHash(m_found.NameAt(j))} << 32 | j);
            }
            std::sort(keys.begin(), keys.end());
            for (std::uint32_t at = m_pLastSlot->m_nBegin; at < m_pLastSlot->m_nEnd; ++at) {
                const std::uint64_t key = keys[at - m_pLastSlot->m_nBegin];
                m_arrGrouped[at] = static_cast<std::uint32_t>(key);
                m_arrGroupedHash[at] = static_cast<std::uint32_t>(key >> 32);
            }
            m_pLastSlot->m_bSorted = true;
        }
    }
    if (m_pLastSlot == nullptr) {
        return {nullptr, nullptr};
    }
    const std::uint32_t* hashes = m_arrGroupedHash.data();
    const auto range = std::equal_range(hashes + m_pLastSlot->m_nBegin, hashes + m_pLastSlot->m_nEnd,
                                        NameHash(NameOfEntry(entry)));
    return {m_arrGrouped.data() + (range.first - hashes), m_arrGrouped.data() + (range.second - hashes)};
}

// How the report's dates read here: judged on a sample of the files still
// there, and on every one of them only when the sample points to another
// time zone.
void CEntryMatcher::ReadDates() {
    const auto datePairs = [&](std::size_t most) {
        std::vector<std::string_view> dates;
        std::vector<CDatePair> pairs;
        for (std::size_t i = m_report.FirstEntry(); i < m_report.Count() && pairs.size() < most; ++i) {
            if (m_report.IsFolder(i)) {
                continue;
            }
            if (dates.size() < kDateSample) {
                dates.push_back(m_report.DateOf(i));
            }
            const std::string_view name = NameOfEntry(i);
            const auto [first, last] = CandidatesOf(i);
            for (const std::uint32_t* j = first; j != last; ++j) {
                if (!m_found.IsFolder(*j) && m_found.SizeOf(*j) == m_report.SizeOf(i) && m_found.NameAt(*j) == name) {
                    pairs.push_back({m_report.DateOf(i), m_report.TimeOf(i), m_found.LastWriteAt(*j)});
                    break;
                }
            }
        }
        return std::make_pair(std::move(dates), std::move(pairs));
    };
    const auto [dates, pairs] = datePairs(kDateSample);
    CLocaleFormat& locale = *m_found.WalkLocale();
    CDateHints sample(locale, m_bListing);
    sample.Examine(dates, pairs);
    m_bDatesComparable = sample.DatesComparable();
    m_arrHints = sample.Hints();
    if (sample.TimeZoneShifted()) {
        const auto [allDates, allPairs] = datePairs(SIZE_MAX);
        CDateHints every(locale, m_bListing);
        every.Examine(allDates, allPairs);
        m_arrHints = every.Hints();
    }
}

// Many entries of one group may share a name (an archive without its log
// is one group): the taken ones at the front of a run of candidates are
// skipped by pointers that lead past them, shortened on every walk.
const std::uint32_t* CEntryMatcher::FirstFree(const std::uint32_t* first, const std::uint32_t* last) {
    if (first == last) {
        return last; // also no group at all: null
    }
    const auto position = [&](const std::uint32_t* at) { return static_cast<std::uint32_t>(at - m_arrGrouped.data()); };
    const std::uint32_t end = position(last);
    std::uint32_t free = position(first);
    while (free < end && m_arrTaken[m_arrGrouped[free]]) {
        free = std::max(free + 1, m_arrSkip[free]);
    }
    for (std::uint32_t at = position(first); at < free;) {
        const std::uint32_t next = std::max(at + 1, m_arrSkip[at]);
        m_arrSkip[at] = free;
        at = next;
    }
    return m_arrGrouped.data() + free;
}

bool CEntryMatcher::SameFile(std::size_t entry, std::size_t found) const {
    if (m_found.SizeOf(found) != m_report.SizeOf(entry)) {
        return false;
    }
    if (!m_bDatesComparable) {
        return true;
    }
    if (m_bTextsNumbered) {
        std::uint32_t date = 0, time = 0;
        m_found.TextNumbersAt(found, date, time);
        return date == m_report.DateNumberOf(entry) && time == m_report.TimeNumberOf(entry);
    }
    std::string_view date, time;
    m_found.TextsAt(found, date, time);
    return date == m_report.DateOf(entry) && time == m_report.TimeOf(entry);
}

// Each report entry takes an entry at its place: the same file first, then
// any of its kind (changed).
void CEntryMatcher::PairInPlace() {
    for (std::size_t i = m_report.FirstEntry(); i < m_report.Count(); ++i) {
        const bool folder = m_report.IsFolder(i);
        const std::string_view name = NameOfEntry(i);
        std::uint32_t chosen = kNone;
        std::uint32_t anyOfKind = kNone;
        const auto [first, last] = CandidatesOf(i);
        for (const std::uint32_t* at = FirstFree(first, last); at != last; ++at) {
            const std::uint32_t j = *at;
            if (m_arrTaken[j] || m_found.IsFolder(j) != folder || m_found.NameAt(j) != name) {
                continue;
            }
            if (folder || SameFile(i, j)) {
                chosen = j;
                break;
            }
            if (anyOfKind == kNone) {
                anyOfKind = j;
            }
        }
        if (chosen != kNone) {
            m_arrStates[i] = EntryState::Ok;
        } else if (anyOfKind != kNone) {
            chosen = anyOfKind;
            m_arrStates[i] = EntryState::Changed;
        } else {
            continue;
        }
        m_arrPairs[i] = chosen;
        m_arrTaken[chosen] = true;
    }
}

// A file not at its place may be elsewhere, unchanged: moved. Looked for
// only among the files left over, and only when some are missing.
void CEntryMatcher::PairMoved() {
    std::unordered_map<CMoveKey, std::vector<std::uint32_t>, CMoveKeyHash> notInPlace;
    for (std::size_t i = m_report.Count(); i-- > m_report.FirstEntry();) {
        if (m_arrStates[i] == EntryState::Missing && !m_report.IsFolder(i)) {
            CMoveKey key{NameOfEntry(i), m_report.SizeOf(i), {}, {}};
            if (m_bDatesComparable) {
                key.m_strDate = m_report.DateOf(i);
                key.m_strTime = m_report.TimeOf(i);
            }
            notInPlace[std::move(key)].push_back(static_cast<std::uint32_t>(i)); // the last first
        }
    }
    for (std::size_t j = 0; j < m_found.Count() && !notInPlace.empty(); ++j) {
        if (m_arrTaken[j] || m_found.IsFolder(j) || !Listable(j)) {
            continue;
        }
        CMoveKey key{m_found.NameAt(j), m_found.SizeOf(j), {}, {}};
        if (m_bDatesComparable) {
            std::string_view date, time;
            m_found.TextsAt(j, date, time);
            key.m_strDate = date;
            key.m_strTime = time;
        }
        const auto at = notInPlace.find(key);
        if (at == notInPlace.end()) {
            continue;
        }
        const std::uint32_t i = at->second.back();
        at->second.pop_back();
        if (at->second.empty()) {
            notInPlace.erase(at);
        }
        m_arrTaken[j] = true;
        m_arrPairs[i] = static_cast<std::uint32_t>(j);
        m_arrStates[i] = EntryState::Moved;
    }
}

std::string CEntryMatcher::ChangeOf(std::size_t entry) const {
    const std::uint32_t now = m_arrPairs[entry];
    const std::uint64_t size = m_report.SizeOf(entry);
    std::string detail;
    const auto part = [&](const char* what, std::string_view was, std::string_view is) {
        if (!detail.empty()) {
            detail += "; ";
        }
        detail += what;
        detail.push_back(' ');
        detail.append(was);
        detail += " -> ";
        detail.append(is);
    };
    if (size != m_found.SizeOf(now)) {
        part("size", std::to_string(size), std::to_string(m_found.SizeOf(now)));
    }
    if (m_bDatesComparable) {
        std::string_view date, time;
        m_found.TextsAt(now, date, time);
        const std::string foundDate(date), foundTime(time);
        if (m_report.DateOf(entry) != foundDate) {
            part("date", m_report.DateOf(entry), foundDate);
        }
        if (m_report.TimeOf(entry) != foundTime) {
            part("time", m_report.TimeOf(entry), foundTime);
        }
    }
    return detail;
}
