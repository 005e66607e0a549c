#include "CopyIndex.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <numeric>
#include <optional>
#include <sys/mman.h>
#include <tuple>

namespace {

constexpr std::uint32_t kConflict = CCopyIndex::kNone - 1;
// Members whose names one batch of an answer reads at once.
constexpr std::size_t kBatchMembers = std::size_t{1} << 17;

// The medium of an archive's tag: the text before its last "-".
std::string_view MediumOfTag(std::string_view tag) {
    const std::size_t dash = tag.rfind('-');
    return dash == std::string_view::npos ? tag : tag.substr(0, dash);
}

bool HoldsAll(std::string_view foldedName, const std::vector<std::string>& texts) {
    return std::all_of(texts.begin(), texts.end(),
                       [&](const std::string& text) { return foldedName.find(text) != std::string::npos; });
}

// Room for n items, in huge pages where the system gives them on request:
// filling hundreds of megabytes then takes a fault every 2 MiB, not every 4 KiB.
template <class T>
void ReserveLarge(std::vector<T>& items, std::size_t n) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    items.reserve(n);
    const auto from = (reinterpret_cast<std::uintptr_t>(items.data()) + kHugePage - 1) & ~(kHugePage - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(items.data() + items.capacity()) & ~(kHugePage - 1);
    if (to > from) {
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE); // a help only
    }
}

} // namespace

// The groups of one batch of an answer, with the entries read again for
// them; the buffers are kept from batch to batch.
struct CCopyIndex::CBatch {
    struct CPlace {
        std::string m_strTag, m_strFolder, m_strFoldedTag, m_strFoldedFolder;
        bool m_bWindows1252 = false;
        std::uint32_t m_nFindRank = 0;   // by folded tag and folder, then as written
        std::uint32_t m_nFolderRank = 0; // by folded folder alone (equal folded folders share one)
    };
    struct CFetched {
        bool m_bPresent = false;
        std::uint32_t m_nPlace = 0;
        std::string m_strName, m_strFoldedName;
        bool m_bWindows1252 = false;
        bool m_bHasDigest = false;
        EntryDigest m_digest{};
        std::uint64_t m_nSize = 0;
        std::uint32_t m_nReportRank = 0;
        std::uint32_t m_nLine = 0;
    };
    struct CAnswer {
        std::uint32_t m_nGroup; // into m_arrGroups
        std::uint32_t m_nFirst; // into m_arrFetched
    };

    // A group with its media: a group of one copy holds its medium's rank,
    // the others where their ranks start in m_arrMediaPool.
    struct CRun {
        std::uint32_t m_nGroup;
        std::uint32_t m_nMedia;
    };
    const std::vector<std::uint32_t>* m_pMediaPool = nullptr;
    const std::vector<std::uint32_t>* m_pMediumOfRank = nullptr;
    const std::uint32_t* MediaOf(const CRun& run, std::uint32_t copies) const {
        return copies == 1 ? &run.m_nMedia : m_pMediaPool->data() + run.m_nMedia;
    }

    // In: groups of whole runs of one copy count and media, and where each run ends.
    std::vector<CRun> m_arrGroups;
    std::vector<std::uint32_t> m_arrRunEnds;

    // The members of m_arrGroups[i] are m_arrFetched[m_arrGroupSlot[i], m_arrGroupSlot[i + 1]).
    std::vector<std::uint32_t> m_arrGroupSlot;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_arrWanted; // (entry, slot), by entry
    std::vector<CFetched> m_arrFetched;
    std::vector<CPlace> m_arrPlaces;
    std::unordered_map<std::string, std::uint32_t> m_mapPlaces;
    std::vector<CAnswer> m_arrAnswers; // run after run, each sorted
    std::vector<std::string> m_arrWarnings;

    std::uint32_t PlaceOf(const CCopyKey& key) {
        std::string text;
        text.reserve(key.m_strTag.size() + key.m_strFolder.size() + 2);
        text.append(key.m_strTag).push_back('\t');
        text.append(key.m_strFolder).push_back(key.m_bFolderWindows1252 ? '1' : '0');
        const auto [at, inserted] = m_mapPlaces.emplace(std::move(text), static_cast<std::uint32_t>(m_arrPlaces.size()));
        if (inserted) {
            m_arrPlaces.push_back({std::string(key.m_strTag), std::string(key.m_strFolder),
                                   FoldedName(key.m_strTag, false),
                                   FoldedName(key.m_strFolder, key.m_bFolderWindows1252), key.m_bFolderWindows1252});
        }
        return at->second;
    }
    void RankPlaces() {
        std::vector<std::uint32_t> order(m_arrPlaces.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const CPlace& x = m_arrPlaces[a];
            const CPlace& y = m_arrPlaces[b];
            return std::tie(x.m_strFoldedTag, x.m_strFoldedFolder, x.m_strTag, x.m_strFolder, x.m_bWindows1252) <
                   std::tie(y.m_strFoldedTag, y.m_strFoldedFolder, y.m_strTag, y.m_strFolder, y.m_bWindows1252);
        });
        for (std::size_t r = 0; r < order.size(); ++r) {
            m_arrPlaces[order[r]].m_nFindRank = static_cast<std::uint32_t>(r);
        }
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return m_arrPlaces[a].m_strFoldedFolder < m_arrPlaces[b].m_strFoldedFolder;
        });
        for (std::size_t r = 0; r < order.size(); ++r) {
            const bool same = r > 0 && m_arrPlaces[order[r]].m_strFoldedFolder == m_arrPlaces[order[r - 1]].m_strFoldedFolder;
            m_arrPlaces[order[r]].m_nFolderRank = same ? m_arrPlaces[order[r - 1]].m_nFolderRank : static_cast<std::uint32_t>(r);
        }
    }
    // Find's order: tag, folder, name (each case-folded), report, line.
    bool FindsBefore(const CFetched& x, const CFetched& y) const {
        const std::uint32_t a = m_arrPlaces[x.m_nPlace].m_nFindRank;
        const std::uint32_t b = m_arrPlaces[y.m_nPlace].m_nFindRank;
        if (a != b) {
            return a < b;
        }
        const int name = x.m_strFoldedName.compare(y.m_strFoldedName);
        if (name != 0) {
            return name < 0;
        }
        return std::tie(x.m_nReportRank, x.m_nLine) < std::tie(y.m_nReportRank, y.m_nLine);
    }
};

std::uint32_t CCopyIndex::InternMedium(std::string_view name, bool listing) {
    std::string key(listing ? "L" : "T");
    key.append(name);
    const auto [at, inserted] = m_mapMedia.emplace(std::move(key), static_cast<std::uint32_t>(m_arrMedia.size()));
    if (inserted) {
        m_arrMedia.push_back({std::string(name), FoldedName(name, false)});
    }
    return at->second;
}

void CCopyIndex::Reserve(std::size_t entries) {
    ReserveLarge(m_arrMediumOf, entries);
    ReserveLarge(m_arrLine, entries);
    ReserveLarge(m_arrSize, entries);
    ReserveLarge(m_arrKey, entries);
}

// One report's entries as read for adding, by the report's place numbers.
struct CCopyIndex::CReadReport {
    bool m_bRead = false;
    std::vector<std::string> m_arrTags; // by place
    std::vector<std::uint32_t> m_arrPlace;
    std::vector<std::uint32_t> m_arrLine;
    std::vector<std::uint64_t> m_arrSize;
    std::vector<std::uint64_t> m_arrKey;
    std::vector<std::pair<std::uint32_t, EntryDigest>> m_arrDigests; // by entry within the report
};

void CCopyIndex::ReadForAdding(const std::string& reportPath, const CKeysSource& source, CReadReport& read) const {
    read.m_arrTags.clear();
    read.m_arrPlace.clear();
    read.m_arrLine.clear();
    read.m_arrSize.clear();
    read.m_arrKey.clear();
    read.m_arrDigests.clear();
    std::uint32_t place = kNone;
    read.m_bRead = source(reportPath, [&](const CCopyKey& key) {
        if (key.m_nPlace != place) {
            place = key.m_nPlace;
            if (place >= read.m_arrTags.size()) {
                read.m_arrTags.resize(std::size_t{place} + 1);
            }
            read.m_arrTags[place] = key.m_strTag;
        }
        if (key.m_pDigest != nullptr) {
            read.m_arrDigests.emplace_back(static_cast<std::uint32_t>(read.m_arrLine.size()), *key.m_pDigest);
        }
        read.m_arrPlace.push_back(place);
        read.m_arrLine.push_back(key.m_nLine);
        read.m_arrSize.push_back(key.m_nSize);
        read.m_arrKey.push_back(GroupingKey(key, m_bByName));
    });
}

std::vector<std::string> CCopyIndex::AddReports(const std::vector<std::string>& reportPaths, const CKeysSource& source) {
    std::vector<std::string> damaged;
    CReadReport now, next;
    if (!reportPaths.empty()) {
        ReadForAdding(reportPaths.front(), source, now);
    }
    for (std::size_t r = 0; r < reportPaths.size(); ++r) {
        std::future<void> reading;
        if (r + 1 < reportPaths.size()) {
            reading = std::async(std::launch::async, [&, r] { ReadForAdding(reportPaths[r + 1], source, next); });
        }
        if (!Add(reportPaths[r], now)) {
            damaged.push_back(reportPaths[r]);
        }
        if (reading.valid()) {
            reading.get();
        }
        std::swap(now, next);
    }
    return damaged;
}

bool CCopyIndex::Add(const std::string& reportPath, const CReadReport& read) {
    const auto report = static_cast<std::uint32_t>(m_arrReports.size());
    const std::size_t first = m_arrLine.size();
    if (!read.m_bRead || first + read.m_arrLine.size() >= kConflict) {
        return false;
    }
    std::vector<std::uint32_t> mediumOf(read.m_arrTags.size(), kNone); // by place
    for (const std::uint32_t place : read.m_arrPlace) {
        if (mediumOf[place] == kNone) {
            const std::string& tag = read.m_arrTags[place];
            mediumOf[place] = tag.empty() ? InternMedium(reportPath, true) : InternMedium(MediumOfTag(tag), false);
        }
        m_arrMediumOf.push_back(mediumOf[place]);
    }
    for (const auto& [entry, digest] : read.m_arrDigests) {
        m_arrHashed.push_back({digest, static_cast<std::uint32_t>(first + entry)});
    }
    m_arrLine.insert(m_arrLine.end(), read.m_arrLine.begin(), read.m_arrLine.end());
    for (const std::uint64_t size : read.m_arrSize) {
        if (size >= kLargeSize) {
            m_mapLargeSize.emplace(static_cast<std::uint32_t>(m_arrSize.size()), size);
        }
        m_arrSize.push_back(static_cast<std::uint32_t>(std::min(size, kLargeSize)));
    }
    m_arrKey.insert(m_arrKey.end(), read.m_arrKey.begin(), read.m_arrKey.end());
    if (m_arrReportStart.empty()) {
        m_arrReportStart.push_back(0);
    }
    m_arrReports.emplace_back(reportPath);
    m_mapReports.emplace(std::string(reportPath), report);
    m_arrReportStart.push_back(static_cast<std::uint32_t>(m_arrLine.size()));
    return true;
}

void CCopyIndex::Group() {
    // The orders Find shows media and reports in.
    std::vector<std::uint32_t> order(m_arrMedia.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::tie(m_arrMedia[a].m_strFolded, m_arrMedia[a].m_strName) <
               std::tie(m_arrMedia[b].m_strFolded, m_arrMedia[b].m_strName);
    });
    for (std::size_t r = 0; r < order.size(); ++r) {
        m_arrMedia[order[r]].m_nRank = static_cast<std::uint32_t>(r);
    }
    order.resize(m_arrReports.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return m_arrReports[a] < m_arrReports[b]; });
    m_arrReportRank.assign(m_arrReports.size(), 0);
    for (std::size_t r = 0; r < order.size(); ++r) {
        m_arrReportRank[order[r]] = static_cast<std::uint32_t>(r);
    }
    if (m_arrReportStart.empty()) {
        m_arrReportStart.push_back(0);
    }

    // Hashed entries by digest: one group a digest.
    const std::size_t entries = m_arrLine.size();
    ReserveLarge(m_arrGroupOf, entries);
    m_arrGroupOf.assign(entries, kNone);
    std::sort(m_arrHashed.begin(), m_arrHashed.end(), [](const CHashedEntry& a, const CHashedEntry& b) {
        return std::tie(a.m_digest, a.m_nEntry) < std::tie(b.m_digest, b.m_nEntry);
    });
    std::uint32_t groups = 0;
    for (std::size_t i = 0; i < m_arrHashed.size(); ++i) {
        if (i > 0 && m_arrHashed[i].m_digest != m_arrHashed[i - 1].m_digest) {
            ++groups;
        }
        m_arrGroupOf[m_arrHashed[i].m_nEntry] = groups;
    }
    groups = m_arrHashed.empty() ? 0 : groups + 1;
    const std::uint32_t digestGroups = groups;

    // Each key of a hashed entry with the group of its digest, or kConflict when two digests share it.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> digestOfKey;
    digestOfKey.reserve(m_arrHashed.size());
    for (const CHashedEntry& hashed : m_arrHashed) {
        digestOfKey.emplace_back(m_arrKey[hashed.m_nEntry], m_arrGroupOf[hashed.m_nEntry]);
    }
    const std::size_t hashedEntries = m_arrHashed.size();
    std::vector<CHashedEntry>().swap(m_arrHashed);
    std::sort(digestOfKey.begin(), digestOfKey.end());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < digestOfKey.size(); ++i) {
        if (kept > 0 && digestOfKey[kept - 1].first == digestOfKey[i].first) {
            if (digestOfKey[kept - 1].second != digestOfKey[i].second) {
                digestOfKey[kept - 1].second = kConflict;
            }
            continue;
        }
        digestOfKey[kept++] = digestOfKey[i];
    }
    digestOfKey.resize(kept);

    // Unhashed entries join their key's digest, else the unhashed entries of their key.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> unhashed;
    ReserveLarge(unhashed, entries - hashedEntries);
    for (std::uint32_t e = 0; e < entries; ++e) {
        if (m_arrGroupOf[e] == kNone) {
            unhashed.emplace_back(m_arrKey[e], e);
        }
    }
    std::vector<std::uint64_t>().swap(m_arrKey);
    std::sort(unhashed.begin(), unhashed.end());
    auto known = digestOfKey.begin();
    for (std::size_t i = 0; i < unhashed.size();) {
        const std::uint64_t key = unhashed[i].first;
        while (known != digestOfKey.end() && known->first < key) {
            ++known;
        }
        std::uint32_t group = groups;
        if (known != digestOfKey.end() && known->first == key && known->second != kConflict) {
            group = known->second;
        } else {
            ++groups;
        }
        for (; i < unhashed.size() && unhashed[i].first == key; ++i) {
            m_arrGroupOf[unhashed[i].second] = group;
        }
    }
    std::vector<std::pair<std::uint64_t, std::uint32_t>>().swap(digestOfKey);
    std::vector<std::pair<std::uint64_t, std::uint32_t>>().swap(unhashed);

    // Groups numbered in the order of their first entries, so that walking
    // groups in number order walks the entries nearly in order.
    {
        std::vector<std::uint32_t> renumbered(groups, kNone);
        std::vector<bool> hashed(groups, false);
        std::uint32_t next = 0;
        for (std::uint32_t& g : m_arrGroupOf) {
            if (renumbered[g] == kNone) {
                hashed[next] = g < digestGroups;
                renumbered[g] = next++;
            }
            g = renumbered[g];
        }
        m_arrGroupHashed = std::move(hashed);
    }

    // Each group's members, in the order added, and its copy count.
    m_arrGroupStart.assign(std::size_t{groups} + 1, 0);
    for (const std::uint32_t g : m_arrGroupOf) {
        ++m_arrGroupStart[g + 1];
    }
    std::partial_sum(m_arrGroupStart.begin(), m_arrGroupStart.end(), m_arrGroupStart.begin());
    ReserveLarge(m_arrMembers, entries);
    m_arrMembers.resize(entries);
    {
        std::vector<std::uint32_t> next(m_arrGroupStart.begin(), m_arrGroupStart.end() - 1);
        for (std::uint32_t e = 0; e < entries; ++e) {
            m_arrMembers[next[m_arrGroupOf[e]]++] = e;
        }
    }
    m_arrCopies.assign(groups, 1);
    std::vector<std::uint32_t> media;
    for (std::uint32_t g = 0; g < groups; ++g) {
        if (m_arrGroupStart[g + 1] - m_arrGroupStart[g] < 2) {
            continue;
        }
        media.clear();
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            media.push_back(m_arrMediumOf[m_arrMembers[k]]);
        }
        std::sort(media.begin(), media.end());
        m_arrCopies[g] = static_cast<std::uint32_t>(std::unique(media.begin(), media.end()) - media.begin());
    }
}

std::uint64_t CCopyIndex::SizeOf(std::uint32_t entry) const {
    return m_arrSize[entry] < kLargeSize ? m_arrSize[entry] : m_mapLargeSize.at(entry);
}

std::uint32_t CCopyIndex::ReportOf(std::uint32_t entry) const {
    const auto after = std::upper_bound(m_arrReportStart.begin(), m_arrReportStart.end(), entry);
    return static_cast<std::uint32_t>(after - m_arrReportStart.begin()) - 1;
}

bool CCopyIndex::ReadReport(std::uint32_t report, const CKeysSource& source,
                            const std::function<void(std::uint32_t entry, const CCopyKey& key)>& sink,
                            std::vector<std::string>& warnings) const {
    const std::uint32_t first = m_arrReportStart[report];
    const std::uint32_t end = m_arrReportStart[report + 1];
    std::uint32_t entry = first;
    // The keys are the ones grouped (the caller reads them in the snapshot they
    // were grouped from); entries past the count, or on other lines, are skipped.
    const bool read = source(m_arrReports[report], [&](const CCopyKey& key) {
                          if (entry < end && m_arrLine[entry] == key.m_nLine) {
                              sink(entry, key);
                          }
                          ++entry;
                      });
    if (!read || entry != end) {
        warnings.push_back(m_arrReports[report] + ": damaged entries in the catalogue; refresh it");
        return false;
    }
    return true;
}

std::vector<bool> CCopyIndex::Selected(const CCopiesQuery& query, const CKeysSource& source,
                                       const std::atomic<bool>& cancel, std::vector<std::string>& warnings) const {
    const auto groups = static_cast<std::uint32_t>(m_arrCopies.size());
    std::vector<bool> selected(groups, false);
    const std::string prefix = FoldedName(query.m_strMediumPrefix, false);
    std::vector<bool> mediumKept(m_arrMedia.size(), true);
    for (std::size_t m = 0; m < m_arrMedia.size(); ++m) {
        mediumKept[m] = m_arrMedia[m].m_strFolded.compare(0, prefix.size(), prefix) == 0;
    }
    for (std::uint32_t g = 0; g < groups; ++g) {
        const std::uint32_t copies = m_arrCopies[g];
        if ((query.m_nFewerThan && copies >= *query.m_nFewerThan) || (query.m_nAtLeast && copies < *query.m_nAtLeast)) {
            continue;
        }
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1] && !selected[g]; ++k) {
            selected[g] = prefix.empty() || mediumKept[m_arrMediumOf[m_arrMembers[k]]];
        }
    }
    if (query.m_arrTexts.empty()) {
        return selected;
    }
    // Names are not kept: a group is named when one of its entries' names, read again, holds every text.
    std::vector<std::string> texts;
    for (const std::string& text : query.m_arrTexts) {
        texts.push_back(FoldedName(text, false));
    }
    std::vector<bool> named(groups, false);
    for (std::uint32_t r = 0; r + 1 < m_arrReportStart.size() && !cancel.load(std::memory_order_relaxed); ++r) {
        ReadReport(r, source, [&](std::uint32_t entry, const CCopyKey& key) {
            const std::uint32_t g = m_arrGroupOf[entry];
            if (selected[g] && !named[g] && HoldsAll(key.m_strFolded, texts)) {
                named[g] = true;
            }
        }, warnings);
    }
    for (std::uint32_t g = 0; g < groups; ++g) {
        selected[g] = selected[g] && named[g];
    }
    return selected;
}

CCopiesResult CCopyIndex::Groups(const CCopiesQuery& query, const CKeysSource& source, const CGroupSink& sink,
                                 const std::atomic<bool>& cancel) const {
    CCopiesResult result;
    const std::vector<bool> selected = Selected(query, source, cancel, result.m_arrWarnings);
    // The selected groups by copy count and media (ranks, distinct, ascending):
    // files on one medium, most of most answers, by counting; the others by sorting.
    std::vector<std::uint32_t> mediaPool;
    const auto mediaOf = [&](const CBatch::CRun& run, std::uint32_t copies) {
        return copies == 1 ? &run.m_nMedia : mediaPool.data() + run.m_nMedia;
    };
    std::vector<CBatch::CRun> order;
    std::vector<CBatch::CRun> several;
    std::vector<std::uint32_t> singlesAt(m_arrMedia.size() + 1, 0);
    for (std::uint32_t g = 0; g < m_arrCopies.size(); ++g) {
        if (!selected[g]) {
            continue;
        }
        if (m_arrCopies[g] == 1) {
            ++singlesAt[m_arrMedia[m_arrMediumOf[m_arrMembers[m_arrGroupStart[g]]]].m_nRank + 1];
            continue;
        }
        const auto from = static_cast<std::uint32_t>(mediaPool.size());
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            mediaPool.push_back(m_arrMedia[m_arrMediumOf[m_arrMembers[k]]].m_nRank);
        }
        std::sort(mediaPool.begin() + from, mediaPool.end());
        mediaPool.erase(std::unique(mediaPool.begin() + from, mediaPool.end()), mediaPool.end());
        several.push_back({g, from});
    }
    std::partial_sum(singlesAt.begin(), singlesAt.end(), singlesAt.begin());
    order.resize(singlesAt.back());
    for (std::uint32_t g = 0; g < m_arrCopies.size(); ++g) {
        if (selected[g] && m_arrCopies[g] == 1) {
            const std::uint32_t rank = m_arrMedia[m_arrMediumOf[m_arrMembers[m_arrGroupStart[g]]]].m_nRank;
            order[singlesAt[rank]++] = {g, rank};
        }
    }
    std::vector<std::uint32_t>().swap(singlesAt);
    const auto mediaLess = [&](const CBatch::CRun& a, const CBatch::CRun& b) {
        const std::uint32_t copies = m_arrCopies[a.m_nGroup];
        if (copies != m_arrCopies[b.m_nGroup]) {
            return copies < m_arrCopies[b.m_nGroup];
        }
        const std::uint32_t* x = mediaOf(a, copies);
        const std::uint32_t* y = mediaOf(b, copies);
        return std::lexicographical_compare(x, x + copies, y, y + copies);
    };
    std::sort(several.begin(), several.end(), mediaLess);
    order.insert(order.end(), several.begin(), several.end());
    std::vector<CBatch::CRun>().swap(several);
    std::vector<std::uint32_t> mediumOfRank(m_arrMedia.size());
    for (std::size_t m = 0; m < m_arrMedia.size(); ++m) {
        mediumOfRank[m_arrMedia[m].m_nRank] = static_cast<std::uint32_t>(m);
    }

    // Batches of whole runs of one copy count and media. While one batch is
    // sorted and given to the sink on this thread, the next one's names are
    // read on another (the only one then reading the entries).
    std::vector<std::size_t> batchEnds;
    for (std::size_t i = 0, members = 0; i < order.size(); ++i) {
        const std::uint32_t g = order[i].m_nGroup;
        members += m_arrGroupStart[g + 1] - m_arrGroupStart[g];
        if (i + 1 == order.size() || (members >= kBatchMembers && mediaLess(order[i], order[i + 1]))) {
            batchEnds.push_back(i + 1);
            members = 0;
        }
    }
    CBatch batches[2];
    std::future<void> pending;
    const auto start = [&](std::size_t b) {
        CBatch& batch = batches[b % 2];
        batch.m_pMediaPool = &mediaPool;
        batch.m_pMediumOfRank = &mediumOfRank;
        batch.m_arrGroups.assign(order.begin() + static_cast<std::ptrdiff_t>(b == 0 ? 0 : batchEnds[b - 1]),
                                 order.begin() + static_cast<std::ptrdiff_t>(batchEnds[b]));
        batch.m_arrRunEnds.clear();
        for (std::size_t i = 0; i < batch.m_arrGroups.size(); ++i) {
            if (i + 1 == batch.m_arrGroups.size() || mediaLess(batch.m_arrGroups[i], batch.m_arrGroups[i + 1])) {
                batch.m_arrRunEnds.push_back(static_cast<std::uint32_t>(i + 1));
            }
        }
        pending = std::async(std::launch::async, [this, &batch, &source] { PrepareBatch(batch, source); });
    };
    if (!batchEnds.empty()) {
        start(0);
    }
    for (std::size_t b = 0; b < batchEnds.size(); ++b) {
        pending.get();
        CBatch& ready = batches[b % 2];
        result.m_arrWarnings.insert(result.m_arrWarnings.end(), ready.m_arrWarnings.begin(), ready.m_arrWarnings.end());
        if (cancel.load(std::memory_order_relaxed)) {
            break;
        }
        if (b + 1 < batchEnds.size()) {
            start(b + 1);
        }
        OrderBatch(ready);
        GiveBatch(ready, sink);
    }
    if (pending.valid()) {
        pending.wait();
    }
    result.m_bCancelled = cancel;
    return result;
}

void CCopyIndex::PrepareBatch(CBatch& batch, const CKeysSource& source) const {
    std::vector<std::string>& warnings = batch.m_arrWarnings;
    warnings.clear();
    // Each group's members take consecutive slots; they are read in the order of their entries.
    batch.m_arrGroupSlot.clear();
    batch.m_arrWanted.clear();
    for (const CBatch::CRun& run : batch.m_arrGroups) {
        const std::uint32_t g = run.m_nGroup;
        batch.m_arrGroupSlot.push_back(static_cast<std::uint32_t>(batch.m_arrWanted.size()));
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            batch.m_arrWanted.emplace_back(m_arrMembers[k], static_cast<std::uint32_t>(batch.m_arrWanted.size()));
        }
    }
    batch.m_arrGroupSlot.push_back(static_cast<std::uint32_t>(batch.m_arrWanted.size()));
    const auto& wanted = batch.m_arrWanted;
    std::sort(batch.m_arrWanted.begin(), batch.m_arrWanted.end());
    batch.m_arrFetched.resize(wanted.size());
    batch.m_arrPlaces.clear();
    batch.m_mapPlaces.clear();
    for (CBatch::CFetched& f : batch.m_arrFetched) {
        f.m_bPresent = false;
    }
    std::vector<std::uint32_t> placeOfKey; // the report's place numbers, as the batch's
    for (std::size_t i = 0; i < wanted.size();) {
        const std::uint32_t report = ReportOf(wanted[i].first);
        std::size_t at = i;
        placeOfKey.clear();
        ReadReport(report, source, [&](std::uint32_t entry, const CCopyKey& key) {
            if (at == wanted.size() || wanted[at].first != entry) {
                return;
            }
            CBatch::CFetched& f = batch.m_arrFetched[wanted[at++].second];
            f.m_bPresent = true;
            if (key.m_nPlace >= placeOfKey.size()) {
                placeOfKey.resize(key.m_nPlace + 1, kNone);
            }
            if (placeOfKey[key.m_nPlace] == kNone) {
                placeOfKey[key.m_nPlace] = batch.PlaceOf(key);
            }
            f.m_nPlace = placeOfKey[key.m_nPlace];
            f.m_strName.assign(key.m_strName);
            f.m_strFoldedName.assign(key.m_strFolded);
            f.m_bWindows1252 = key.m_bWindows1252;
            f.m_nSize = key.m_nSize;
            f.m_bHasDigest = key.m_pDigest != nullptr;
            if (f.m_bHasDigest) {
                f.m_digest = *key.m_pDigest;
            }
            f.m_nReportRank = m_arrReportRank[report];
            f.m_nLine = key.m_nLine;
        }, warnings);
        const std::uint32_t end = m_arrReportStart[report + 1];
        while (i < wanted.size() && wanted[i].first < end) {
            ++i;
        }
    }
}

void CCopyIndex::OrderBatch(CBatch& batch) const {
    batch.RankPlaces();

    // Each group by its first entry in Find's order; each run sorted by that entry's folder and name.
    std::vector<CBatch::CAnswer>& answers = batch.m_arrAnswers;
    answers.clear();
    std::size_t runStart = 0;
    for (const std::uint32_t runEnd : batch.m_arrRunEnds) {
        const std::size_t sortFrom = answers.size();
        for (std::size_t i = runStart; i < runEnd; ++i) {
            std::size_t first = SIZE_MAX;
            for (std::uint32_t slot = batch.m_arrGroupSlot[i]; slot < batch.m_arrGroupSlot[i + 1]; ++slot) {
                const CBatch::CFetched& f = batch.m_arrFetched[slot];
                if (f.m_bPresent && (first == SIZE_MAX || batch.FindsBefore(f, batch.m_arrFetched[first]))) {
                    first = slot;
                }
            }
            if (first != SIZE_MAX) {
                answers.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(first)});
            }
        }
        runStart = runEnd;
        std::sort(answers.begin() + static_cast<std::ptrdiff_t>(sortFrom), answers.end(),
                  [&](const CBatch::CAnswer& a, const CBatch::CAnswer& b) {
            const CBatch::CFetched& x = batch.m_arrFetched[a.m_nFirst];
            const CBatch::CFetched& y = batch.m_arrFetched[b.m_nFirst];
            const std::uint32_t xFolder = batch.m_arrPlaces[x.m_nPlace].m_nFolderRank;
            const std::uint32_t yFolder = batch.m_arrPlaces[y.m_nPlace].m_nFolderRank;
            if (xFolder != yFolder) {
                return xFolder < yFolder;
            }
            const int name = x.m_strFoldedName.compare(y.m_strFoldedName);
            return name != 0 ? name < 0 : batch.FindsBefore(x, y);
        });
    }
}

void CCopyIndex::GiveBatch(const CBatch& batch, const CGroupSink& sink) const {
    CCopyGroup group;
    for (const CBatch::CAnswer& answer : batch.m_arrAnswers) {
        const CBatch::CRun& run = batch.m_arrGroups[answer.m_nGroup];
        const std::uint32_t g = run.m_nGroup;
        const CBatch::CFetched& e = batch.m_arrFetched[answer.m_nFirst];
        const CBatch::CPlace& place = batch.m_arrPlaces[e.m_nPlace];
        group.m_nCopies = m_arrCopies[g];
        group.m_arrMedia.clear();
        const std::uint32_t* media = batch.MediaOf(run, group.m_nCopies);
        for (std::uint32_t k = 0; k < group.m_nCopies; ++k) {
            group.m_arrMedia.push_back(m_arrMedia[(*batch.m_pMediumOfRank)[media[k]]].m_strName);
        }
        group.m_strFolder = place.m_strFolder;
        group.m_bFolderWindows1252 = place.m_bWindows1252;
        group.m_strName = e.m_strName;
        group.m_bWindows1252 = e.m_bWindows1252;
        group.m_nSize = e.m_nSize;
        group.m_digest.reset();
        if (m_arrGroupHashed[g]) {
            for (std::uint32_t slot = batch.m_arrGroupSlot[answer.m_nGroup]; slot < batch.m_arrGroupSlot[answer.m_nGroup + 1];
                 ++slot) {
                const CBatch::CFetched& member = batch.m_arrFetched[slot];
                if (member.m_bPresent && member.m_bHasDigest) {
                    group.m_digest = member.m_digest;
                    break;
                }
            }
        }
        sink(group);
    }
}

CCopiesResult CCopyIndex::Summary(const CCopiesQuery& query, const CKeysSource& source,
                                  const std::atomic<bool>& cancel) const {
    CCopiesResult result;
    const std::vector<bool> selected = Selected(query, source, cancel, result.m_arrWarnings);
    const std::string prefix = FoldedName(query.m_strMediumPrefix, false);
    std::vector<CMediumCopies> media(m_arrMedia.size());
    std::vector<bool> seen(m_arrMedia.size(), false);
    for (std::uint32_t entry = 0; entry < m_arrGroupOf.size(); ++entry) {
        const std::uint32_t g = m_arrGroupOf[entry];
        if (!selected[g]) {
            continue;
        }
        CMediumCopies& medium = media[m_arrMediumOf[entry]];
        seen[m_arrMediumOf[entry]] = true;
        ++medium.m_nFiles;
        const std::uint64_t size = SizeOf(entry);
        medium.m_nBytes += size;
        if (m_arrCopies[g] == 1) {
            ++medium.m_nOnlyHereFiles;
            medium.m_nOnlyHereBytes += size;
        }
    }
    result.m_bCancelled = cancel;
    std::vector<std::uint32_t> order;
    for (std::size_t m = 0; m < m_arrMedia.size(); ++m) {
        if (seen[m] && m_arrMedia[m].m_strFolded.compare(0, prefix.size(), prefix) == 0) {
            order.push_back(static_cast<std::uint32_t>(m));
        }
    }
    std::sort(order.begin(), order.end(),
              [this](std::uint32_t a, std::uint32_t b) { return m_arrMedia[a].m_nRank < m_arrMedia[b].m_nRank; });
    for (const std::uint32_t m : order) {
        media[m].m_strMedium = m_arrMedia[m].m_strName;
        result.m_arrMedia.push_back(std::move(media[m]));
    }
    return result;
}

std::uint32_t CCopyIndex::CopiesOf(const std::string& reportPath, std::uint64_t line) const {
    const auto report = m_mapReports.find(reportPath);
    return report == m_mapReports.end() ? 0 : CopiesAt(report->second, line);
}

std::uint32_t CCopyIndex::CopiesAt(std::uint32_t report, std::uint64_t line) const {
    if (m_arrGroupOf.empty()) {
        return 0;
    }
    const auto begin = m_arrLine.begin() + m_arrReportStart[report];
    const auto end = m_arrLine.begin() + m_arrReportStart[report + 1];
    const auto at = std::lower_bound(begin, end, line);
    if (at == end || *at != line) {
        return 0;
    }
    return m_arrCopies[m_arrGroupOf[static_cast<std::size_t>(at - m_arrLine.begin())]];
}

void CCopyIndex::Count(CFindResult& result, bool oneMediumOnly, std::size_t limit, std::size_t offset) const {
    std::vector<CFindHit>& hits = result.m_arrHits;
    // Hits come in runs of one report: its number is looked up once a run.
    const std::string* lastPath = nullptr;
    std::uint32_t lastReport = kNone;
    for (CFindHit& hit : hits) {
        if (lastPath == nullptr || *lastPath != hit.m_strReport) {
            const auto report = m_mapReports.find(hit.m_strReport);
            lastPath = &hit.m_strReport;
            lastReport = report == m_mapReports.end() ? kNone : report->second;
        }
        hit.m_nCopies = hit.m_bFolder || lastReport == kNone ? 0 : CopiesAt(lastReport, hit.m_nLine);
    }
    if (!oneMediumOnly) {
        return;
    }
    hits.erase(std::remove_if(hits.begin(), hits.end(), [](const CFindHit& hit) { return hit.m_nCopies != 1; }),
               hits.end());
    result.m_nTotal = hits.size();
    hits.erase(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(std::min(offset, hits.size())));
    hits.resize(std::min(limit, hits.size()));
}
