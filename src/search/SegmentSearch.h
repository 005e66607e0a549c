#pragma once

#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CSegmentReader;

// A segment as the catalogue lists it: the file, and the reports (by
// source id) whose entries in it are hidden because they were removed or
// read again since it was written.
struct CLiveSegment {
    std::shared_ptr<const CSegmentReader> m_pReader;
    std::vector<std::int64_t> m_arrDeleted;
};

// Find over a set of segments: the hits of every segment merged in Find's
// order, the exact count, and only the hits asked for read from their
// blocks. A query with three bytes or more of text reads the posting lists
// of its trigrams and confirms the names of the blocks they give; others
// scan the folded names. Built on one thread; Search may then run on any
// number of threads at once.
class CSegmentSearch {
public:
    explicit CSegmentSearch(std::vector<CLiveSegment> segments);
    ~CSegmentSearch();
    CSegmentSearch(const CSegmentSearch&) = delete;
    CSegmentSearch& operator=(const CSegmentSearch&) = delete;

    // The hits of the query in order: `limit` of them from number `offset`
    // on, and the exact count. Stops early, with m_bCancelled, once cancel is set.
    // With a sink the hits go to it instead of into the result.
    CFindResult Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel,
                       std::size_t offset = 0, const FindHitSink* sink = nullptr) const;

    // Reports with live entries or none, over all segments.
    std::size_t Reports() const { return m_nReports; }
    std::uint64_t LiveEntries() const { return m_nLiveEntries; }

    struct Segment; // one segment with what is hidden in it

private:
    std::vector<std::unique_ptr<Segment>> m_arrSegments;
    std::size_t m_nReports = 0;
    std::uint64_t m_nLiveEntries = 0;
};
