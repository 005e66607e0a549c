// A report that goes bad: 300 KB of archive lines, then MEGABYTES of line
// feeds (500 unless given), then one more archive line. Prints how long the
// streaming reader takes to refuse it and the process's peak resident size.
// Usage: junk_report_run [MEGABYTES] [KEEP_AS_PATH]
#include "ReportReader.h"
#include "ReportStream.h"
#include "ScratchFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 500;
    CScratchFolder scratch;
    const std::string path = argc > 2 ? argv[2] : scratch.Path("big.txt");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            std::perror(path.c_str());
            return 3;
        }
        const std::string line = "holiday-photo.jpg\t1234567\t05.03.26\t14:07:09\tCD01-01\n";
        for (std::size_t written = 0; written < 300 * 1024; written += line.size()) {
            std::fwrite(line.data(), 1, line.size(), file);
        }
        const std::string feeds(std::size_t{1} << 20, '\n');
        for (std::size_t i = 0; i < megabytes; ++i) {
            std::fwrite(feeds.data(), 1, feeds.size(), file);
        }
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
    const auto start = std::chrono::steady_clock::now();
    CReportStream stream;
    CReportReader reader;
    int error = 0;
    std::size_t entries = 0;
    const bool opened = stream.Open(path, error);
    const bool read = opened && stream.Read(reader, [&](const CReportEntry&) { ++entries; });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file %llu bytes: %s after %zu entries (%s) in %.3f s, peak RSS %ld KiB\n",
                static_cast<unsigned long long>(stream.Size()), read ? "read" : "refused", entries,
                reader.Reason().c_str(), seconds, usage.ru_maxrss);
    return read ? 1 : 0;
}
