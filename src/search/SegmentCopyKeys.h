#pragma once

#include "CopyKeys.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class CCopyDigests;
class CSegmentReader;

// The file entries of the catalogue's reports as Copies reads them: from
// the segments that hold them, each with the digest the catalogue kept for
// its line. Holds the segments it was given, so that a merge that removes
// their files later changes nothing read here. Gives a segment's pages back
// when reading moves to another segment and every few reports, so that
// reading the whole catalogue costs memory in proportion to a few reports:
// its segments should be mapped for it alone.
//
// Threads: made on one thread; then Read may run on any thread at once.
class CSegmentCopyKeys {
public:
    void AddReport(std::int64_t source, std::shared_ptr<const CSegmentReader> segment, std::uint64_t report);

    // Hands each file entry of the source's report to sink (its views live
    // until sink returns), in the segment's order, which is the same on
    // every call; false when its entries are damaged. A report in no
    // segment has none.
    bool Read(std::int64_t source, const CCopyDigests& digests, const std::function<void(const CCopyKey&)>& sink) const;

private:
    struct CPlaced {
        std::shared_ptr<const CSegmentReader> m_pSegment;
        std::uint64_t m_nReport = 0;
    };
    void Release(const CSegmentReader& segment) const;

    std::unordered_map<std::int64_t, CPlaced> m_mapReports;
    mutable std::atomic<const CSegmentReader*> m_pLastRead{nullptr};
    mutable std::atomic<std::uint32_t> m_nReads{0};
};
