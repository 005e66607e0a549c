// The cost of reading the settings: a drop or an export reads the nine
// options once, as a snapshot, and each read looks at the file (one stat)
// and parses it again only when it changed or is too recent to trust.
#include "AppSettings.h"
#include "ScratchFolder.h"
#include "StringTable.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

// A settings file as the desktop program leaves it after a few sessions,
// last written a minute ago.
void WriteTypicalFile(const std::string& path) {
    std::ofstream(path) << "[Options]\nExportData=1\nAutoView=1\nFormatFileSize=1\nExcludeEmptyFolders=0\n"
                           "OutputFormat=0\nProcessType=1\nDirectoryOnly=0\nExcludeHiddenSystemInfo=1\n"
                           "ExcludeSubFolders=0\n[Archive Options]\nMediaNumber=3\nArchiveNumber=17\n"
                           "MultipleArchive=1\nMediaType=DAT\n[Export Dialogue]\n"
                           "DefaultDir=/home/someone/Documents/Catalogues/2024/Tapes/\n";
    timeval now{};
    gettimeofday(&now, nullptr);
    const timeval times[2] = {{now.tv_sec - 60, 0}, {now.tv_sec - 60, 0}};
    utimes(path.c_str(), times);
}

// One option: a stat of an unchanged file and a look-up.
void BM_SettingsGetter(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.Get(Option::ProcessType));
    }
}
BENCHMARK(BM_SettingsGetter);

// What a drop or an export reads at its start.
void BM_SettingsSnapshot(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.Snapshot());
    }
}
BENCHMARK(BM_SettingsSnapshot);

// The same just after a write, when every read parses the file again.
void BM_SettingsSnapshotOfRecentFile(benchmark::State& state) {
    CScratchFolder folder;
    CSettingsStore store(folder.Path("stowlist.INI"));
    store.WriteInt("Options", "ProcessType", 1);
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.Snapshot());
    }
}
BENCHMARK(BM_SettingsSnapshotOfRecentFile);

// A string value: copied out of the parsed file on every call.
void BM_SettingsStringGetter(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.GetDefaultDir());
    }
}
BENCHMARK(BM_SettingsStringGetter);

} // namespace
