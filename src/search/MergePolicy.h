#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Which segments to merge, tiered as log-structured stores do: segments of
// like size form a tier (each tier kTierFactor times the one below), and a
// tier that holds kTierWidth segments is merged into one of the next.
// So the segments stay few (about kTierWidth a tier) while each entry is
// rewritten only once a tier.
class CMergePolicy {
public:
    struct Segment {
        std::uint64_t m_nEntries = 0; // in the file
        std::uint64_t m_nLive = 0;    // not hidden
    };
    enum class Occasion {
        Add,     // only merges small enough to keep an add, then a find, quick
        Refresh, // any tier, and segments mostly hidden rewritten
        Compact, // everything, into as few segments as the largest size allows
    };

    static constexpr std::uint64_t kTierBase = 20000;
    static constexpr std::uint64_t kTierFactor = 8;
    static constexpr std::size_t kTierWidth = 8;
    static constexpr std::uint64_t kAddBudget = 400000;      // entries an add may rewrite
    static constexpr std::uint64_t kLargest = 2000000; // entries a merge may write: bounds its memory

    // Groups of indices into segments, each group to be merged into one
    // segment; a group of one is a segment rewritten without what it hides.
    static std::vector<std::vector<std::size_t>> Choose(const std::vector<Segment>& segments, Occasion occasion);

    static unsigned Tier(std::uint64_t live);
};
