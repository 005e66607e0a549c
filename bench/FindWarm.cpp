// Find in a warm process, as the window runs it: the catalogue opened once,
// then random queries of 3 to 8 characters taken from the names (and of 1
// and 2 characters), each asking for the first 1,000 hits in order and the
// exact number of hits. Prints the median, 90th and 99th percentiles.
//   find_warm CATALOGUE [QUERIES] [SEED]
// With a file of queries (one a line), times those instead, after one untimed
// search, and prints "query<TAB>TEXT<TAB>MILLISECONDS<TAB>HITS" for each:
//   find_warm CATALOGUE --queries FILE
// --copies (anywhere after CATALOGUE) asks each search for the hits' copy
// counts too, as the Find window does for its Copies column; the first
// search then also groups the catalogue, and says how long that took.
#include "Catalogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

bool g_bCopies = false;

struct Timing {
    double milliseconds;
    double processorMilliseconds; // of every thread together
    std::uint64_t hits;
};

double ProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void Report(const char* what, const std::vector<Timing>& timings) {
    std::vector<double> ms, cpu;
    std::uint64_t most = 0;
    for (const Timing& t : timings) {
        ms.push_back(t.milliseconds);
        cpu.push_back(t.processorMilliseconds);
        most = std::max(most, t.hits);
    }
    std::printf("%s: %zu queries, median %.1f ms, p90 %.1f ms, p99 %.1f ms, max %.1f ms (most hits %llu); "
                "processor time median %.1f ms, p99 %.1f ms\n",
                what, ms.size(), Percentile(ms, 0.5), Percentile(ms, 0.9), Percentile(ms, 0.99), Percentile(ms, 1.0),
                static_cast<unsigned long long>(most), Percentile(cpu, 0.5), Percentile(cpu, 0.99));
}

Timing Time(CCatalogue& catalogue, const std::string& text) {
    CFindQuery query;
    query.m_arrTexts = {text};
    query.m_bCopies = g_bCopies;
    const double processorStart = ProcessorMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    const CFindResult result = catalogue.Find(query, 1000);
    const auto end = std::chrono::steady_clock::now();
    const double processor = ProcessorMilliseconds() - processorStart;
    if (result.m_bFailed) {
        std::fprintf(stderr, "find_warm: %s\n", catalogue.LastError().c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), processor, result.m_nTotal};
}

int TimeListed(CCatalogue& catalogue, const char* listPath) {
    std::ifstream list(listPath);
    std::vector<std::string> texts;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) {
            texts.push_back(line);
        }
    }
    if (texts.empty()) {
        std::fprintf(stderr, "find_warm: no queries in %s\n", listPath);
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    Time(catalogue, texts.front());
    std::printf("warm-up (open, first search): %.0f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    std::vector<Timing> timings;
    for (const std::string& text : texts) {
        timings.push_back(Time(catalogue, text));
        std::printf("query\t%s\t%.3f\t%llu\n", text.c_str(), timings.back().milliseconds,
                    static_cast<unsigned long long>(timings.back().hits));
    }
    Report("listed queries", timings);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const auto copies = std::find(argv + std::min(argc, 2), argv + argc, std::string("--copies"));
    if (copies != argv + argc) {
        g_bCopies = true;
        std::rotate(copies, copies + 1, argv + argc);
        --argc;
    }
    if (argc < 2 || (argc > 2 && std::string(argv[2]) == "--queries" && argc != 4)) {
        std::fprintf(stderr, "usage: find_warm CATALOGUE [QUERIES] [SEED] [--copies]\n"
                             "       find_warm CATALOGUE --queries FILE\n");
        return 2;
    }
    const bool listed = argc == 4 && std::string(argv[2]) == "--queries";
    CCatalogue catalogue(argv[1]);
    if (!catalogue.Open(false)) {
        std::fprintf(stderr, "find_warm: %s\n", catalogue.LastError().c_str());
        return 1;
    }
    if (listed) {
        return TimeListed(catalogue, argv[3]);
    }
    const int queries = argc > 2 ? std::atoi(argv[2]) : 100;
    std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 12345u);
    // Warm-up: reads changed reports and builds or maps the name image.
    const auto start = std::chrono::steady_clock::now();
    CFindQuery every;
    every.m_strGlob = "*";
    const CFindResult sample = catalogue.Find(every, 50000);
    std::printf("warm-up (open, image, %llu entries): %.0f ms\n", static_cast<unsigned long long>(sample.m_nTotal),
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (g_bCopies) {
        const auto grouping = std::chrono::steady_clock::now();
        Time(catalogue, "zz-first-copies");
        std::printf("first search with copy counts (the catalogue grouped): %.0f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - grouping).count());
    }
    std::vector<std::string> names;
    for (const CFindHit& hit : sample.m_arrHits) {
        if (hit.m_strName.size() >= 8 &&
            std::all_of(hit.m_strName.begin(), hit.m_strName.end(), [](char c) { return c > ' ' && c < 0x7f; })) {
            names.push_back(hit.m_strName);
        }
    }
    if (names.empty()) {
        std::fprintf(stderr, "find_warm: no names to take queries from\n");
        return 1;
    }
    std::vector<Timing> middle, shortOnes;
    for (int i = 0; i < queries; ++i) {
        const std::string& name = names[random() % names.size()];
        const std::size_t length = 3 + random() % 6;
        const std::size_t at = random() % (name.size() - std::min(length, name.size()) + 1);
        middle.push_back(Time(catalogue, name.substr(at, length)));
    }
    for (int i = 0; i < 20; ++i) {
        const std::string& name = names[random() % names.size()];
        shortOnes.push_back(Time(catalogue, name.substr(random() % name.size(), 1 + i % 2)));
    }
    Report("3 to 8 characters", middle);
    Report("1 or 2 characters", shortOnes);
    return 0;
}
