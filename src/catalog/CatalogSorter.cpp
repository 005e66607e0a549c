#include "CatalogSorter.h"

#include <vector>

namespace {

// A record with its path at hand, so that comparing two records reads only
// their paths.
struct KeyedRecord {
    std::string_view path;
    CFolderRecord* record;
};
struct RecordKey {
    std::string_view operator()(const KeyedRecord& keyed) const { return keyed.path; }
};
struct LineKey {
    std::string_view operator()(CLineRef line) const { return line.View(); }
};

void SortLines(CLineArray& lines) {
    if (!lines.empty()) {
        CQuickSort<CLineRef, LineKey>(LineKey{}).Sort(lines.data(), 0,
                                                              static_cast<std::ptrdiff_t>(lines.size()) - 1);
    }
}

} // namespace

void SortCatalogue(CCatalogSession& session) {
    auto& records = session.m_arrFolderRecords;
    std::vector<KeyedRecord> keyed;
    keyed.reserve(records.size());
    for (auto& record : records) {
        keyed.push_back({record->m_path.View(), record.release()});
    }
    // The same algorithm over the same keys: the order is the one the records
    // themselves would get.
    const auto count = static_cast<std::ptrdiff_t>(keyed.size());
    CQuickSort<KeyedRecord, RecordKey>(RecordKey{}).Sort(keyed.data(), 0, count - 1);
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        records[i].reset(keyed[i].record);
    }
    for (auto& record : records) {
        SortLines(record->m_arrSubFolders);
        SortLines(record->m_arrFiles);
    }
}
