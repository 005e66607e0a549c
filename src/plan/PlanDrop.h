#pragma once

#include "PlanTree.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

// What both plan tree builders do with the paths of a drop.
namespace PlanDrop {

EPlanKind KindOf(const struct stat& info);

// The folder a root drop path names: its trailing "/" removed ("/" stays).
std::string RootFolder(std::string path);

// A dropped item outside a root drop, added as a top-level node under the
// folder that holds it.
struct CItem {
    bool m_bExists = false;
    bool m_bSkipped = false; // hidden, and hidden entries are excluded
    std::uint32_t m_nNode = CPlanTree::kNoNode;
    EPlanKind m_kind = EPlanKind::kOther;
};
CItem AddItem(const std::string& path, bool excludeHidden, CPlanTree& tree);

} // namespace PlanDrop
