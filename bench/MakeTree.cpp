// make_tree: builds the same synthetic folder tree for the same arguments,
// for whole-process timing.
//
//   make_tree [--seed S] N DIR
//
// N entries below DIR (which must not exist yet): about a tenth folders,
// nested up to 8 deep, the rest files spread over them. Names vary in length
// and hold spaces and non-ASCII letters (Latin, Greek, Cyrillic); file sizes
// run up to 4 MiB but are sparse, so the tree costs inodes, not disk space;
// modification times spread over 26 years. The generator has its own random
// numbers (SplitMix64), so the tree does not depend on the library version.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxDepth = 8;
constexpr std::int64_t kFirstTime = 946684800; // 2000-01-01 UTC
constexpr std::int64_t kLastTime = 1767225599; // 2025-12-31 UTC

class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, bound).
    std::uint64_t Below(std::uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) { return low + Below(high - low + 1); }

private:
    std::uint64_t m_state;
};

constexpr std::string_view kWords[] = {
    "report",   "Backup",    "photo",     "IMG",      "invoice",  "draft",     "Übersicht", "año",
    "naïve",    "Ærøskøbing", "Škoda",    "Jürgen",   "Ñandú",    "crème brûlée", "Straße", "Øresund",
    "εικόνα",   "Москва",    "данные",    "Ελλάδα",   "mix",      "tape",      "DAT",       "v2",
    "final",    "old",       "Q3",        "notes",    "Kunde",    "projekt",   "été",       "Zürich",
    "a",        "b",         "x",         "readme",   "build",    "cache",     "music",     "scan",
};
constexpr std::string_view kSeparators[] = {" ", " ", "_", "-", " - ", "."};
constexpr std::string_view kExtensions[] = {".txt", ".jpg", ".pdf", ".tar.gz", ".mp3", ".docx", ".c", "", ".iso"};

std::string MakeName(CRandom& random, std::uint64_t serial, bool folder) {
    std::string name;
    const auto words = random.Between(1, 6);
    for (std::uint64_t i = 0; i < words; ++i) {
        if (i > 0) {
            name += kSeparators[random.Below(std::size(kSeparators))];
        }
        name += kWords[random.Below(std::size(kWords))];
    }
    // The serial keeps names unique within their folder.
    name += ' ';
    name += std::to_string(serial);
    if (!folder) {
        name += kExtensions[random.Below(std::size(kExtensions))];
    }
    return name;
}

// Mostly small files, some medium, a few of several megabytes.
std::uint64_t MakeSize(CRandom& random) {
    const auto bucket = random.Below(100);
    if (bucket < 30) {
        return random.Below(1024);
    }
    if (bucket < 70) {
        return random.Between(1024, 64 * 1024);
    }
    if (bucket < 95) {
        return random.Between(64 * 1024, 1024 * 1024);
    }
    return random.Between(1024 * 1024, 4 * 1024 * 1024);
}

std::int64_t MakeTime(CRandom& random) {
    return kFirstTime + static_cast<std::int64_t>(random.Below(static_cast<std::uint64_t>(kLastTime - kFirstTime)));
}

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    std::fprintf(stderr, "make_tree: %s %s: %s\n", what.c_str(), path.c_str(), std::strerror(errno));
    std::exit(1);
}

void SetTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail("cannot set the time of", path);
    }
}

struct Folder {
    std::string path;
    int depth;
    std::uint64_t children = 0; // serial for the next name inside
    std::int64_t mtime;
};

} // namespace

int main(int argc, char** argv) {
    std::uint64_t seed = 20240607;
    int arg = 1;
    if (arg + 1 < argc && std::strcmp(argv[arg], "--seed") == 0) {
        seed = std::strtoull(argv[arg + 1], nullptr, 10);
        arg += 2;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: make_tree [--seed S] N DIR\n");
        return 2;
    }
    const std::uint64_t total = std::strtoull(argv[arg], nullptr, 10);
    const std::string root = argv[arg + 1];
    if (mkdir(root.c_str(), 0755) != 0) {
        Fail("cannot create", root);
    }

    CRandom random(seed);
    const std::uint64_t folderCount = total / 10;
    std::vector<Folder> folders;
    folders.reserve(folderCount + 1);
    folders.push_back({root, 0, 0, 0});
    // Folders that may still get sub-folders; a parent always exists before its children.
    std::vector<std::size_t> growing = {0};
    for (std::uint64_t i = 0; i < folderCount; ++i) {
        const std::size_t parent = growing[random.Below(growing.size())];
        Folder folder;
        folder.path = folders[parent].path + '/' + MakeName(random, folders[parent].children++, true);
        folder.depth = folders[parent].depth + 1;
        folder.mtime = MakeTime(random);
        if (mkdir(folder.path.c_str(), 0755) != 0) {
            Fail("cannot create", folder.path);
        }
        if (folder.depth < kMaxDepth) {
            growing.push_back(folders.size());
        }
        folders.push_back(std::move(folder));
    }
    for (std::uint64_t i = folderCount; i < total; ++i) {
        Folder& parent = folders[random.Below(folders.size())];
        const std::string path = parent.path + '/' + MakeName(random, parent.children++, false);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            Fail("cannot create", path);
        }
        const std::int64_t mtime = MakeTime(random);
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        if (ftruncate(fd, static_cast<off_t>(MakeSize(random))) != 0 || futimens(fd, times) != 0) {
            Fail("cannot size", path);
        }
        close(fd);
    }
    // Last, so that creating the contents does not move them.
    for (std::size_t i = 1; i < folders.size(); ++i) {
        SetTime(folders[i].path, folders[i].mtime);
    }
    std::printf("%llu entries (%llu folders) in %s\n", static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(folderCount), root.c_str());
    return 0;
}
