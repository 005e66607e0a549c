#pragma once

#include "MediaPlan.h"
#include "PlanTree.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The path list of each planned medium, as `xorriso -as mkisofs
// -graft-points -path-list FILE` and `genisoimage -graft-points -path-list
// FILE` read it: one graft point "path/on/the/medium=/absolute/source" a
// line, "=" and "\" escaped with a backslash on both sides. A folder is one
// line only when it lies whole on the medium, the walk took everything in
// it and nothing in it was left out; otherwise its entries are listed one
// by one, so that a burn holds exactly the plan. A folder the walk did not
// enter (sub-folders left out) has no entries to list and gets no line.
// Names hold no line feed: the plan leaves those out.
class CPathListWriter {
public:
    CPathListWriter(const CPlanTree& tree, const CMediaPlan& plan);

    // The lines of one medium, each ending in "\n".
    std::string PathList(std::size_t medium) const;

    static std::string Escape(std::string_view path);

private:
    void AppendLine(std::uint32_t node, std::string& text) const;

    const CPlanTree& m_tree;
    const CMediaPlan& m_plan;
    std::vector<bool> m_arrLeftOut;
};
