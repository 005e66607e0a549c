#include "CatalogSorter.h"

namespace {

struct RecordKey {
    std::string_view operator()(const std::unique_ptr<CFolderRecord>& record) const { return record->m_strPath; }
};
struct LineKey {
    std::string_view operator()(std::string_view line) const { return line; }
};

void SortLines(CLineArray& lines) {
    if (!lines.empty()) {
        CQuickSort<std::string_view, LineKey>(LineKey{}).Sort(lines.data(), 0,
                                                              static_cast<std::ptrdiff_t>(lines.size()) - 1);
    }
}

} // namespace

void SortCatalogue(CCatalogSession& session) {
    auto& records = session.m_arrFolderRecords;
    const auto count = static_cast<std::ptrdiff_t>(records.size());
    CQuickSort<std::unique_ptr<CFolderRecord>, RecordKey>(RecordKey{}).Sort(records.data(), 0, count - 1);
    for (auto& record : records) {
        SortLines(record->m_arrSubFolders);
        SortLines(record->m_arrFiles);
    }
}
