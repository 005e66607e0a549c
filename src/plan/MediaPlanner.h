#pragma once

#include "MediaPlan.h"
#include "MediaRules.h"
#include "PlanTree.h"

#include <cstdint>
#include <vector>

// Splits a tree of dropped items over as few media as it can, and among
// plans of as many media, with as few folders split as it can.
//
// For a number of media K, items are placed first-fit in decreasing order
// of space, each whole where it fits; a folder that fits nowhere among the K
// is split, its contents placed the same way (largest first), recursively,
// its block charged on every medium that receives part of it. K starts at
// the lower bound and grows until everything is placed (doubling, then
// halving back to the least K that works). So a folder is split only where
// it does not fit on a medium, or where keeping it whole would cost a
// medium more. Each try costs O(n log K); a few tries are usual.
class CMediaPlanner {
public:
    explicit CMediaPlanner(const CMediaRules& rules);

    CMediaPlan Plan(const CPlanTree& tree) const;

private:
    struct Work;
    void Prepare(const CPlanTree& tree, Work& work, CMediaPlan& plan) const;
    bool TryMedia(const CPlanTree& tree, Work& work, std::uint32_t media) const;
    void Collect(const CPlanTree& tree, const Work& work, CMediaPlan& plan) const;

    CMediaRules m_rules;
};
