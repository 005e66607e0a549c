// The cost of one settings getter call: the engine asks for an option for
// every entry it adds, so a getter must never touch the file system on its
// hot path, and still see a hand edit of the file at the next drop.
#include "AppSettings.h"
#include "ScratchFolder.h"
#include "StringTable.h"

#include <benchmark/benchmark.h>
#include <fstream>

namespace {

// A settings file as the desktop program leaves it after a few sessions.
void WriteTypicalFile(const std::string& path) {
    std::ofstream(path) << "[Options]\nExportData=1\nAutoView=1\nFormatFileSize=1\nExcludeEmptyFolders=0\n"
                           "OutputFormat=0\nProcessType=1\nDirectoryOnly=0\nExcludeHiddenSystemInfo=1\n"
                           "ExcludeSubFolders=0\n[Archive Options]\nMediaNumber=3\nArchiveNumber=17\n"
                           "MultipleArchive=1\nMediaType=DAT\n[Export Dialogue]\n"
                           "DefaultDir=/home/someone/Documents/Catalogues/2024/Tapes/\n";
}

// The getter as the engine calls it: cached contents, the file looked at
// again at most every recheck interval (20 ms).
void BM_SettingsGetter(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.GetProcessType());
    }
}
BENCHMARK(BM_SettingsGetter);

// What a getter would cost if it looked at the file (one stat) on every call.
void BM_SettingsGetterCheckingEveryCall(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    store.SetRecheckInterval(std::chrono::milliseconds(0));
    CAppSettings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.GetProcessType());
    }
}
BENCHMARK(BM_SettingsGetterCheckingEveryCall);

// The check at the start of each drop: one stat, and a reread when the file changed.
void BM_SettingsRevalidate(benchmark::State& state) {
    CScratchFolder folder;
    WriteTypicalFile(folder.Path("stowlist.INI"));
    CSettingsStore store(folder.Path("stowlist.INI"));
    for (auto _ : state) {
        store.Revalidate();
    }
}
BENCHMARK(BM_SettingsRevalidate);

// A string value: copied out of the cache on every call.
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
