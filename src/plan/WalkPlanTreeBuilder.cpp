#include "WalkPlanTreeBuilder.h"

#include "DropPath.h"
#include "PlanDrop.h"

#include <sys/stat.h>

CWalkPlanTreeBuilder::CWalkPlanTreeBuilder(bool bExcludeHidden, bool bNoSubfolders)
    : m_bExcludeHidden(bExcludeHidden), m_bNoSubfolders(bNoSubfolders), m_walker(*this) {
    m_walkOptions[Option::ProcessType] = kProcessListing; // records mark where each folder ends
    m_walkOptions[Option::ExcludeSubFolders] = bNoSubfolders ? 1 : 0;
}

bool CWalkPlanTreeBuilder::Build(const std::vector<std::string>& paths, CPlanTree& tree) {
    m_pTree = &tree;
    const bool rootDrop = DropPath::IsRootDrop(paths);
    for (const std::string& path : paths) {
        if (rootDrop) {
            const std::string base = PlanDrop::RootFolder(path);
            struct stat info {};
            if (stat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                continue;
            }
            tree.AddBase(base);
            Walk(path, CPlanTree::kNoNode);
            continue;
        }
        const PlanDrop::CItem item = PlanDrop::AddItem(path, m_bExcludeHidden, tree);
        if (!item.m_bExists) {
            m_strMissing = path;
            return false;
        }
        if (item.m_bSkipped) {
            continue;
        }
        ++m_nEntries;
        if (item.m_kind != EPlanKind::kFolder) {
            continue;
        }
        if (m_bNoSubfolders) {
            tree.MarkIncomplete(item.m_nNode);
            continue;
        }
        Walk(path, item.m_nNode);
    }
    m_pTree = nullptr;
    return true;
}

void CWalkPlanTreeBuilder::Walk(const std::string& path, std::uint32_t top) {
    m_recordNodes.clear();
    m_arrExpected.clear();
    m_arrEntered.assign(m_pTree->Size(), false);
    if (top != CPlanTree::kNoNode) {
        m_arrExpected.push_back(top);
    }
    m_nNextFolder = top;
    m_walker.WalkFolder(path, m_walkOptions);
    // A folder the walk meant to enter but could not open or read is not whole.
    m_arrEntered.resize(m_pTree->Size(), false);
    for (const std::uint32_t folder : m_arrExpected) {
        if (!m_arrEntered[folder]) {
            m_pTree->MarkIncomplete(folder);
        }
    }
}

std::unique_ptr<CFolderRecord> CWalkPlanTreeBuilder::NewRecord(const std::string&) {
    auto record = std::make_unique<CFolderRecord>();
    m_recordNodes[record.get()] = m_nNextFolder;
    m_nNextFolder = CPlanTree::kNoNode;
    return record;
}

void CWalkPlanTreeBuilder::AppendRecord(std::unique_ptr<CFolderRecord> record) {
    const auto it = m_recordNodes.find(record.get());
    if (it == m_recordNodes.end()) {
        return;
    }
    if (it->second != CPlanTree::kNoNode && it->second != kSkipped) {
        if (m_arrEntered.size() <= it->second) {
            m_arrEntered.resize(m_pTree->Size(), false);
        }
        m_arrEntered[it->second] = true;
    }
    m_recordNodes.erase(it);
}

void CWalkPlanTreeBuilder::AddEntry(const CFindData& entry, CFolderRecord* record) {
    const auto it = m_recordNodes.find(record);
    const std::uint32_t parent = it != m_recordNodes.end() ? it->second : CPlanTree::kNoNode;
    if (parent == kSkipped) {
        m_nNextFolder = kSkipped;
        return;
    }
    if (m_bExcludeHidden && IsHiddenName(entry.m_strName)) {
        if (parent != CPlanTree::kNoNode) {
            m_pTree->MarkIncomplete(parent);
        }
        m_nNextFolder = kSkipped;
        return;
    }
    const EPlanKind kind =
        entry.m_bDirectory ? EPlanKind::kFolder : (entry.m_bRegular ? EPlanKind::kFile : EPlanKind::kOther);
    const std::uint32_t node = m_pTree->Add(parent, std::string(entry.m_strName), kind, entry.m_nSize);
    ++m_nEntries;
    m_nNextFolder = CPlanTree::kNoNode;
    if (kind != EPlanKind::kFolder) {
        return;
    }
    if (m_bNoSubfolders) {
        m_pTree->MarkIncomplete(node);
        return;
    }
    m_nNextFolder = node;
    m_arrExpected.push_back(node);
}
