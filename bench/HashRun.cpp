// The hashing stage on its own, as bench/checksums times it against the
// usual tools: every regular file under the given folders (sorted by path,
// links not followed) is hashed and a manifest written.
//   hash_run [--hashers N] [--buffer BYTES] [--ahead N] [-o MANIFEST] FOLDER...
// Prints "files bytes seconds GB/s cpu-seconds" on standard output (the
// processor time of the whole process, user and system).
#include "ChecksumStage.h"
#include "ManifestPath.h"
#include "ManifestWriter.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ftw.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

std::vector<CChecksumFile>* g_files = nullptr; // nftw takes no context
std::string g_base;

int Collect(const char* path, const struct stat* info, int type, struct FTW*) {
    if (type == FTW_F && S_ISREG(info->st_mode)) {
        g_files->push_back({path, ManifestRelativePath(g_base, path), info->st_dev,
                            static_cast<std::uint64_t>(info->st_size)});
    }
    return 0;
}

bool ParseCount(const char* text, std::size_t& value) {
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end;
}

} // namespace

int main(int argc, char** argv) {
    CChecksumLimits limits;
    std::string manifest;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::size_t value = 0;
        if ((arg == "--hashers" || arg == "--buffer" || arg == "--ahead") && i + 1 < argc &&
            ParseCount(argv[i + 1], value)) {
            ++i;
            if (arg == "--hashers") {
                limits.m_nHashers = static_cast<unsigned>(value);
            } else if (arg == "--buffer") {
                limits.m_nBufferBytes = std::max<std::size_t>(1, value);
            } else {
                limits.m_nBuffersPerFile = value;
            }
        } else if (arg == "-o" && i + 1 < argc) {
            manifest = argv[++i];
        } else if (!arg.empty() && arg[0] != '-') {
            folders.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: hash_run [--hashers N] [--buffer BYTES] [--ahead N] [-o MANIFEST] FOLDER...\n");
            return 2;
        }
    }
    if (folders.empty()) {
        std::fprintf(stderr, "hash_run: no folder given\n");
        return 2;
    }
    std::vector<CChecksumFile> files;
    g_files = &files;
    g_base = folders.front();
    for (const std::string& folder : folders) {
        nftw(folder.c_str(), Collect, 64, FTW_PHYS);
    }
    std::sort(files.begin(), files.end(),
              [](const CChecksumFile& a, const CChecksumFile& b) { return a.m_strOpenPath < b.m_strOpenPath; });
    std::uint64_t bytes = 0;
    for (const CChecksumFile& file : files) {
        bytes += file.m_nSize;
    }

    const auto start = std::chrono::steady_clock::now();
    CChecksumStage stage(files, limits);
    stage.Run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    int status = 0;
    if (!manifest.empty()) {
        CManifestWriter writer;
        bool written = writer.Open(manifest);
        for (std::size_t i = 0; written && i < files.size(); ++i) {
            if (stage.Results()[i].m_nError == 0) {
                written = writer.Add(stage.Results()[i].m_digest, stage.Files()[i].m_strManifestPath);
            } else {
                std::fprintf(stderr, "hash_run: %s: %s\n", files[i].m_strOpenPath.c_str(),
                             std::strerror(stage.Results()[i].m_nError));
                status = 4;
            }
        }
        if (!written || !writer.Commit()) {
            std::fprintf(stderr, "hash_run: %s: %s\n", manifest.c_str(), std::strerror(writer.LastError()));
            return 3;
        }
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%zu %llu %.3f %.3f %.3f\n", files.size(), static_cast<unsigned long long>(bytes), seconds,
                static_cast<double>(bytes) / seconds / 1e9, cpu);
    return status;
}
