// The microbenchmarks run in the locale and time zone of the whole-process
// comparison (bench/compare): en_US.UTF-8 and US Eastern time with its
// summer time rule, whatever the environment says.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
