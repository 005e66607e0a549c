#include "PlanTestSupport.h"

#include <map>
#include <set>
#include <sstream>

CPlanTree TreeOf(const std::vector<std::string>& lines) {
    CPlanTree tree;
    tree.AddBase("/src");
    std::map<std::string, std::uint32_t> folders;
    for (const std::string& line : lines) {
        std::string path = line;
        std::uint64_t size = 0;
        if (const auto space = line.rfind(' '); space != std::string::npos) {
            path = line.substr(0, space);
            size = std::stoull(line.substr(space + 1));
        }
        EPlanKind kind = EPlanKind::kFile;
        if (path.back() == '/') {
            kind = EPlanKind::kFolder;
            path.pop_back();
        } else if (path.back() == '@') {
            kind = EPlanKind::kOther;
            path.pop_back();
        }
        const auto slash = path.rfind('/');
        const std::uint32_t parent =
            slash == std::string::npos ? CPlanTree::kNoNode : folders.at(path.substr(0, slash));
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::uint32_t node = tree.Add(parent, name, kind, size);
        if (kind == EPlanKind::kFolder) {
            folders[path] = node;
        }
    }
    return tree;
}

std::string DescribePlan(const CPlanTree& tree, const CMediaPlan& plan) {
    std::ostringstream out;
    for (const CPlannedMedium& medium : plan.arrMedia) {
        out << medium.nUsed << ' ' << medium.nFree << ':';
        for (const CPlacement& item : medium.arrItems) {
            out << ' ' << tree.MediumPath(item.nNode);
            if (!item.bWhole) {
                out << "/*";
            } else if (tree.Node(item.nNode).kind == EPlanKind::kFolder) {
                out << '/';
            }
        }
        out << '\n';
    }
    out << "left out:";
    for (const CLeftOut& left : plan.arrLeftOut) {
        out << ' ' << tree.MediumPath(left.nNode)
            << (left.reason == ELeftOutReason::kLineFeed ? " (line feed)" : " (too large)");
    }
    out << '\n';
    return out.str();
}

std::string CheckPlan(const CPlanTree& tree, const CMediaPlan& plan, const CMediaRules& rules) {
    std::ostringstream faults;
    const std::uint32_t count = tree.Size();
    std::vector<int> depth(count, 0);
    std::vector<bool> leftOut(count, false);
    for (const CLeftOut& left : plan.arrLeftOut) {
        for (std::uint32_t n = left.nNode; n < tree.End(left.nNode); ++n) {
            leftOut[n] = true;
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const CPlanNode& node = tree.Node(i);
        depth[i] = node.nParent == CPlanTree::kNoNode ? 0 : depth[node.nParent] + 1;
        const std::uint64_t own = node.kind == EPlanKind::kFile ? rules.FileSpace(node.nSize) : rules.BlockSize();
        const bool tooLarge = own + rules.BlockSize() * static_cast<std::uint64_t>(depth[i]) > rules.Usable() ||
                              node.strName.find('\n') != std::string::npos;
        const bool parentLeft = node.nParent != CPlanTree::kNoNode && leftOut[node.nParent];
        if (!parentLeft && tooLarge != leftOut[i]) {
            faults << tree.MediumPath(i) << (tooLarge ? " should be left out\n" : " is left out for nothing\n");
        }
    }
    // Whole space of kept nodes.
    std::vector<std::uint64_t> space(count, 0);
    for (std::uint32_t i = count; i-- > 0;) {
        if (leftOut[i]) {
            continue;
        }
        const CPlanNode& node = tree.Node(i);
        space[i] += node.kind == EPlanKind::kFile ? rules.FileSpace(node.nSize) : rules.BlockSize();
        if (node.nParent != CPlanTree::kNoNode) {
            space[node.nParent] += space[i];
        }
    }
    std::vector<int> covered(count, 0);
    std::vector<bool> split(count, false);
    for (std::size_t m = 0; m < plan.arrMedia.size(); ++m) {
        const CPlannedMedium& medium = plan.arrMedia[m];
        std::uint64_t used = 0;
        std::set<std::uint32_t> splitHere;
        for (std::size_t k = 0; k < medium.arrItems.size(); ++k) {
            const CPlacement& item = medium.arrItems[k];
            if (k > 0 && medium.arrItems[k - 1].nNode >= item.nNode) {
                faults << "medium " << m << ": items out of walk order\n";
            }
            if (item.bWhole) {
                used += space[item.nNode];
                for (std::uint32_t n = item.nNode; n < tree.End(item.nNode); ++n) {
                    ++covered[n];
                }
                const std::uint32_t parent = tree.Node(item.nNode).nParent;
                if (parent != CPlanTree::kNoNode && splitHere.count(parent) == 0) {
                    faults << "medium " << m << ": " << tree.MediumPath(item.nNode) << " without its folder\n";
                }
            } else {
                used += rules.BlockSize();
                splitHere.insert(item.nNode);
                split[item.nNode] = true;
                if (k + 1 == medium.arrItems.size() || !tree.Holds(item.nNode, medium.arrItems[k + 1].nNode)) {
                    faults << "medium " << m << ": split folder without parts\n";
                }
            }
        }
        if (used != medium.nUsed || used > rules.Usable() || medium.nFree != rules.Capacity() - used) {
            faults << "medium " << m << ": used " << medium.nUsed << ", counted " << used << '\n';
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!leftOut[i] && covered[i] != (split[i] ? 0 : 1)) {
            faults << tree.MediumPath(i) << " is on " << covered[i] << " media\n";
        }
    }
    return faults.str();
}
