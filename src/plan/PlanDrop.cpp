#include "PlanDrop.h"

#include "DropPath.h"
#include "FindData.h"

EPlanKind PlanDrop::KindOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return EPlanKind::kFolder;
    }
    return S_ISREG(info.st_mode) ? EPlanKind::kFile : EPlanKind::kOther;
}

std::string PlanDrop::RootFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

PlanDrop::CItem PlanDrop::AddItem(const std::string& path, bool excludeHidden, CPlanTree& tree) {
    CItem item;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return item;
    }
    item.m_bExists = true;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (excludeHidden && IsHiddenName(name)) {
        item.m_bSkipped = true;
        return item;
    }
    tree.AddBase(slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash));
    item.m_kind = KindOf(info);
    item.m_nNode = tree.Add(CPlanTree::kNoNode, name, item.m_kind, static_cast<std::uint64_t>(info.st_size));
    return item;
}
