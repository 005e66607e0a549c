#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One item on a medium: a node of the plan's tree taken whole (a file, a
// link, or a folder with everything in it), or a folder split over media,
// whose parts on this medium follow it.
struct CPlacement {
    std::uint32_t nNode = 0;
    bool bWhole = true;
};

struct CPlannedMedium {
    std::vector<CPlacement> arrItems; // in the order the walk met them
    std::uint64_t nUsed = 0;          // bytes, by the media rules
    std::uint64_t nFree = 0;          // capacity less used (the reserve included)
};

enum class ELeftOutReason : std::uint8_t {
    kTooLarge, // a file (with its folders' blocks) larger than a medium
    kLineFeed, // a name that a path list cannot hold; everything in it goes too
};

struct CLeftOut {
    std::uint32_t nNode = 0;
    ELeftOutReason reason = ELeftOutReason::kTooLarge;
};

struct CMediaPlan {
    std::vector<CPlannedMedium> arrMedia;
    std::vector<CLeftOut> arrLeftOut;  // in walk order
    std::vector<bool> arrPruned;       // per node: it, or something in it, was left out
    std::size_t nFoldersSplit = 0;     // folders on more than one medium
    std::uint64_t nTotalSpace = 0;     // the items kept, each folder counted once
    std::uint64_t nLowerBound = 0;     // nTotalSpace over the usable capacity, rounded up
};
