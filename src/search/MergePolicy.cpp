#include "MergePolicy.h"

#include <algorithm>
#include <map>
#include <numeric>

unsigned CMergePolicy::Tier(std::uint64_t live) {
    unsigned tier = 0;
    for (std::uint64_t bound = kTierBase; live >= bound && tier < 16; bound *= kTierFactor) {
        ++tier;
    }
    return tier;
}

std::vector<std::vector<std::size_t>> CMergePolicy::Choose(const std::vector<Segment>& segments, Occasion occasion) {
    std::vector<std::vector<std::size_t>> groups;
    std::vector<std::size_t> bySize(segments.size());
    std::iota(bySize.begin(), bySize.end(), std::size_t{0});
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&](std::size_t a, std::size_t b) { return segments[a].m_nLive < segments[b].m_nLive; });

    if (occasion == Occasion::Compact) {
        // Smallest first, packed up to the largest size; a segment alone is
        // rewritten only when it hides something.
        std::vector<std::size_t> group;
        std::uint64_t total = 0;
        const auto close = [&] {
            if (group.size() > 1 || (group.size() == 1 && segments[group[0]].m_nLive < segments[group[0]].m_nEntries)) {
                groups.push_back(group);
            }
            group.clear();
            total = 0;
        };
        for (const std::size_t i : bySize) {
            if (!group.empty() && total + segments[i].m_nLive > kLargest) {
                close();
            }
            group.push_back(i);
            total += segments[i].m_nLive;
        }
        close();
        return groups;
    }

    const std::uint64_t budget = occasion == Occasion::Add ? kAddBudget : kLargest;
    std::vector<bool> taken(segments.size(), false);
    std::map<unsigned, std::vector<std::size_t>> tiers;
    for (const std::size_t i : bySize) {
        tiers[Tier(segments[i].m_nLive)].push_back(i);
    }
    for (auto& [tier, members] : tiers) {
        // The smallest kTierWidth of a full tier, when they fit the budget.
        while (members.size() >= kTierWidth) {
            std::vector<std::size_t> group(members.begin(), members.begin() + kTierWidth);
            std::uint64_t total = 0;
            for (const std::size_t i : group) {
                total += segments[i].m_nEntries;
            }
            if (total > budget) {
                break;
            }
            for (const std::size_t i : group) {
                taken[i] = true;
            }
            members.erase(members.begin(), members.begin() + kTierWidth);
            groups.push_back(std::move(group));
        }
    }
    if (occasion == Occasion::Refresh) {
        for (std::size_t i = 0; i < segments.size(); ++i) {
            if (!taken[i] && segments[i].m_nLive * 2 < segments[i].m_nEntries) {
                groups.push_back({i});
            }
        }
    }
    return groups;
}
