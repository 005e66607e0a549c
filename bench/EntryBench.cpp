// The cost of adding one entry to the catalogue: its line built in the
// user's locale (date, time, grouped size, upper case), stored, counted.
#include "CatalogEngine.h"
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

// One engine over a settings file of its own, as the desktop program runs it.
class CEngineRig {
public:
    explicit CEngineRig(Layout layout)
        : m_store(m_folder.Path("stowlist.INI")), m_settings(m_store),
          m_engine(m_host, m_settings, CLocaleFormat(kLocale, kLocale, kLocale), CEngineTiming{}) {
        const std::string& section = LoadString(IDS_SECTION_OPTIONS);
        m_store.WriteInt(section, LoadString(IDS_KEY_PROCESS_TYPE), layout.processType);
        m_store.WriteInt(section, LoadString(IDS_KEY_OUTPUT_FORMAT), layout.outputFormat);
        m_host.RunArchiveSettings(m_engine.ArchiveSettings());
        NewSession();
    }

    void NewSession() {
        m_record.reset();
        m_engine.ResetSession();
        if (m_settings.GetProcessType() == kProcessListing) {
            m_record = m_engine.NewRecord("/media/bench/Übersicht 2024");
        }
    }

    CCatalogEngine& Engine() { return m_engine; }
    CFolderRecord* Record() { return m_record.get(); }

private:
    CScratchFolder m_folder;
    CSettingsStore m_store;
    CAppSettings m_settings;
    CNullHost m_host;
    CCatalogEngine m_engine;
    std::unique_ptr<CFolderRecord> m_record;
};

void RunAddEntry(benchmark::State& state, Layout layout) {
    const CSampleEntries entries(kSampleCount);
    CEngineRig rig(layout);
    std::size_t added = 0;
    for (auto _ : state) {
        rig.Engine().AddEntry(entries[added % kSampleCount], rig.Record());
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
