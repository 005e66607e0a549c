#include "PlanPrinter.h"

#include "JsonText.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

#include <cstdint>
#include <limits>

CPlanPrinter::CPlanPrinter(const CPlanTree& tree, const CMediaPlan& plan, std::string mediaType, int firstMedium,
                           const CLocaleFormat* grouping)
    : m_tree(tree), m_plan(plan), m_strMediaType(std::move(mediaType)), m_nFirstMedium(firstMedium),
      m_pGrouping(grouping) {}

std::string CPlanPrinter::MediumTag(const std::string& mediaType, long long medium) {
    return FormatString(IDS_PLAN_MEDIUM_TAG, {mediaType, medium, 1});
}

std::string CPlanPrinter::PathListName(const std::string& mediaType, long long medium) {
    return FormatString(IDS_PLAN_PATH_LIST_NAME, {mediaType, medium});
}

std::string CPlanPrinter::Number(std::uint64_t value) const {
    constexpr std::uint64_t kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const auto shown = static_cast<std::int64_t>(value < kLargest ? value : kLargest);
    return m_pGrouping != nullptr ? m_pGrouping->FormatNumber(shown) : std::to_string(shown);
}

std::string CPlanPrinter::Text() const {
    const CTextFormat mediumLine(LoadString(IDS_PLAN_MEDIUM_LINE));
    std::string text;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < m_plan.arrMedia.size(); ++i) {
        const CPlannedMedium& medium = m_plan.arrMedia[i];
        total += medium.nUsed;
        mediumLine.AppendTo(text, {MediumTag(m_strMediaType, m_nFirstMedium + static_cast<long long>(i)),
                                   Number(medium.arrItems.size()), Number(medium.nUsed), Number(medium.nFree)});
        text.push_back('\n');
        for (const CPlacement& item : medium.arrItems) {
            text.push_back('\t');
            Utf8::AppendPrintable(text, m_tree.MediumPath(item.nNode));
            text.push_back('\n');
        }
    }
    text += FormatString(IDS_PLAN_TOTAL_LINE, {Number(m_plan.arrMedia.size()), Number(total)});
    text.push_back('\n');
    return text;
}

std::string CPlanPrinter::Json() const {
    std::string text;
    for (std::size_t i = 0; i < m_plan.arrMedia.size(); ++i) {
        const CPlannedMedium& medium = m_plan.arrMedia[i];
        const long long number = m_nFirstMedium + static_cast<long long>(i);
        text += "{\"tag\":";
        JsonText::AppendString(text, MediumTag(m_strMediaType, number), false);
        text += ",\"media_type\":";
        JsonText::AppendString(text, m_strMediaType, false);
        text += ",\"medium\":" + std::to_string(number) + ",\"used\":" + std::to_string(medium.nUsed) +
                ",\"free\":" + std::to_string(medium.nFree) + ",\"items\":[";
        for (std::size_t k = 0; k < medium.arrItems.size(); ++k) {
            if (k != 0) {
                text.push_back(',');
            }
            text += "{\"path\":";
            JsonText::AppendString(text, m_tree.MediumPath(medium.arrItems[k].nNode), false);
            text += medium.arrItems[k].bWhole ? ",\"whole\":true}" : ",\"whole\":false}";
        }
        text += "]}\n";
    }
    return text;
}
