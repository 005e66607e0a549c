// The catalogue's index on its own, on a folder of reports:
//   segment_run build REPORTS OUT    writes segments of the reports (each
//                                    with its archive log beside it, NAME.log),
//                                    flushing at a bound as the catalogue does
//   segment_run compact OUT          merges them as `catalogue compact` would
//   segment_run find OUT [--limit N] TEXT...
//                                    one search per TEXT: the first in a cold
//                                    process, then warm; times in ms, counts
// Prints entries/s, bytes against the reports' bytes, and peak RSS.
#include "MergePolicy.h"
#include "ReportFile.h"
#include "ReportReader.h"
#include "SegmentBuilder.h"
#include "SegmentMerge.h"
#include "SegmentReader.h"
#include "SegmentSearch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::vector<std::string> Segments(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.path().filename().string().rfind("seg", 0) == 0) {
            paths.push_back(item.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::uint64_t Bytes(const std::vector<std::string>& paths) {
    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        total += fs::file_size(path);
    }
    return total;
}

int Build(const std::string& reports, const std::string& out) {
    constexpr std::size_t kBound = 96u << 20;
    std::vector<std::string> paths;
    for (const auto& item : fs::recursive_directory_iterator(reports)) {
        if (item.path().extension() == ".txt") {
            paths.push_back(item.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    fs::create_directories(out);
    const auto start = std::chrono::steady_clock::now();
    CSegmentBuilder builder;
    std::uint64_t entries = 0, reportBytes = 0;
    int segment = 0;
    std::string error;
    const auto flush = [&] {
        char name[32];
        std::snprintf(name, sizeof name, "/seg%06d", segment++);
        if (!builder.Write(out + name, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
    };
    std::int64_t source = 0;
    for (const std::string& path : paths) {
        CReportFile file, log;
        int failure = 0;
        if (!file.Load(path, 1ull << 32, failure)) {
            continue;
        }
        reportBytes += file.m_nSize;
        CReportReader reader;
        const std::string logPath = path.substr(0, path.size() - 4) + ".log";
        if (log.Load(logPath, 1ull << 30, failure)) {
            CReportReader logReader;
            if (logReader.Read(log.m_strBytes, [](const CReportEntry&) {})) {
                std::string text;
                for (const auto& [tag, folder] : logReader.LogLines()) {
                    text += tag + "\t" + folder + "\n";
                }
                reader.SetLog(text);
            }
        }
        builder.AddReport(++source, path);
        reader.Read(file.m_strBytes, [&](const CReportEntry& entry) {
            builder.Add(entry);
            ++entries;
        });
        if (builder.BufferedBytes() >= kBound) {
            flush();
        }
    }
    if (!builder.Empty()) {
        flush();
    }
    const double seconds = Seconds(start);
    const std::uint64_t bytes = Bytes(Segments(out));
    std::printf("build: %zu reports, %llu entries in %.2f s: %.0f entries/s; segments %d, %llu bytes = %.3f x the "
                "reports' %llu; peak RSS %ld MB\n",
                paths.size(), static_cast<unsigned long long>(entries), seconds, entries / seconds, segment,
                static_cast<unsigned long long>(bytes), static_cast<double>(bytes) / reportBytes,
                static_cast<unsigned long long>(reportBytes), PeakRssMb());
    return 0;
}

int Compact(const std::string& out) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> paths = Segments(out);
    std::vector<CMergePolicy::Segment> sizes;
    for (const std::string& path : paths) {
        const auto reader = CSegmentReader::Open(path);
        sizes.push_back({reader->Entries(), reader->Entries()});
    }
    int made = 0;
    for (const auto& group : CMergePolicy::Choose(sizes, CMergePolicy::Occasion::Compact)) {
        std::vector<CLiveSegment> inputs;
        for (const std::size_t i : group) {
            inputs.push_back({CSegmentReader::Open(paths[i]), {}});
        }
        std::string error;
        const std::string merged = out + "/segm" + std::to_string(made++);
        if (!SegmentMerge::Merge(inputs, merged, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        inputs.clear();
        for (const std::size_t i : group) {
            fs::remove(paths[i]);
        }
    }
    std::printf("compact: %zu segments into %zu in %.2f s, %llu bytes; peak RSS %ld MB\n", paths.size(),
                Segments(out).size(), Seconds(start), static_cast<unsigned long long>(Bytes(Segments(out))),
                PeakRssMb());
    return 0;
}

int Find(const std::string& out, std::size_t limit, const std::vector<std::string>& texts) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<CLiveSegment> live;
    for (const std::string& path : Segments(out)) {
        live.push_back({CSegmentReader::Open(path), {}});
    }
    const CSegmentSearch search(std::move(live));
    const double open = Seconds(start);
    const std::atomic<bool> cancel{false};
    for (const std::string& text : texts) {
        CFindQuery query;
        query.m_arrTexts = {text};
        auto at = std::chrono::steady_clock::now();
        const CFindResult first = search.Search(query, limit, cancel);
        const double cold = Seconds(at);
        std::vector<double> warm;
        for (int i = 0; i < 5; ++i) {
            at = std::chrono::steady_clock::now();
            search.Search(query, limit, cancel);
            warm.push_back(Seconds(at));
        }
        std::sort(warm.begin(), warm.end());
        std::printf("%-12s %9llu hits  first %8.2f ms  warm median %8.2f ms\n", text.c_str(),
                    static_cast<unsigned long long>(first.m_nTotal), cold * 1000, warm[2] * 1000);
    }
    std::printf("open %.2f ms; peak RSS %ld MB\n", open * 1000, PeakRssMb());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "build") {
        return Build(args[1], args[2]);
    }
    if (args.size() == 2 && args[0] == "compact") {
        return Compact(args[1]);
    }
    if (args.size() >= 2 && args[0] == "find") {
        std::size_t limit = SIZE_MAX;
        std::vector<std::string> texts(args.begin() + 2, args.end());
        if (texts.size() >= 2 && texts[0] == "--limit") {
            limit = std::stoul(texts[1]);
            texts.erase(texts.begin(), texts.begin() + 2);
        }
        return Find(args[1], limit, texts);
    }
    std::fprintf(stderr, "usage: segment_run build REPORTS OUT | compact OUT | find OUT [--limit N] TEXT...\n");
    return 2;
}
