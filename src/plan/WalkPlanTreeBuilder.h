#pragma once

#include "FolderWalker.h"
#include "PlanTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Builds the plan tree from the engine's own walk (CFolderWalker, which reads
// folders ahead on a second processor), taking exactly what
// CPlanTreeBuilder takes and marking the same folders incomplete: dropped
// paths as a drop takes them, lstat, links never followed, hidden entries
// and sub-folders left out when asked to. The walk is asked for folder
// records so that the contents of each folder are known to end; it is
// asked for hidden entries too, which are then left out here, so that their
// folders are known to be incomplete.
class CWalkPlanTreeBuilder : private IWalkSink {
public:
    CWalkPlanTreeBuilder(bool bExcludeHidden, bool bNoSubfolders);

    // Paths are absolute. False when a dropped path (not a root) does not
    // exist; MissingPath() then names it and the tree holds what came before.
    bool Build(const std::vector<std::string>& paths, CPlanTree& tree);
    const std::string& MissingPath() const { return m_strMissing; }
    std::uint64_t EntriesRead() const { return m_nEntries; }

private:
    static constexpr std::uint32_t kSkipped = 0xFFFFFFFEu; // a hidden folder left out, and all in it

    void AddEntry(const CFindData& entry, CFolderRecord* record) override;
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override;
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override;
    // Walks a dropped folder (or a root) whose node is `top` (kNoNode for a root).
    void Walk(const std::string& path, std::uint32_t top);

    bool m_bExcludeHidden;
    bool m_bNoSubfolders;
    std::string m_strMissing;
    std::uint64_t m_nEntries = 0;
    CFolderWalker m_walker;
    COptionsSnapshot m_walkOptions;
    CPlanTree* m_pTree = nullptr;
    // While a folder is walked: the node of each record the walk holds, the
    // folder whose record comes next, and the folders whose walk completed.
    std::unordered_map<const CFolderRecord*, std::uint32_t> m_recordNodes;
    std::uint32_t m_nNextFolder = CPlanTree::kNoNode;
    std::vector<std::uint32_t> m_arrExpected; // folders the walk should enter
    std::vector<bool> m_arrEntered;           // per node: its record was appended
};
