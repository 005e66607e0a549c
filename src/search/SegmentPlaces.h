#pragma once

#include "SegmentReader.h"

#include <cstdint>

// The place of a segment's entries, looked up again only when an entry lies
// outside the last place's range: walking entries in order costs one lookup
// a place, not a search of the places an entry.
class CSegmentPlaces {
public:
    explicit CSegmentPlaces(const CSegmentReader& reader) : m_pReader(&reader) {}

    // The number of the entry's place; Places() when it has none.
    std::uint64_t Of(std::uint64_t entry);
    // The texts of the place Of() last gave (empty when none).
    const CSegmentReader::Place& Shown() const { return m_place; }

private:
    const CSegmentReader* m_pReader;
    std::uint64_t m_nPlace = 0;
    std::uint64_t m_nStart = 1; // the entries [start, end) of m_nPlace; none yet
    std::uint64_t m_nEnd = 0;
    CSegmentReader::Place m_place;
};
