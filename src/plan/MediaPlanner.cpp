#include "MediaPlanner.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

constexpr std::uint32_t kNoMedium = 0xFFFFFFFFu;

std::uint64_t AddSaturated(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

// Free space per medium, with the leftmost medium that has at least a given
// amount found in O(log K).
class CFreeSpaceTree {
public:
    CFreeSpaceTree(std::uint32_t media, std::uint64_t usable) : m_nLeaves(1) {
        while (m_nLeaves < media) {
            m_nLeaves *= 2;
        }
        m_arrMax.assign(2 * static_cast<std::size_t>(m_nLeaves), 0);
        for (std::uint32_t i = 0; i < media; ++i) {
            m_arrMax[m_nLeaves + i] = usable;
        }
        for (std::size_t i = m_nLeaves - 1; i >= 1; --i) {
            m_arrMax[i] = std::max(m_arrMax[2 * i], m_arrMax[2 * i + 1]);
        }
    }
    std::uint64_t Free(std::uint32_t medium) const { return m_arrMax[m_nLeaves + medium]; }
    std::uint32_t FirstWith(std::uint64_t need) const {
        if (m_arrMax[1] < need) {
            return kNoMedium;
        }
        std::size_t i = 1;
        while (i < m_nLeaves) {
            i = m_arrMax[2 * i] >= need ? 2 * i : 2 * i + 1;
        }
        return static_cast<std::uint32_t>(i - m_nLeaves);
    }
    void Take(std::uint32_t medium, std::uint64_t bytes) {
        std::size_t i = m_nLeaves + medium;
        m_arrMax[i] -= bytes;
        for (i /= 2; i >= 1; i /= 2) {
            m_arrMax[i] = std::max(m_arrMax[2 * i], m_arrMax[2 * i + 1]);
        }
    }

private:
    std::uint32_t m_nLeaves;
    std::vector<std::uint64_t> m_arrMax;
};

} // namespace

struct CMediaPlanner::Work {
    std::vector<std::uint64_t> arrSpace;      // whole space of each kept node
    std::vector<bool> arrKept;
    std::vector<std::uint32_t> arrTop;        // kept dropped items, largest first
    std::vector<std::uint32_t> arrChildBegin; // per node, into arrChildren (and one past the last)
    std::vector<std::uint32_t> arrChildren;   // kept children of each folder, largest first
    std::uint32_t nKept = 0;
    // The last try:
    std::uint32_t nMedia = 0;
    std::vector<std::uint32_t> arrMedium; // per node taken whole, its medium
    std::vector<bool> arrSplit;
    std::vector<std::uint64_t> arrFree;
};

CMediaPlanner::CMediaPlanner(const CMediaRules& rules) : m_rules(rules) {}

void CMediaPlanner::Prepare(const CPlanTree& tree, Work& work, CMediaPlan& plan) const {
    const std::uint32_t count = tree.Size();
    const std::uint64_t block = m_rules.BlockSize();
    const std::uint64_t usable = m_rules.Usable();
    work.arrKept.assign(count, true);
    work.arrSpace.assign(count, 0);
    plan.arrPruned.assign(count, false);
    std::vector<std::uint32_t> depth(count, 0);
    for (std::uint32_t i = 0; i < count;) {
        const CPlanNode& node = tree.Node(i);
        depth[i] = node.nParent == CPlanTree::kNoNode ? 0 : depth[node.nParent] + 1;
        // Blocks of the folders above it, and of itself when a folder.
        const std::uint64_t above = static_cast<std::uint64_t>(depth[i]) * block;
        std::uint64_t own = block;
        if (node.kind == EPlanKind::kFile) {
            own = m_rules.FileSpace(node.nSize);
        }
        bool leave = false;
        ELeftOutReason reason = ELeftOutReason::kTooLarge;
        if (node.strName.find('\n') != std::string::npos) {
            leave = true;
            reason = ELeftOutReason::kLineFeed;
        } else if (AddSaturated(own, above) > usable) {
            leave = true;
        }
        if (!leave) {
            ++i;
            continue;
        }
        plan.arrLeftOut.push_back({i, reason});
        const std::uint32_t end = tree.End(i);
        for (std::uint32_t n = i; n < end; ++n) {
            work.arrKept[n] = false;
            plan.arrPruned[n] = true;
        }
        for (std::uint32_t up = node.nParent; up != CPlanTree::kNoNode && !plan.arrPruned[up];
             up = tree.Node(up).nParent) {
            plan.arrPruned[up] = true;
        }
        i = end;
    }

    // Whole space, children before their folder.
    std::vector<std::uint32_t> childCount(count + 1, 0);
    for (std::uint32_t i = count; i-- > 0;) {
        if (!work.arrKept[i]) {
            continue;
        }
        const CPlanNode& node = tree.Node(i);
        const std::uint64_t own = node.kind == EPlanKind::kFile ? m_rules.FileSpace(node.nSize) : block;
        work.arrSpace[i] = AddSaturated(work.arrSpace[i], own);
        ++work.nKept;
        if (node.nParent != CPlanTree::kNoNode) {
            work.arrSpace[node.nParent] = AddSaturated(work.arrSpace[node.nParent], work.arrSpace[i]);
            ++childCount[node.nParent];
        } else {
            work.arrTop.push_back(i);
            plan.nTotalSpace = AddSaturated(plan.nTotalSpace, work.arrSpace[i]);
        }
    }
    work.arrChildBegin.assign(count + 1, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        work.arrChildBegin[i + 1] = work.arrChildBegin[i] + childCount[i];
    }
    work.arrChildren.resize(work.arrChildBegin[count]);
    std::vector<std::uint32_t> fill(work.arrChildBegin.begin(), work.arrChildBegin.end() - 1);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t parent = tree.Node(i).nParent;
        if (work.arrKept[i] && parent != CPlanTree::kNoNode) {
            work.arrChildren[fill[parent]++] = i;
        }
    }
    const auto larger = [&work](std::uint32_t a, std::uint32_t b) {
        return work.arrSpace[a] > work.arrSpace[b];
    };
    std::reverse(work.arrTop.begin(), work.arrTop.end());
    std::stable_sort(work.arrTop.begin(), work.arrTop.end(), larger);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (childCount[i] > 1) {
            std::stable_sort(work.arrChildren.begin() + work.arrChildBegin[i],
                             work.arrChildren.begin() + work.arrChildBegin[i + 1], larger);
        }
    }
    plan.nLowerBound = plan.nTotalSpace / usable + (plan.nTotalSpace % usable != 0 ? 1 : 0);
}

bool CMediaPlanner::TryMedia(const CPlanTree& tree, Work& work, std::uint32_t media) const {
    const std::uint64_t block = m_rules.BlockSize();
    CFreeSpaceTree free(media, m_rules.Usable());
    work.nMedia = media;
    work.arrMedium.assign(tree.Size(), kNoMedium);
    work.arrSplit.assign(tree.Size(), false);
    // The split folders being placed, outermost first, and the media each is on.
    std::vector<std::uint32_t> chain;
    std::vector<std::uint32_t> cursor; // next child to place, per chain entry
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> mediaOf;

    // What the node costs on a medium: its space and the blocks of the split
    // folders above it not yet there.
    const auto cost = [&](std::uint32_t node, std::uint32_t medium) {
        std::uint64_t bytes = work.arrSpace[node];
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const auto& on = mediaOf[*it];
            if (std::find(on.begin(), on.end(), medium) != on.end()) {
                break;
            }
            bytes += block;
        }
        return bytes;
    };
    const auto placeWhole = [&](std::uint32_t node) {
        // Beside a part of its folder already placed, where it costs its own
        // space only; failing that, the first medium where it fits whatever
        // the folders above it cost.
        std::uint32_t medium = kNoMedium;
        if (!chain.empty()) {
            for (const std::uint32_t candidate : mediaOf[chain.back()]) {
                if (free.Free(candidate) >= work.arrSpace[node]) {
                    medium = candidate;
                    break;
                }
            }
        }
        if (medium == kNoMedium) {
            medium = free.FirstWith(work.arrSpace[node] + block * chain.size());
        }
        if (medium == kNoMedium) {
            return false;
        }
        free.Take(medium, cost(node, medium));
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            auto& on = mediaOf[*it];
            if (std::find(on.begin(), on.end(), medium) != on.end()) {
                break;
            }
            on.push_back(medium);
        }
        work.arrMedium[node] = medium;
        return true;
    };
    const auto split = [&](std::uint32_t node) {
        if (tree.Node(node).kind != EPlanKind::kFolder ||
            work.arrChildBegin[node] == work.arrChildBegin[node + 1]) {
            return false;
        }
        work.arrSplit[node] = true;
        chain.push_back(node);
        cursor.push_back(work.arrChildBegin[node]);
        return true;
    };

    for (const std::uint32_t top : work.arrTop) {
        if (!placeWhole(top) && !split(top)) {
            return false;
        }
        while (!chain.empty()) {
            const std::uint32_t folder = chain.back();
            if (cursor.back() == work.arrChildBegin[folder + 1]) {
                chain.pop_back();
                cursor.pop_back();
                continue;
            }
            const std::uint32_t child = work.arrChildren[cursor.back()++];
            if (!placeWhole(child) && !split(child)) {
                return false;
            }
        }
    }
    work.arrFree.resize(media);
    for (std::uint32_t m = 0; m < media; ++m) {
        work.arrFree[m] = free.Free(m);
    }
    return true;
}

void CMediaPlanner::Collect(const CPlanTree& tree, const Work& work, CMediaPlan& plan) const {
    // Media in the order of their first item, so the first medium starts
    // where the walk started.
    std::vector<std::vector<std::uint32_t>> whole(work.nMedia);
    for (std::uint32_t i = 0; i < tree.Size(); ++i) {
        if (work.arrMedium[i] != kNoMedium) {
            whole[work.arrMedium[i]].push_back(i);
        }
        if (work.arrSplit[i]) {
            ++plan.nFoldersSplit;
        }
    }
    std::vector<std::uint32_t> order;
    for (std::uint32_t m = 0; m < work.nMedia; ++m) {
        if (!whole[m].empty()) {
            order.push_back(m);
        }
    }
    std::sort(order.begin(), order.end(),
              [&whole](std::uint32_t a, std::uint32_t b) { return whole[a].front() < whole[b].front(); });
    for (const std::uint32_t m : order) {
        CPlannedMedium medium;
        medium.nUsed = m_rules.Usable() - work.arrFree[m];
        medium.nFree = m_rules.Capacity() - medium.nUsed;
        std::vector<std::uint32_t> open; // split folders already listed, outermost first
        for (const std::uint32_t node : whole[m]) {
            while (!open.empty() && !tree.Holds(open.back(), node)) {
                open.pop_back();
            }
            std::vector<std::uint32_t> missing;
            for (std::uint32_t up = tree.Node(node).nParent;
                 up != CPlanTree::kNoNode && (open.empty() || up != open.back()); up = tree.Node(up).nParent) {
                missing.push_back(up);
            }
            for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
                medium.arrItems.push_back({*it, false});
                open.push_back(*it);
            }
            medium.arrItems.push_back({node, true});
        }
        plan.arrMedia.push_back(std::move(medium));
    }
}

CMediaPlan CMediaPlanner::Plan(const CPlanTree& tree) const {
    CMediaPlan plan;
    Work work;
    Prepare(tree, work, plan);
    if (work.nKept == 0) {
        return plan;
    }
    // Every kept node alone on a medium always fits: the upper end.
    const std::uint32_t most = work.nKept;
    std::uint32_t low = static_cast<std::uint32_t>(std::max<std::uint64_t>(plan.nLowerBound, 1));
    low = std::min(low, most);
    std::uint32_t high = low;
    if (!TryMedia(tree, work, low)) {
        // Doubling steps above the bound, then halving back to the least that works.
        std::uint32_t step = 1;
        for (;;) {
            high = static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(low) + step, most));
            if (TryMedia(tree, work, high)) {
                break;
            }
            low = high;
            step *= 2;
        }
        std::uint32_t failed = low;
        bool lastTryWasHigh = true;
        while (high - failed > 1) {
            const std::uint32_t middle = failed + (high - failed) / 2;
            if (TryMedia(tree, work, middle)) {
                high = middle;
                lastTryWasHigh = true;
            } else {
                failed = middle;
                lastTryWasHigh = false;
            }
        }
        if (!lastTryWasHigh) {
            TryMedia(tree, work, high);
        }
    }
    Collect(tree, work, plan);
    return plan;
}
