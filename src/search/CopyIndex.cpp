#include "CopyIndex.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

constexpr std::uint32_t kConflict = CCopyIndex::kNone - 1;

// The medium of an archive's tag: the text before its last "-".
std::string_view MediumOfTag(std::string_view tag) {
    const std::size_t dash = tag.rfind('-');
    return dash == std::string_view::npos ? tag : tag.substr(0, dash);
}

} // namespace

std::size_t CCopyIndex::CDigestHash::operator()(const EntryDigest& d) const {
    std::size_t value = 0;
    std::memcpy(&value, d.data(), sizeof value);
    return value;
}

std::uint32_t CCopyIndex::InternPlace(const CCopyKey& key) {
    std::string text;
    text.reserve(key.m_strTag.size() + key.m_strFolder.size() + 2);
    text.append(key.m_strTag).push_back('\t');
    text.append(key.m_strFolder).push_back(key.m_bFolderWindows1252 ? '1' : '0');
    const auto [at, inserted] = m_mapPlaces.emplace(std::move(text), static_cast<std::uint32_t>(m_arrPlaces.size()));
    if (inserted) {
        m_arrPlaces.push_back({std::string(key.m_strTag), std::string(key.m_strFolder), key.m_bFolderWindows1252,
                               FoldedName(key.m_strFolder, key.m_bFolderWindows1252)});
    }
    return at->second;
}

std::uint32_t CCopyIndex::InternMedium(std::string_view name, bool listing) {
    std::string key(listing ? "L" : "T");
    key.append(name);
    const auto [at, inserted] = m_mapMedia.emplace(std::move(key), static_cast<std::uint32_t>(m_arrMedia.size()));
    if (inserted) {
        m_arrMedia.push_back({std::string(name), FoldedName(name, false)});
    }
    return at->second;
}

bool CCopyIndex::AddReport(std::string_view reportPath, std::string_view blob) {
    const auto report = static_cast<std::uint32_t>(m_arrReports.size());
    const std::size_t first = m_arrEntries.size();
    const std::size_t firstName = m_strNames.size();
    std::uint32_t listingMedium = kNone;
    const bool ok = ReadCopyKeys(blob, [&](const CCopyKey& key) {
        CEntry entry{};
        entry.m_nReport = report;
        entry.m_nPlace = InternPlace(key);
        if (key.m_strTag.empty()) {
            if (listingMedium == kNone) {
                listingMedium = InternMedium(reportPath, true);
            }
            entry.m_nMedium = listingMedium;
        } else {
            entry.m_nMedium = InternMedium(MediumOfTag(key.m_strTag), false);
        }
        entry.m_nLine = key.m_nLine;
        entry.m_nDigest = kNone;
        if (key.m_pDigest != nullptr) {
            const auto [at, inserted] =
                m_mapDigests.emplace(*key.m_pDigest, static_cast<std::uint32_t>(m_arrDigests.size()));
            if (inserted) {
                m_arrDigests.push_back(*key.m_pDigest);
            }
            entry.m_nDigest = at->second;
        }
        entry.m_nNameOffset = m_strNames.size();
        entry.m_nNameLength = static_cast<std::uint32_t>(key.m_strName.size());
        m_strNames.append(key.m_strName);
        entry.m_nSize = key.m_nSize;
        entry.m_nNameStamp = key.m_nNameStamp;
        entry.m_nNameSize = key.m_nNameSize;
        entry.m_bWindows1252 = key.m_bWindows1252;
        m_arrEntries.push_back(entry);
    });
    if (!ok) {
        m_arrEntries.resize(first);
        m_strNames.resize(firstName);
        return false;
    }
    if (m_arrReportStart.empty()) {
        m_arrReportStart.push_back(0);
    }
    m_arrReports.emplace_back(reportPath);
    m_mapReports.emplace(std::string(reportPath), report);
    m_arrReportStart.push_back(static_cast<std::uint32_t>(m_arrEntries.size()));
    return true;
}

std::string_view CCopyIndex::NameOf(const CEntry& entry) const {
    return std::string_view(m_strNames).substr(entry.m_nNameOffset, entry.m_nNameLength);
}

void CCopyIndex::Group(bool byName) {
    m_bByName = byName;
    // The orders Find shows places, media and reports in.
    std::vector<std::string> foldedTags(m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        foldedTags[i] = FoldedName(m_arrPlaces[i].m_strTag, m_arrPlaces[i].m_bWindows1252);
    }
    std::vector<std::uint32_t> order(m_arrPlaces.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const CPlace& x = m_arrPlaces[a];
        const CPlace& y = m_arrPlaces[b];
        return std::tie(foldedTags[a], x.m_strFoldedFolder, x.m_strTag, x.m_strFolder) <
               std::tie(foldedTags[b], y.m_strFoldedFolder, y.m_strTag, y.m_strFolder);
    });
    for (std::size_t r = 0; r < order.size(); ++r) {
        m_arrPlaces[order[r]].m_nRank = static_cast<std::uint32_t>(r);
    }
    order.resize(m_arrMedia.size());
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

    // Hashed entries by digest; the others by what the hashed ones equal to them say.
    const auto keyOf = [byName](const CEntry& e) { return byName ? e.m_nNameSize : e.m_nNameStamp; };
    std::unordered_map<std::uint64_t, std::uint32_t> digestOfKey;
    for (const CEntry& e : m_arrEntries) {
        if (e.m_nDigest != kNone) {
            const auto [at, inserted] = digestOfKey.emplace(keyOf(e), e.m_nDigest);
            if (!inserted && at->second != e.m_nDigest) {
                at->second = kConflict;
            }
        }
    }
    auto groups = static_cast<std::uint32_t>(m_arrDigests.size());
    m_arrGroupDigest.resize(groups);
    std::iota(m_arrGroupDigest.begin(), m_arrGroupDigest.end(), 0u);
    std::unordered_map<std::uint64_t, std::uint32_t> unhashedGroup;
    m_arrGroupOf.resize(m_arrEntries.size());
    for (std::size_t i = 0; i < m_arrEntries.size(); ++i) {
        const CEntry& e = m_arrEntries[i];
        if (e.m_nDigest != kNone) {
            m_arrGroupOf[i] = e.m_nDigest;
            continue;
        }
        const auto known = digestOfKey.find(keyOf(e));
        if (known != digestOfKey.end() && known->second != kConflict) {
            m_arrGroupOf[i] = known->second;
            continue;
        }
        const auto [at, inserted] = unhashedGroup.emplace(keyOf(e), groups);
        if (inserted) {
            ++groups;
            m_arrGroupDigest.push_back(kNone);
        }
        m_arrGroupOf[i] = at->second;
    }

    // Each group's members, in the order added, and its copy count.
    m_arrGroupStart.assign(groups + 1, 0);
    for (const std::uint32_t g : m_arrGroupOf) {
        ++m_arrGroupStart[g + 1];
    }
    std::partial_sum(m_arrGroupStart.begin(), m_arrGroupStart.end(), m_arrGroupStart.begin());
    m_arrMembers.resize(m_arrEntries.size());
    std::vector<std::uint32_t> next(m_arrGroupStart.begin(), m_arrGroupStart.end() - 1);
    for (std::size_t i = 0; i < m_arrEntries.size(); ++i) {
        m_arrMembers[next[m_arrGroupOf[i]]++] = static_cast<std::uint32_t>(i);
    }
    m_arrCopies.assign(groups, 0);
    std::vector<std::uint32_t> media;
    for (std::uint32_t g = 0; g < groups; ++g) {
        media.clear();
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            media.push_back(m_arrEntries[m_arrMembers[k]].m_nMedium);
        }
        std::sort(media.begin(), media.end());
        m_arrCopies[g] = static_cast<std::uint32_t>(std::unique(media.begin(), media.end()) - media.begin());
    }
}

// Find's order: tag, folder, name (each case-folded), report, line.
bool CCopyIndex::FindsBefore(std::uint32_t a, std::uint32_t b) const {
    const CEntry& x = m_arrEntries[a];
    const CEntry& y = m_arrEntries[b];
    if (m_arrPlaces[x.m_nPlace].m_nRank != m_arrPlaces[y.m_nPlace].m_nRank) {
        return m_arrPlaces[x.m_nPlace].m_nRank < m_arrPlaces[y.m_nPlace].m_nRank;
    }
    const int byName = FoldedName(NameOf(x), x.m_bWindows1252).compare(FoldedName(NameOf(y), y.m_bWindows1252));
    if (byName != 0) {
        return byName < 0;
    }
    if (x.m_nReport != y.m_nReport) {
        return m_arrReportRank[x.m_nReport] < m_arrReportRank[y.m_nReport];
    }
    return x.m_nLine < y.m_nLine;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> CCopyIndex::Selected(const CCopiesQuery& query,
                                                                          const std::atomic<bool>& cancel) const {
    const std::string prefix = FoldedName(query.m_strMediumPrefix, false);
    std::vector<bool> mediumKept(m_arrMedia.size(), true);
    for (std::size_t m = 0; m < m_arrMedia.size(); ++m) {
        mediumKept[m] = m_arrMedia[m].m_strFolded.compare(0, prefix.size(), prefix) == 0;
    }
    std::vector<std::string> texts;
    for (const std::string& text : query.m_arrTexts) {
        texts.push_back(FoldedName(text, false));
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> selected;
    const auto groups = static_cast<std::uint32_t>(m_arrCopies.size());
    for (std::uint32_t g = 0; g < groups; ++g) {
        if ((g & 0xFFF) == 0 && cancel.load(std::memory_order_relaxed)) {
            break;
        }
        const std::uint32_t copies = m_arrCopies[g];
        if ((query.m_nFewerThan && copies >= *query.m_nFewerThan) || (query.m_nAtLeast && copies < *query.m_nAtLeast)) {
            continue;
        }
        bool onMedium = prefix.empty();
        bool named = texts.empty();
        std::uint32_t first = kNone;
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            const std::uint32_t i = m_arrMembers[k];
            const CEntry& e = m_arrEntries[i];
            onMedium = onMedium || mediumKept[e.m_nMedium];
            if (!named) {
                const std::string name = FoldedName(NameOf(e), e.m_bWindows1252);
                named = std::all_of(texts.begin(), texts.end(),
                                    [&](const std::string& text) { return name.find(text) != std::string::npos; });
            }
            if (first == kNone || FindsBefore(i, first)) {
                first = i;
            }
        }
        // A digest of a report whose keys proved damaged part way has no members.
        if (first != kNone && onMedium && named) {
            selected.emplace_back(g, first);
        }
    }
    return selected;
}

CCopiesResult CCopyIndex::Groups(const CCopiesQuery& query, const std::atomic<bool>& cancel) const {
    CCopiesResult result;
    const auto selected = Selected(query, cancel);
    result.m_bCancelled = cancel;
    struct CSortKey {
        std::uint32_t copies;
        std::vector<std::uint32_t> media; // ranks
        std::string folder, name;          // folded
        std::uint32_t first, group;
    };
    std::vector<CSortKey> keys;
    keys.reserve(selected.size());
    for (const auto& [g, first] : selected) {
        CSortKey key{m_arrCopies[g], {}, {}, {}, first, g};
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            key.media.push_back(m_arrMedia[m_arrEntries[m_arrMembers[k]].m_nMedium].m_nRank);
        }
        std::sort(key.media.begin(), key.media.end());
        key.media.erase(std::unique(key.media.begin(), key.media.end()), key.media.end());
        const CEntry& e = m_arrEntries[first];
        key.folder = m_arrPlaces[e.m_nPlace].m_strFoldedFolder;
        key.name = FoldedName(NameOf(e), e.m_bWindows1252);
        keys.push_back(std::move(key));
    }
    std::sort(keys.begin(), keys.end(), [this](const CSortKey& a, const CSortKey& b) {
        const int order = std::tie(a.copies, a.media, a.folder, a.name) < std::tie(b.copies, b.media, b.folder, b.name)
                              ? -1
                          : std::tie(b.copies, b.media, b.folder, b.name) < std::tie(a.copies, a.media, a.folder, a.name)
                              ? 1
                              : 0;
        return order != 0 ? order < 0 : FindsBefore(a.first, b.first);
    });
    std::vector<std::uint32_t> mediumOfRank(m_arrMedia.size());
    for (std::size_t m = 0; m < m_arrMedia.size(); ++m) {
        mediumOfRank[m_arrMedia[m].m_nRank] = static_cast<std::uint32_t>(m);
    }
    result.m_arrGroups.reserve(keys.size());
    for (const CSortKey& key : keys) {
        const CEntry& e = m_arrEntries[key.first];
        const CPlace& place = m_arrPlaces[e.m_nPlace];
        CCopyGroup group;
        group.m_nCopies = key.copies;
        for (const std::uint32_t rank : key.media) {
            group.m_arrMedia.push_back(m_arrMedia[mediumOfRank[rank]].m_strName);
        }
        group.m_strFolder = place.m_strFolder;
        group.m_bFolderWindows1252 = place.m_bWindows1252;
        group.m_strName = NameOf(e);
        group.m_bWindows1252 = e.m_bWindows1252;
        group.m_nSize = e.m_nSize;
        if (m_arrGroupDigest[key.group] != kNone) {
            group.m_digest = m_arrDigests[m_arrGroupDigest[key.group]];
        }
        result.m_arrGroups.push_back(std::move(group));
    }
    return result;
}

CCopiesResult CCopyIndex::Summary(const CCopiesQuery& query, const std::atomic<bool>& cancel) const {
    CCopiesResult result;
    const auto selected = Selected(query, cancel);
    result.m_bCancelled = cancel;
    const std::string prefix = FoldedName(query.m_strMediumPrefix, false);
    std::vector<CMediumCopies> media(m_arrMedia.size());
    std::vector<bool> seen(m_arrMedia.size(), false);
    for (const auto& [g, first] : selected) {
        for (std::uint32_t k = m_arrGroupStart[g]; k < m_arrGroupStart[g + 1]; ++k) {
            const CEntry& e = m_arrEntries[m_arrMembers[k]];
            CMediumCopies& medium = media[e.m_nMedium];
            seen[e.m_nMedium] = true;
            ++medium.m_nFiles;
            medium.m_nBytes += e.m_nSize;
            if (m_arrCopies[g] == 1) {
                ++medium.m_nOnlyHereFiles;
                medium.m_nOnlyHereBytes += e.m_nSize;
            }
        }
    }
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
    if (report == m_mapReports.end() || m_arrGroupOf.empty()) {
        return 0;
    }
    const auto begin = m_arrEntries.begin() + m_arrReportStart[report->second];
    const auto end = m_arrEntries.begin() + m_arrReportStart[report->second + 1];
    const auto at = std::lower_bound(begin, end, line, [](const CEntry& e, std::uint64_t l) { return e.m_nLine < l; });
    if (at == end || at->m_nLine != line) {
        return 0;
    }
    return m_arrCopies[m_arrGroupOf[static_cast<std::size_t>(at - m_arrEntries.begin())]];
}

void CCopyIndex::Count(CFindResult& result, bool oneMediumOnly, std::size_t limit, std::size_t offset) const {
    std::vector<CFindHit>& hits = result.m_arrHits;
    for (CFindHit& hit : hits) {
        hit.m_nCopies = hit.m_bFolder ? 0 : CopiesOf(hit.m_strReport, hit.m_nLine);
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
