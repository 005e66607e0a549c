// The sort of a directory listing: N lines in one folder, and N lines spread
// over folders of ten lines each as in a real tree.
#include "CatalogSorter.h"
#include "EntryFormatter.h"
#include "SampleEntries.h"

#include <benchmark/benchmark.h>

namespace {

constexpr const char* kLocale = "en_US.UTF-8";

// Tabbed listing lines of the sample entries, in walk order.
class CSampleLines {
public:
    explicit CSampleLines(std::size_t count) : m_entries(count) {
        CLocaleFormat locale(kLocale, kLocale, kLocale);
        CEntryFormatter formatter(locale);
        std::string line;
        for (std::size_t i = 0; i < count; ++i) {
            line.clear();
            formatter.BuildListingLine(line, m_entries[i], true, 0);
            m_lines.push_back(m_arena.Store(line));
        }
    }
    const CLineArray& Lines() const { return m_lines; }

private:
    CSampleEntries m_entries;
    CLineArena m_arena;
    CLineArray m_lines;
};

void Fill(CCatalogSession& session, const CLineArray& lines, std::size_t perFolder) {
    session.m_arrFolderRecords.clear();
    session.m_lines.Clear(); // the paths of the last round
    for (std::size_t start = 0; start < lines.size(); start += perFolder) {
        auto record = std::make_unique<CFolderRecord>();
        const std::string_view first = lines[start];
        record->m_path = session.m_lines.Store("/MEDIA/BENCH/" + std::string(first.substr(0, first.find('\t'))));
        const std::size_t end = std::min(lines.size(), start + perFolder);
        record->m_arrFiles.assign(lines.begin() + static_cast<std::ptrdiff_t>(start),
                                  lines.begin() + static_cast<std::ptrdiff_t>(end));
        session.m_arrFolderRecords.push_back(std::move(record));
    }
}

void RunSort(benchmark::State& state, std::size_t perFolder) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const CSampleLines sample(count);
    CCatalogSession session;
    for (auto _ : state) {
        state.PauseTiming();
        Fill(session, sample.Lines(), perFolder == 0 ? count : perFolder);
        state.ResumeTiming();
        SortCatalogue(session);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
    state.SetComplexityN(static_cast<std::int64_t>(count));
}

void BM_SortLinesOneFolder(benchmark::State& state) { RunSort(state, 0); }
void BM_SortCatalogueTenPerFolder(benchmark::State& state) { RunSort(state, 10); }
BENCHMARK(BM_SortLinesOneFolder)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_SortCatalogueTenPerFolder)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
