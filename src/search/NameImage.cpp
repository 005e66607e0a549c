#include "NameImage.h"

#include "CaseFold.h"
#include "GlobPattern.h"
#include "Windows1252.h"

#include <algorithm>
#include <numeric>
#include <thread>

namespace {

std::string FoldShown(std::string_view text, bool windows1252) {
    if (!windows1252) {
        return CaseFold::Fold(text);
    }
    std::string utf8;
    Windows1252::AppendUtf8(utf8, text);
    return CaseFold::Fold(utf8);
}

// Names never hold a line end (reports show control characters as "?"), so
// '\n' ends each folded name in the scanned buffer; a stray one becomes "?".
void AppendFoldedName(std::string& out, std::string_view name, bool windows1252) {
    const std::size_t from = out.size();
    if (windows1252) {
        std::string utf8;
        Windows1252::AppendUtf8(utf8, name);
        CaseFold::Append(out, utf8);
    } else {
        CaseFold::Append(out, name);
    }
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\n', '?');
    out.push_back('\n');
}

} // namespace

std::uint32_t CNameImage::CBuilder::Report(const std::string& path) {
    m_arrReports.push_back(path);
    return static_cast<std::uint32_t>(m_arrReports.size() - 1);
}

std::uint32_t CNameImage::CBuilder::Place(std::string_view medium, std::string_view folder) {
    std::string key(medium);
    key.push_back('\t');
    key.append(folder);
    const auto [it, added] = m_mapPlaces.emplace(std::move(key), static_cast<std::uint32_t>(m_arrPlaces.size()));
    if (added) {
        m_arrPlaces.emplace_back(std::string(medium), std::string(folder));
        m_arrPlaceWindows1252.push_back(Windows1252::IsValidUtf8(folder) && Windows1252::IsValidUtf8(medium) ? 0 : 1);
    }
    return it->second;
}

std::uint32_t CNameImage::CBuilder::Stamp(std::string_view date, std::string_view time) {
    std::string key(date);
    key.push_back('\t');
    key.append(time);
    const auto [it, added] = m_mapStamps.emplace(std::move(key), static_cast<std::uint32_t>(m_arrStamps.size()));
    if (added) {
        m_arrStamps.emplace_back(std::string(date), std::string(time));
    }
    return it->second;
}

void CNameImage::CBuilder::Add(std::string_view name, std::uint32_t place, std::uint32_t stamp,
                               std::uint32_t report, std::uint32_t line, bool folder, bool windows1252,
                               std::uint64_t size) {
    Entry entry{};
    entry.m_nNameOffset = m_strNames.size();
    entry.m_nNameLength = static_cast<std::uint32_t>(name.size());
    entry.m_nPlace = place;
    entry.m_nStamp = stamp;
    entry.m_nReport = report;
    entry.m_nLine = line;
    entry.m_nFlags = static_cast<std::uint8_t>((folder ? kFolder : 0) | (windows1252 ? kWindows1252 : 0));
    entry.m_nSize = size;
    m_strNames.append(name);
    m_arrEntries.push_back(entry);
}

CNameImage CNameImage::CBuilder::Build() {
    CNameImage image;
    const std::size_t count = m_arrEntries.size();

    // Ranks of places and reports, so that entries sort on numbers first.
    std::vector<std::string> foldedMediums(m_arrPlaces.size());
    std::vector<std::string> foldedFolders(m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        foldedMediums[i] = FoldShown(m_arrPlaces[i].first, m_arrPlaceWindows1252[i] != 0);
        foldedFolders[i] = FoldShown(m_arrPlaces[i].second, m_arrPlaceWindows1252[i] != 0);
    }
    std::vector<std::uint32_t> order(m_arrPlaces.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::tie(foldedMediums[a], foldedFolders[a], m_arrPlaces[a]) <
               std::tie(foldedMediums[b], foldedFolders[b], m_arrPlaces[b]);
    });
    std::vector<std::uint32_t> placeRank(m_arrPlaces.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        placeRank[order[r]] = static_cast<std::uint32_t>(r);
    }
    order.resize(m_arrReports.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return m_arrReports[a] < m_arrReports[b]; });
    std::vector<std::uint32_t> reportRank(m_arrReports.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        reportRank[order[r]] = static_cast<std::uint32_t>(r);
    }

    // Folded names in the order given, then the entries sorted.
    std::string folded;
    folded.reserve(m_strNames.size() + count);
    std::vector<std::uint64_t> foldedStart(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        foldedStart[i] = folded.size();
        const Entry& e = m_arrEntries[i];
        AppendFoldedName(folded, std::string_view(m_strNames).substr(e.m_nNameOffset, e.m_nNameLength),
                         (e.m_nFlags & kWindows1252) != 0);
    }
    foldedStart[count] = folded.size();
    const auto foldedName = [&](std::size_t i) {
        return std::string_view(folded).substr(foldedStart[i], foldedStart[i + 1] - foldedStart[i] - 1);
    };
    std::vector<std::uint32_t> sorted(count);
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Entry& x = m_arrEntries[a];
        const Entry& y = m_arrEntries[b];
        if (x.m_nPlace != y.m_nPlace && placeRank[x.m_nPlace] != placeRank[y.m_nPlace]) {
            return placeRank[x.m_nPlace] < placeRank[y.m_nPlace];
        }
        const int byName = foldedName(a).compare(foldedName(b));
        if (byName != 0) {
            return byName < 0;
        }
        if (x.m_nReport != y.m_nReport) {
            return reportRank[x.m_nReport] < reportRank[y.m_nReport];
        }
        return x.m_nLine < y.m_nLine;
    });

    image.m_arrEntries.reserve(count);
    image.m_strFolded.reserve(folded.size());
    image.m_arrFoldedStart.reserve(count + 1);
    for (const std::uint32_t i : sorted) {
        image.m_arrEntries.push_back(m_arrEntries[i]);
        image.m_arrFoldedStart.push_back(image.m_strFolded.size());
        image.m_strFolded.append(folded, foldedStart[i], foldedStart[i + 1] - foldedStart[i]);
    }
    image.m_arrFoldedStart.push_back(image.m_strFolded.size());
    image.m_strNames = std::move(m_strNames);
    image.m_arrReports = std::move(m_arrReports);
    image.m_arrPlaces = std::move(m_arrPlaces);
    image.m_arrFoldedMediums = std::move(foldedMediums);
    image.m_arrPlaceWindows1252 = std::move(m_arrPlaceWindows1252);
    image.m_arrStamps = std::move(m_arrStamps);
    *this = CBuilder();
    return image;
}

CFindHit CNameImage::Hit(std::size_t i) const {
    const Entry& e = m_arrEntries[i];
    CFindHit hit;
    hit.m_strMedium = m_arrPlaces[e.m_nPlace].first;
    hit.m_strFolder = m_arrPlaces[e.m_nPlace].second;
    hit.m_bFolderWindows1252 = m_arrPlaceWindows1252[e.m_nPlace] != 0;
    hit.m_strName.assign(m_strNames, e.m_nNameOffset, e.m_nNameLength);
    hit.m_bFolder = (e.m_nFlags & kFolder) != 0;
    hit.m_nSize = e.m_nSize;
    hit.m_strDate = m_arrStamps[e.m_nStamp].first;
    hit.m_strTime = m_arrStamps[e.m_nStamp].second;
    hit.m_strReport = m_arrReports[e.m_nReport];
    hit.m_nLine = e.m_nLine;
    hit.m_bWindows1252 = (e.m_nFlags & kWindows1252) != 0;
    return hit;
}

namespace {

struct CPartResult {
    std::vector<std::uint32_t> m_arrHits;
    std::uint64_t m_nTotal = 0;
};

} // namespace

CFindResult CNameImage::Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel) const {
    std::vector<std::string> texts;
    for (const std::string& text : query.m_arrTexts) {
        texts.push_back(CaseFold::Fold(text));
    }
    const bool useGlob = !query.m_strGlob.empty();
    const CGlobPattern glob(CaseFold::Fold(query.m_strGlob));
    std::string needle;
    if (useGlob) {
        needle = glob.LongestLiteral();
    } else {
        for (const std::string& text : texts) {
            if (text.size() > needle.size()) {
                needle = text;
            }
        }
    }
    const std::string mediumPrefix = CaseFold::Fold(query.m_strMediumPrefix);
    std::vector<std::uint8_t> placeOk(m_arrPlaces.size());
    for (std::size_t i = 0; i < placeOk.size(); ++i) {
        placeOk[i] = m_arrFoldedMediums[i].compare(0, mediumPrefix.size(), mediumPrefix) == 0 ? 1 : 0;
    }

    const std::string_view buffer = m_strFolded;
    const auto scan = [&](std::size_t lo, std::size_t hi, CPartResult& part) {
        std::size_t idx = lo;
        std::uint64_t checked = 0;
        while (idx < hi) {
            if ((++checked & 0xFFF) == 0 && cancel.load(std::memory_order_relaxed)) {
                return;
            }
            if (!needle.empty()) {
                const std::size_t from = m_arrFoldedStart[idx];
                const std::size_t to = m_arrFoldedStart[hi];
                const std::size_t found = buffer.substr(0, to).find(needle, from);
                if (found == std::string_view::npos) {
                    return;
                }
                // Gallop to the entry that holds the hit.
                std::size_t step = 1;
                while (idx + step < hi && m_arrFoldedStart[idx + step] <= found) {
                    step *= 2;
                }
                const auto first = m_arrFoldedStart.begin() + static_cast<std::ptrdiff_t>(idx + step / 2);
                const auto last = m_arrFoldedStart.begin() + static_cast<std::ptrdiff_t>(std::min(idx + step, hi));
                idx = static_cast<std::size_t>(std::upper_bound(first, last, found) - m_arrFoldedStart.begin()) - 1;
            }
            const std::size_t i = idx++;
            const Entry& e = m_arrEntries[i];
            if (!placeOk[e.m_nPlace]) {
                continue;
            }
            const bool folder = (e.m_nFlags & kFolder) != 0;
            if ((query.m_kinds == FindKinds::Files && folder) || (query.m_kinds == FindKinds::Folders && !folder)) {
                continue;
            }
            const std::string_view name =
                buffer.substr(m_arrFoldedStart[i], m_arrFoldedStart[i + 1] - m_arrFoldedStart[i] - 1);
            bool ok = true;
            if (useGlob) {
                ok = glob.Matches(name);
            } else {
                for (const std::string& text : texts) {
                    if (name.find(text) == std::string_view::npos) {
                        ok = false;
                        break;
                    }
                }
            }
            if (ok) {
                ++part.m_nTotal;
                if (part.m_arrHits.size() < limit) {
                    part.m_arrHits.push_back(static_cast<std::uint32_t>(i));
                }
            }
        }
    };

    const std::size_t count = m_arrEntries.size();
    const unsigned threads = count < 100000 ? 1u : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<CPartResult> parts(threads);
    {
        std::vector<std::jthread> workers;
        for (unsigned t = 1; t < threads; ++t) {
            workers.emplace_back([&, t] { scan(count * t / threads, count * (t + 1) / threads, parts[t]); });
        }
        scan(0, count / threads, parts[0]);
    }
    CFindResult result;
    result.m_nReports = m_arrReports.size();
    result.m_bCancelled = cancel.load();
    for (const CPartResult& part : parts) {
        result.m_nTotal += part.m_nTotal;
        for (const std::uint32_t i : part.m_arrHits) {
            if (result.m_arrHits.size() < limit) {
                result.m_arrHits.push_back(Hit(i));
            }
        }
    }
    return result;
}
