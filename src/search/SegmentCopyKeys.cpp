#include "SegmentCopyKeys.h"

#include "CopyDigests.h"
#include "EntryBlock.h"
#include "RoaringBitmap.h"
#include "SegmentPlaces.h"
#include "SegmentReader.h"
#include "Windows1252.h"

#include <algorithm>
#include <vector>

using SegmentFormat::kDataBlock;

void CSegmentCopyKeys::AddReport(std::int64_t source, std::shared_ptr<const CSegmentReader> segment,
                                 std::uint64_t report) {
    m_mapReports[source] = {std::move(segment), report};
}

bool CSegmentCopyKeys::Read(std::int64_t source, const CCopyDigests& digests,
                            const std::function<void(const CCopyKey&)>& sink) const {
    const auto placed = m_mapReports.find(source);
    if (placed == m_mapReports.end()) {
        return true;
    }
    const CSegmentReader& segment = *placed->second.m_pSegment;
    const std::uint64_t report = placed->second.m_nReport;
    CRoaringBitmap bitmap;
    if (!bitmap.FromBytes(segment.ReportAt(report).m_entries)) {
        return false;
    }
    CEntryBlock block;
    std::uint64_t blockNumber = UINT64_MAX;
    std::vector<std::string_view> folded; // the block's
    CSegmentPlaces places(segment);
    std::uint64_t last = segment.Places(); // the place of the last entry handed on
    bool folderWindows1252 = false;
    std::unordered_map<std::uint64_t, std::uint32_t> placeNumbers; // the report's own numbers
    std::uint32_t placeNumber = 0;
    // Only entries the segment holds: a damaged bitmap may name billions past them.
    const auto limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(segment.Entries(), UINT32_MAX));
    const std::vector<std::uint32_t> entries = bitmap.Values(0, limit);
    if (entries.size() != bitmap.Count()) {
        return false;
    }
    for (const std::uint32_t entry : entries) {
        if (entry / kDataBlock != blockNumber) {
            blockNumber = entry / kDataBlock;
            if (!segment.DataBlock(blockNumber, block, &folded)) {
                return false;
            }
        }
        if (entry % kDataBlock >= block.Size() || entry % kDataBlock >= folded.size()) {
            return false;
        }
        const CBlockEntry& fields = block[entry % kDataBlock];
        if (fields.m_nReport != report || fields.m_nLine > UINT32_MAX) {
            return false;
        }
        if (fields.m_bFolder) {
            continue;
        }
        const std::uint64_t place = places.Of(entry);
        if (place >= segment.Places()) {
            return false;
        }
        const CSegmentReader::Place& shown = places.Shown();
        if (place != last) {
            last = place;
            folderWindows1252 = !Windows1252::IsValidUtf8(shown.m_folder);
            placeNumber = placeNumbers.emplace(place, static_cast<std::uint32_t>(placeNumbers.size())).first->second;
        }
        CCopyKey key;
        key.m_strTag = shown.m_medium;
        key.m_strFolder = shown.m_folder;
        key.m_bFolderWindows1252 = folderWindows1252;
        key.m_nPlace = placeNumber;
        key.m_strName = fields.m_strName;
        key.m_strFolded = folded[entry % kDataBlock];
        key.m_bWindows1252 = fields.m_bWindows1252;
        key.m_nSize = fields.m_nSize;
        key.m_nLine = static_cast<std::uint32_t>(fields.m_nLine);
        key.m_pDigest = digests.Find(fields.m_nLine);
        key.m_strDate = fields.m_strDate;
        key.m_strTime = fields.m_strTime;
        sink(key);
    }
    Release(segment);
    return true;
}

void CSegmentCopyKeys::Release(const CSegmentReader& segment) const {
    constexpr std::uint32_t kReadsBetweenReleases = 32;
    const CSegmentReader* previous = m_pLastRead.exchange(&segment);
    if (previous != nullptr && previous != &segment) {
        previous->ReleasePages();
    }
    if (++m_nReads % kReadsBetweenReleases == 0) {
        segment.ReleasePages();
    }
}
