#include "SegmentBuilder.h"

#include "FindOrder.h"
#include "SegmentWriter.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr std::uint8_t kFolder = 1;
constexpr std::uint8_t kWindows1252 = 2;

} // namespace

void CSegmentBuilder::AddReport(std::int64_t source, std::string_view path) {
    m_arrReports.emplace_back(source, std::string(path));
    m_nReportEntries = m_arrEntries.size();
    m_nReportTexts = m_strTexts.size();
}

void CSegmentBuilder::AbandonReport() {
    if (!m_arrReports.empty()) {
        m_arrReports.pop_back();
        m_arrEntries.resize(m_nReportEntries);
        m_strTexts.resize(m_nReportTexts);
    }
}

std::uint32_t CSegmentBuilder::PlaceOf(std::string_view medium, std::string_view folder) {
    // Entries of one folder mostly come together.
    if (m_nLastPlace < m_arrPlaces.size() && m_arrPlaces[m_nLastPlace].m_first == medium &&
        m_arrPlaces[m_nLastPlace].m_second == folder) {
        return m_nLastPlace;
    }
    std::string key(medium);
    key.push_back('\0');
    key.append(folder);
    const auto [it, added] = m_mapPlaces.emplace(std::move(key), static_cast<std::uint32_t>(m_arrPlaces.size()));
    if (added) {
        m_arrPlaces.push_back({std::string(medium), std::string(folder)});
    }
    m_nLastPlace = it->second;
    return it->second;
}

void CSegmentBuilder::Add(const CReportEntry& e) {
    Entry entry{};
    entry.m_nFolded = m_strTexts.size();
    FindOrder::AppendFoldedName(m_strTexts, e.m_strName, e.m_bWindows1252);
    entry.m_nFoldedLength = static_cast<std::uint32_t>(m_strTexts.size() - entry.m_nFolded);
    m_strTexts.append(e.m_strName);
    entry.m_nNameLength = static_cast<std::uint32_t>(e.m_strName.size());
    // Dates and times are short texts of a report line: kept to 64 KiB each.
    const std::string_view date = e.m_strDate.substr(0, UINT16_MAX);
    const std::string_view time = e.m_strTime.substr(0, UINT16_MAX);
    m_strTexts.append(date);
    m_strTexts.append(time);
    entry.m_nDateLength = static_cast<std::uint16_t>(date.size());
    entry.m_nTimeLength = static_cast<std::uint16_t>(time.size());
    entry.m_nPlace = PlaceOf(e.m_strMedium, e.m_strFolder);
    entry.m_nReport = static_cast<std::uint32_t>(m_arrReports.size() - 1);
    entry.m_nFlags = static_cast<std::uint8_t>((e.m_bFolder ? kFolder : 0) | (e.m_bWindows1252 ? kWindows1252 : 0));
    entry.m_nLine = e.m_nLine;
    entry.m_nSize = e.m_nSize;
    m_arrEntries.push_back(entry);
}

std::size_t CSegmentBuilder::BufferedBytes() const {
    return m_arrEntries.size() * sizeof(Entry) + m_strTexts.size() + m_mapPlaces.size() * 96;
}

bool CSegmentBuilder::Write(const std::string& path, std::string& error) {
    // Ranks of places and reports, so that entries sort on numbers first.
    std::vector<std::string> foldedMediums(m_arrPlaces.size()), foldedFolders(m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        const bool windows1252 = FindOrder::PlaceIsWindows1252(m_arrPlaces[i].m_first, m_arrPlaces[i].m_second);
        foldedMediums[i] = FindOrder::FoldShown(m_arrPlaces[i].m_first, windows1252);
        foldedFolders[i] = FindOrder::FoldShown(m_arrPlaces[i].m_second, windows1252);
    }
    const auto placeKey = [&](std::uint32_t i) {
        return FindOrder::PlaceKey{foldedMediums[i], foldedFolders[i], m_arrPlaces[i].m_first, m_arrPlaces[i].m_second};
    };
    std::vector<std::uint32_t> order(m_arrPlaces.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return placeKey(a) < placeKey(b); });
    std::vector<std::uint32_t> placeRank(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        placeRank[order[r]] = static_cast<std::uint32_t>(r);
    }
    order.resize(m_arrReports.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return m_arrReports[a].second < m_arrReports[b].second; });
    std::vector<std::uint32_t> reportRank(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        reportRank[order[r]] = static_cast<std::uint32_t>(r);
    }
    const std::string_view texts = m_strTexts;
    const auto folded = [&](const Entry& e) { return texts.substr(e.m_nFolded, e.m_nFoldedLength); };
    std::sort(m_arrEntries.begin(), m_arrEntries.end(), [&](const Entry& x, const Entry& y) {
        if (x.m_nPlace != y.m_nPlace) {
            return placeRank[x.m_nPlace] < placeRank[y.m_nPlace];
        }
        const int byName = folded(x).compare(folded(y));
        if (byName != 0) {
            return byName < 0;
        }
        if (x.m_nReport != y.m_nReport) {
            return reportRank[x.m_nReport] < reportRank[y.m_nReport];
        }
        return x.m_nLine < y.m_nLine;
    });

    CSegmentWriter writer(path);
    bool ok = writer.Open();
    for (std::size_t i = 0; ok && i < m_arrReports.size(); ++i) {
        writer.AddReport(m_arrReports[i].first, m_arrReports[i].second);
    }
    for (std::size_t i = 0; ok && i < m_arrEntries.size(); ++i) {
        const Entry& e = m_arrEntries[i];
        CSegmentEntry entry;
        entry.m_strMedium = m_arrPlaces[e.m_nPlace].m_first;
        entry.m_strFolder = m_arrPlaces[e.m_nPlace].m_second;
        entry.m_strFolded = folded(e);
        const std::size_t name = e.m_nFolded + e.m_nFoldedLength;
        entry.m_fields.m_strName = texts.substr(name, e.m_nNameLength);
        entry.m_fields.m_strDate = texts.substr(name + e.m_nNameLength, e.m_nDateLength);
        entry.m_fields.m_strTime = texts.substr(name + e.m_nNameLength + e.m_nDateLength, e.m_nTimeLength);
        entry.m_fields.m_nSize = e.m_nSize;
        entry.m_fields.m_nLine = e.m_nLine;
        entry.m_fields.m_nReport = e.m_nReport;
        entry.m_fields.m_bFolder = (e.m_nFlags & kFolder) != 0;
        entry.m_fields.m_bWindows1252 = (e.m_nFlags & kWindows1252) != 0;
        ok = writer.Add(entry);
    }
    ok = ok && writer.Finish();
    if (!ok) {
        error = writer.LastError();
    }
    *this = CSegmentBuilder();
    return ok;
}
