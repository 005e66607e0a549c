#pragma once

#include "LocaleFormat.h"
#include "MediaPlan.h"
#include "PlanTree.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The plan as standard output shows it: for each medium a line with its tag
// and its space, then its items, one a line after a tab, as paths from the
// dropped item down; then the total. Or, as JSON, one object a line per
// medium. Control bytes in names show as "?"; in JSON, bytes that are not
// UTF-8 show as U+FFFD.
class CPlanPrinter {
public:
    // `grouping`: the locale whose thousands separator the numbers take, or
    // none for plain digits.
    CPlanPrinter(const CPlanTree& tree, const CMediaPlan& plan, std::string mediaType, int firstMedium,
                 const CLocaleFormat* grouping);

    std::string Text() const;
    std::string Json() const;

    // The tag of a medium's first archive ("CD03-01") and its path list's name.
    static std::string MediumTag(const std::string& mediaType, long long medium);
    static std::string PathListName(const std::string& mediaType, long long medium);

private:
    std::string Number(std::uint64_t value) const;

    const CPlanTree& m_tree;
    const CMediaPlan& m_plan;
    std::string m_strMediaType;
    int m_nFirstMedium;
    const CLocaleFormat* m_pGrouping;
};
