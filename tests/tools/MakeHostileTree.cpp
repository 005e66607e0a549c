// Builds the hostile tree in a new folder, for trying the programs by hand
// and for benchmarks:  make-hostile-tree ROOT [DEEP_LEVELS [CROWDED_ENTRIES]]
#include "HostileTree.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sys/stat.h>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s ROOT [DEEP_LEVELS [CROWDED_ENTRIES]]\n", argv[0]);
        return 2;
    }
    HostileTreeOptions options;
    if (argc > 2) {
        options.deepLevels = std::atoi(argv[2]);
    }
    if (argc > 3) {
        options.crowdedEntries = std::atoi(argv[3]);
    }
    if (mkdir(argv[1], 0755) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    try {
        const HostileTreeTotals totals = BuildHostileTree(argv[1], options);
        std::printf("folders %lld files %lld bytes %llu\n", static_cast<long long>(totals.folders),
                    static_cast<long long>(totals.files), static_cast<unsigned long long>(totals.bytes));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
