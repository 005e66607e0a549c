#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EPlanKind : std::uint8_t {
    kFile,
    kFolder,
    kOther, // a link or anything else that is neither file nor folder
};

// One dropped item or one entry below it, as the walk met it.
struct CPlanNode {
    std::string strName;
    std::uint64_t nSize = 0;       // bytes of a file; 0 for anything else
    std::uint32_t nParent = 0;     // kNoNode for a dropped item
    std::uint32_t nEnd = 0;        // one past its subtree; 0 while the subtree is still open
    std::uint32_t nBase = 0;       // dropped items: the folder they were dropped from
    EPlanKind kind = EPlanKind::kFile;
    bool bComplete = true;         // folder: everything in it was taken by the walk
};

// The dropped items and everything below them, in the order the walk met
// them (pre-order: a folder before its contents, a subtree contiguous).
// The dropped items sit on each medium's top level; their names there are
// their own, their sources their base folder followed by the name.
class CPlanTree {
public:
    static constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

    // The absolute folder that the next dropped items come from ("/" for
    // the file system root; no trailing "/" otherwise).
    void AddBase(std::string folder);
    // Appends a node; `parent` is kNoNode or a folder whose subtree is the
    // last one still open (pre-order). Returns the node's index.
    std::uint32_t Add(std::uint32_t parent, std::string name, EPlanKind kind, std::uint64_t size);
    // The walk did not take everything in the folder (hidden entries or
    // sub-folders left out, or it could not be read): it and the folders
    // above it are no longer whole.
    void MarkIncomplete(std::uint32_t folder);

    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_arrNodes.size()); }
    const CPlanNode& Node(std::uint32_t index) const { return m_arrNodes[index]; }
    // Whether `ancestor` holds `node` (or is it).
    bool Holds(std::uint32_t ancestor, std::uint32_t node) const {
        return ancestor <= node && node < End(ancestor);
    }
    // One past the last node of the subtree.
    std::uint32_t End(std::uint32_t node) const {
        return m_arrNodes[node].nEnd != 0 ? m_arrNodes[node].nEnd : Size();
    }

    // "folder/sub/name" from the dropped item down.
    std::string MediumPath(std::uint32_t node) const;
    // The absolute path the entry was read from.
    std::string SourcePath(std::uint32_t node) const;

private:
    std::vector<CPlanNode> m_arrNodes;
    std::vector<std::string> m_arrBases;
    std::vector<std::uint32_t> m_arrOpen; // the folders whose subtree is still growing
};
