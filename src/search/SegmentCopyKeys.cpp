#include "SegmentCopyKeys.h"

#include "CopyDigests.h"
#include "EntryBlock.h"
#include "RoaringBitmap.h"
#include "SegmentReader.h"
#include "Windows1252.h"

#include <vector>

using SegmentFormat::kDataBlock;
using SegmentFormat::kNameBlock;

namespace {

// The folded names of one name block, each without its '\n'.
void SplitNames(std::string_view names, std::vector<std::string_view>& folded) {
    folded.clear();
    while (!names.empty() && folded.size() < kNameBlock) {
        const std::size_t end = std::min(names.find('\n'), names.size());
        folded.push_back(names.substr(0, end));
        names.remove_prefix(std::min(names.size(), end + 1));
    }
}

} // namespace

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
    std::vector<std::string_view> folded;
    std::uint64_t nameBlock = UINT64_MAX;
    std::uint64_t place = segment.Places();
    std::uint64_t placeStart = 0, placeEnd = 0;
    CSegmentReader::Place shown;
    bool folderWindows1252 = false;
    std::unordered_map<std::uint64_t, std::uint32_t> placeNumbers; // the report's own numbers
    std::uint32_t placeNumber = 0;
    for (const std::uint32_t entry : bitmap.Values()) {
        if (entry >= segment.Entries()) {
            return false;
        }
        if (entry / kDataBlock != blockNumber) {
            blockNumber = entry / kDataBlock;
            if (!segment.DataBlock(blockNumber, block)) {
                return false;
            }
        }
        if (entry % kDataBlock >= block.Size()) {
            return false;
        }
        const CBlockEntry& fields = block[entry % kDataBlock];
        if (fields.m_nReport != report || fields.m_nLine > UINT32_MAX) {
            return false;
        }
        if (fields.m_bFolder) {
            continue;
        }
        if (entry / kNameBlock != nameBlock) {
            nameBlock = entry / kNameBlock;
            SplitNames(segment.NameBlock(nameBlock), folded);
        }
        if (entry % kNameBlock >= folded.size()) {
            return false;
        }
        if (place == segment.Places() || entry < placeStart || entry >= placeEnd) {
            place = segment.PlaceOf(entry);
            if (place >= segment.Places()) {
                return false;
            }
            placeStart = segment.PlaceStart(place);
            placeEnd = segment.PlaceStart(place + 1);
            shown = segment.PlaceAt(place);
            folderWindows1252 = !Windows1252::IsValidUtf8(shown.m_folder);
            placeNumber = placeNumbers.emplace(place, static_cast<std::uint32_t>(placeNumbers.size())).first->second;
        }
        CCopyKey key;
        key.m_strTag = shown.m_medium;
        key.m_strFolder = shown.m_folder;
        key.m_bFolderWindows1252 = folderWindows1252;
        key.m_nPlace = placeNumber;
        key.m_strName = fields.m_strName;
        key.m_strFolded = folded[entry % kNameBlock];
        key.m_bWindows1252 = fields.m_bWindows1252;
        key.m_nSize = fields.m_nSize;
        key.m_nLine = static_cast<std::uint32_t>(fields.m_nLine);
        key.m_pDigest = digests.Find(fields.m_nLine);
        SetGroupingKeys(key, fields.m_strDate, fields.m_strTime);
        sink(key);
    }
    return true;
}
