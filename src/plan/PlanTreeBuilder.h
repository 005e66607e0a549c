#pragma once

#include "PlanTree.h"

#include <cstdint>
#include <string>
#include <vector>

// Walks dropped paths into a plan tree the way a drop takes them: a first
// path ending in "/" makes every path a whole medium, whose contents are the
// dropped items (a root that does not exist contributes nothing); otherwise
// each path is a dropped item itself, placed at the top of a medium. Entries
// are taken in the order the file system returns them, with lstat: links are
// never followed and take a block each. Hidden entries (a name starting with
// ".") are left out when asked to, sub-folders are then not descended into
// when asked to; either leaves the folders above them incomplete, as does a
// folder that cannot be read.
class CPlanTreeBuilder {
public:
    CPlanTreeBuilder(bool bExcludeHidden, bool bNoSubfolders);

    // Paths are absolute. False when a dropped path (not a root) does not
    // exist; MissingPath() then names it and the tree holds what came before.
    bool Build(const std::vector<std::string>& paths, CPlanTree& tree);
    const std::string& MissingPath() const { return m_strMissing; }
    std::uint64_t EntriesRead() const { return m_nEntries; }

private:
    // The contents of an open folder (the descriptor is taken over).
    void WalkContents(int folderFd, std::uint32_t parent, CPlanTree& tree);

    bool m_bExcludeHidden;
    bool m_bNoSubfolders;
    std::string m_strMissing;
    std::uint64_t m_nEntries = 0;
};
