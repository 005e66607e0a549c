#include "SegmentMerge.h"

#include "EntryBlock.h"
#include "FindOrder.h"
#include "SegmentPlaces.h"
#include "SegmentReader.h"
#include "SegmentWriter.h"

#include <algorithm>
#include <cstring>

using SegmentFormat::kDataBlock;
using SegmentFormat::kNameBlock;

namespace {

// Walks one segment's entries in order, skipping those of hidden reports.
class CMergeCursor {
public:
    CMergeCursor(const CSegmentReader& reader, std::vector<std::int64_t> outputReport)
        : m_reader(reader), m_places(reader), m_arrOutputReport(std::move(outputReport)) {}

    // Moves to the next live entry; false at the end.
    bool Next() {
        for (;;) {
            ++m_nEntry;
            if (m_nEntry >= m_reader.Entries()) {
                return false;
            }
            if (m_nEntry % kNameBlock == 0) {
                m_names = m_reader.NameBlock(m_nEntry / kNameBlock);
            }
            const void* stop = m_names.empty() ? nullptr : std::memchr(m_names.data(), '\n', m_names.size());
            const std::size_t to = stop == nullptr ? m_names.size() : static_cast<std::size_t>(static_cast<const char*>(stop) - m_names.data());
            m_folded = m_names.substr(0, to);
            m_names.remove_prefix(std::min(m_names.size(), to + 1));
            if (m_nEntry / kDataBlock != m_nBlock) {
                m_nBlock = m_nEntry / kDataBlock;
                m_reader.DataBlock(m_nBlock, m_block);
            }
            const std::size_t i = m_nEntry % kDataBlock;
            if (i >= m_block.Size()) {
                continue; // a damaged block: its entries are lost
            }
            m_pFields = &m_block[i];
            if (m_pFields->m_nReport >= m_arrOutputReport.size() || m_arrOutputReport[m_pFields->m_nReport] < 0) {
                continue;
            }
            m_places.Of(m_nEntry);
            return true;
        }
    }

    FindOrder::PlaceKey Key() const {
        const CSegmentReader::Place& place = m_places.Shown();
        return {place.m_foldedMedium, place.m_foldedFolder, place.m_medium, place.m_folder};
    }
    std::string_view Folded() const { return m_folded; }
    std::string_view ReportPath() const { return m_reader.ReportAt(m_pFields->m_nReport).m_path; }
    CSegmentEntry Entry() const {
        CSegmentEntry entry;
        entry.m_strMedium = m_places.Shown().m_medium;
        entry.m_strFolder = m_places.Shown().m_folder;
        entry.m_strFolded = m_folded;
        entry.m_fields = *m_pFields;
        entry.m_fields.m_nReport = static_cast<std::uint32_t>(m_arrOutputReport[m_pFields->m_nReport]);
        return entry;
    }
    std::uint64_t Line() const { return m_pFields->m_nLine; }

private:
    const CSegmentReader& m_reader;
    CSegmentPlaces m_places;
    std::vector<std::int64_t> m_arrOutputReport; // -1: hidden
    std::uint64_t m_nEntry = UINT64_MAX;
    std::string_view m_names;
    std::string_view m_folded;
    std::uint64_t m_nBlock = UINT64_MAX;
    CEntryBlock m_block;
    const CBlockEntry* m_pFields = nullptr;
};

bool Before(const CMergeCursor& a, const CMergeCursor& b) {
    const FindOrder::PlaceKey x = a.Key();
    const FindOrder::PlaceKey y = b.Key();
    if (!(x == y)) {
        return x < y;
    }
    const int byName = a.Folded().compare(b.Folded());
    if (byName != 0) {
        return byName < 0;
    }
    const int byReport = a.ReportPath().compare(b.ReportPath());
    return byReport != 0 ? byReport < 0 : a.Line() < b.Line();
}

} // namespace

bool SegmentMerge::Merge(const std::vector<CLiveSegment>& segments, const std::string& path, std::string& error) {
    CSegmentWriter writer(path);
    if (!writer.Open()) {
        error = writer.LastError();
        return false;
    }
    std::vector<std::unique_ptr<CMergeCursor>> cursors;
    for (const CLiveSegment& segment : segments) {
        if (!segment.m_pReader) {
            continue;
        }
        const CSegmentReader& reader = *segment.m_pReader;
        std::vector<std::int64_t> outputReport(reader.Reports(), -1);
        for (std::uint64_t r = 0; r < reader.Reports(); ++r) {
            const CSegmentReader::Report report = reader.ReportAt(r);
            if (std::find(segment.m_arrDeleted.begin(), segment.m_arrDeleted.end(), report.m_nSource) ==
                segment.m_arrDeleted.end()) {
                outputReport[r] = writer.AddReport(report.m_nSource, report.m_path);
            }
        }
        auto cursor = std::make_unique<CMergeCursor>(reader, std::move(outputReport));
        if (cursor->Next()) {
            cursors.push_back(std::move(cursor));
        }
    }
    bool ok = true;
    while (ok && !cursors.empty()) {
        std::size_t best = 0;
        for (std::size_t c = 1; c < cursors.size(); ++c) {
            if (Before(*cursors[c], *cursors[best])) {
                best = c;
            }
        }
        ok = writer.Add(cursors[best]->Entry());
        if (!cursors[best]->Next()) {
            cursors.erase(cursors.begin() + static_cast<std::ptrdiff_t>(best));
        }
    }
    ok = ok && writer.Finish();
    if (!ok) {
        error = writer.LastError();
    }
    return ok;
}
