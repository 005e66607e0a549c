// drop_run: one drop through the engine and its report written to a file,
// with nothing else around it; for profiling the engine alone.
//
//   drop_run [--archive] [--padded] [--phases] [--alone] -o FILE PATH...
//
// --alone walks without the helper thread that reads folders ahead.
// --phases prints the processor time (all threads) of the walk, the sort and
// the writing to stderr.
#include "CatalogEngine.h"
#include "NullHost.h"
#include "ScratchFolder.h"

#include <cstdio>
#include <cstring>
#include <ctime>

int main(int argc, char** argv) {
    bool archive = false;
    bool padded = false;
    bool phases = false;
    bool alone = false;
    const char* output = nullptr;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--archive") == 0) {
            archive = true;
        } else if (std::strcmp(argv[i], "--padded") == 0) {
            padded = true;
        } else if (std::strcmp(argv[i], "--alone") == 0) {
            alone = true;
        } else if (std::strcmp(argv[i], "--phases") == 0) {
            phases = true;
        } else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (output == nullptr || paths.empty()) {
        std::fprintf(stderr, "usage: drop_run [--archive] [--padded] [--phases] [--alone] -o FILE PATH...\n");
        return 2;
    }
    tzset();
    CScratchFolder folder;
    CSettingsStore store(folder.Path("stowlist.INI"));
    CAppSettings settings(store);
    settings.Override(Option::ProcessType, archive ? kProcessArchive : kProcessListing);
    settings.Override(Option::OutputFormat, padded ? 1 : 0);
    settings.Override(Option::ExportData, 0);
    CNullHost host;
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(0);
    CCatalogEngine engine(host, settings, CLocaleFormat::FromEnvironment(), timing);
    engine.ResetSession();
    engine.Walker().m_bReadAhead = !alone;
    const auto cpuMs = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    };
    const double start = cpuMs();
    const DropOutcome outcome = engine.ProcessDrop(paths);
    const double walked = cpuMs();
    if (outcome == DropOutcome::Sorting) {
        engine.OnSortDone();
    } else if (outcome != DropOutcome::Ready) {
        std::fprintf(stderr, "drop_run: nothing catalogued\n");
        return 1;
    }
    const double sorted = cpuMs();
    CAtomicFile file;
    if (!file.Open(output) || engine.WriteReport(file) != 0 || !file.Commit()) {
        std::fprintf(stderr, "drop_run: cannot write %s\n", output);
        return 3;
    }
    if (phases) {
        const double written = cpuMs();
        std::fprintf(stderr, "processor time: walk %.0f ms, sort %.0f ms, write %.0f ms; folders read ahead: %zu\n",
                     walked - start, sorted - walked, written - sorted, engine.Walker().FoldersReadAhead());
    }
    return 0;
}
