#include "FindHitOrder.h"

#include "CaseFold.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace {

struct Keyed {
    std::string m_strKey;
    std::uint64_t m_nNumber = 0;
    std::size_t m_nIndex = 0;
};

} // namespace

void SortFindHits(std::vector<CFindHit>& hits, FindHitField field, bool descending) {
    std::vector<Keyed> keys(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const CFindHit& hit = hits[i];
        Keyed& key = keys[i];
        key.m_nIndex = i;
        switch (field) {
        case FindHitField::Name: key.m_strKey = CaseFold::Fold(hit.m_strName); break;
        case FindHitField::Size: key.m_nNumber = hit.m_bFolder ? 0 : hit.m_nSize + 1; break;
        case FindHitField::Date: key.m_strKey = CaseFold::Fold(hit.m_strDate); break;
        case FindHitField::Time: key.m_strKey = CaseFold::Fold(hit.m_strTime); break;
        case FindHitField::Medium: key.m_strKey = CaseFold::Fold(hit.m_strMedium); break;
        case FindHitField::Folder: key.m_strKey = CaseFold::Fold(hit.m_strFolder); break;
        case FindHitField::Copies: key.m_nNumber = hit.m_nCopies; break;
        case FindHitField::Report:
            key.m_strKey = hit.m_strReport;
            key.m_nNumber = hit.m_nLine;
            break;
        }
    }
    std::stable_sort(keys.begin(), keys.end(), [descending](const Keyed& a, const Keyed& b) {
        return descending ? std::tie(b.m_strKey, b.m_nNumber) < std::tie(a.m_strKey, a.m_nNumber)
                          : std::tie(a.m_strKey, a.m_nNumber) < std::tie(b.m_strKey, b.m_nNumber);
    });
    std::vector<CFindHit> sorted;
    sorted.reserve(hits.size());
    for (const Keyed& key : keys) {
        sorted.push_back(std::move(hits[key.m_nIndex]));
    }
    hits = std::move(sorted);
}
