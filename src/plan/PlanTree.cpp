#include "PlanTree.h"

#include <stdexcept>
#include <utility>

void CPlanTree::AddBase(std::string folder) {
    m_arrBases.push_back(std::move(folder));
}

std::uint32_t CPlanTree::Add(std::uint32_t parent, std::string name, EPlanKind kind, std::uint64_t size) {
    const auto index = static_cast<std::uint32_t>(m_arrNodes.size());
    while (!m_arrOpen.empty() && m_arrOpen.back() != parent) {
        m_arrNodes[m_arrOpen.back()].nEnd = index;
        m_arrOpen.pop_back();
    }
    if (parent != kNoNode && m_arrOpen.empty()) {
        throw std::logic_error("CPlanTree::Add: parent is not an open folder");
    }
    if (parent == kNoNode && m_arrBases.empty()) {
        throw std::logic_error("CPlanTree::Add: a dropped item needs a base folder");
    }
    CPlanNode node;
    node.strName = std::move(name);
    node.nSize = kind == EPlanKind::kFile ? size : 0;
    node.nParent = parent;
    node.nEnd = kind == EPlanKind::kFolder ? 0 : index + 1; // a folder's end is set when it closes
    node.nBase = static_cast<std::uint32_t>(m_arrBases.size() - 1);
    node.kind = kind;
    m_arrNodes.push_back(std::move(node));
    if (kind == EPlanKind::kFolder) {
        m_arrOpen.push_back(index);
    }
    return index;
}

void CPlanTree::MarkIncomplete(std::uint32_t folder) {
    for (std::uint32_t node = folder; node != kNoNode && m_arrNodes[node].bComplete;
         node = m_arrNodes[node].nParent) {
        m_arrNodes[node].bComplete = false;
    }
}

std::string CPlanTree::MediumPath(std::uint32_t node) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t n = node; n != kNoNode; n = m_arrNodes[n].nParent) {
        chain.push_back(n);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path += '/';
        }
        path += m_arrNodes[*it].strName;
    }
    return path;
}

std::string CPlanTree::SourcePath(std::uint32_t node) const {
    std::uint32_t top = node;
    while (m_arrNodes[top].nParent != kNoNode) {
        top = m_arrNodes[top].nParent;
    }
    std::string path = m_arrBases[m_arrNodes[top].nBase];
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path + MediumPath(node);
}
