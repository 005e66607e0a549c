// The cost of adding one entry to the catalogue: its line built in the
// user's locale (date, time, grouped size, upper case), stored, counted.
#include "EntryCollector.h"
#include "NullHost.h"
#include "SampleEntries.h"
#include "ScratchFolder.h"
#include "StringTable.h"

#include <benchmark/benchmark.h>

namespace {

constexpr const char* kLocale = "en_US.UTF-8";
constexpr std::size_t kSampleCount = 4096;
// Entries added before the catalogue is emptied, outside the timing.
constexpr std::size_t kEntriesPerSession = 1 << 16;

struct Layout {
    int processType;
    int outputFormat;
};

// The engine's collector of entry lines, over a locale moved in as the
// engine's is.
class CEngineRig {
public:
    explicit CEngineRig(Layout layout)
        : m_locale(CLocaleFormat(kLocale, kLocale, kLocale)),
          m_collector(m_session, m_locale, m_tags, m_host, std::chrono::milliseconds(30)) {
        m_options[Option::ProcessType] = layout.processType;
        m_options[Option::OutputFormat] = layout.outputFormat;
        m_options[Option::FormatFileSize] = 1;
        m_tags.m_strMediaType = "CD";
        m_tags.m_nMediaNumber = 1;
        m_tags.m_nArchiveNumber = 1;
        NewSession();
    }

    void NewSession() {
        m_record.reset();
        m_session.Reset();
        m_collector.Begin(m_options);
        if (m_options.IsListing()) {
            m_record = m_collector.NewRecord("/media/bench/Übersicht 2024");
        }
    }

    CEntryCollector& Collector() { return m_collector; }
    CFolderRecord* Record() { return m_record.get(); }

private:
    CLocaleFormat m_locale;
    CCatalogSession m_session;
    CArchiveSettings m_tags;
    CNullHost m_host;
    COptionsSnapshot m_options;
    CEntryCollector m_collector;
    std::unique_ptr<CFolderRecord> m_record;
};

void RunAddEntry(benchmark::State& state, Layout layout) {
    const CSampleEntries entries(kSampleCount);
    CEngineRig rig(layout);
    std::size_t added = 0;
    for (auto _ : state) {
        rig.Collector().AddEntry(entries[added % kSampleCount], rig.Record());
        if (++added % kEntriesPerSession == 0) {
            state.PauseTiming();
            rig.NewSession();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_AddEntryListingTabbed(benchmark::State& state) { RunAddEntry(state, {kProcessListing, 0}); }
void BM_AddEntryListingPadded(benchmark::State& state) { RunAddEntry(state, {kProcessListing, 1}); }
void BM_AddEntryArchive(benchmark::State& state) { RunAddEntry(state, {kProcessArchive, 0}); }
BENCHMARK(BM_AddEntryListingTabbed);
BENCHMARK(BM_AddEntryListingPadded);
BENCHMARK(BM_AddEntryArchive);

void BM_FormatNumber(benchmark::State& state) {
    const CLocaleFormat locale(kLocale, kLocale, kLocale);
    const CSampleEntries entries(kSampleCount);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(locale.FormatNumber(static_cast<std::int64_t>(entries[i++ % kSampleCount].m_nSize)));
    }
}
BENCHMARK(BM_FormatNumber);

void BM_FormatNumberLarge(benchmark::State& state) {
    const CLocaleFormat locale(kLocale, kLocale, kLocale);
    std::int64_t value = 5368709120;
    for (auto _ : state) {
        benchmark::DoNotOptimize(locale.FormatNumber(value++));
    }
}
BENCHMARK(BM_FormatNumberLarge);

} // namespace
