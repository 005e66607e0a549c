#include "SegmentPlaces.h"

std::uint64_t CSegmentPlaces::Of(std::uint64_t entry) {
    if (entry >= m_nStart && entry < m_nEnd) {
        return m_nPlace;
    }
    m_nPlace = m_pReader->PlaceOf(entry);
    m_place = m_pReader->PlaceAt(m_nPlace);
    const bool placed = m_nPlace < m_pReader->Places();
    m_nStart = placed ? m_pReader->PlaceStart(m_nPlace) : 1;
    m_nEnd = placed ? m_pReader->PlaceStart(m_nPlace + 1) : 0;
    return m_nPlace;
}
