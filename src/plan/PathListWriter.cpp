#include "PathListWriter.h"

CPathListWriter::CPathListWriter(const CPlanTree& tree, const CMediaPlan& plan)
    : m_tree(tree), m_plan(plan), m_arrLeftOut(tree.Size(), false) {
    for (const CLeftOut& left : plan.arrLeftOut) {
        for (std::uint32_t n = left.nNode; n < tree.End(left.nNode); ++n) {
            m_arrLeftOut[n] = true;
        }
    }
}

std::string CPathListWriter::Escape(std::string_view path) {
    std::string escaped;
    escaped.reserve(path.size());
    for (const char c : path) {
        if (c == '=' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

void CPathListWriter::AppendLine(std::uint32_t node, std::string& text) const {
    text += Escape(m_tree.MediumPath(node));
    text += '=';
    text += Escape(m_tree.SourcePath(node));
    text += '\n';
}

std::string CPathListWriter::PathList(std::size_t medium) const {
    std::string text;
    for (const CPlacement& item : m_plan.arrMedia[medium].arrItems) {
        if (!item.bWhole) {
            continue; // its parts follow
        }
        const std::uint32_t end = m_tree.End(item.nNode);
        for (std::uint32_t n = item.nNode; n < end;) {
            const CPlanNode& node = m_tree.Node(n);
            if (m_arrLeftOut[n]) {
                n = m_tree.End(n);
            } else if (node.kind != EPlanKind::kFolder) {
                AppendLine(n, text);
                ++n;
            } else if (node.bComplete && !m_plan.arrPruned[n]) {
                AppendLine(n, text);
                n = m_tree.End(n);
            } else {
                ++n; // its entries one by one
            }
        }
    }
    return text;
}
