// walk_floor: the least a complete listing must do, as the yardstick of
// bench/compare. A bare depth-first walk: one readdir and one fstatat per
// entry, folders opened relative to their parent, links not followed;
// nothing formatted, sorted or written except two numbers at the end.
//
//   walk_floor DIR
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Totals {
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
};

// Takes ownership of fd.
void Walk(int fd, Totals& totals) {
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        struct stat info {};
        if (fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        ++totals.entries;
        if (S_ISDIR(info.st_mode)) {
            const int child = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                Walk(child, totals);
            }
        } else {
            totals.bytes += static_cast<std::uint64_t>(info.st_size);
        }
    }
    closedir(dir);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: walk_floor DIR\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    Totals totals;
    Walk(fd, totals);
    std::printf("%llu entries, %llu bytes\n", static_cast<unsigned long long>(totals.entries),
                static_cast<unsigned long long>(totals.bytes));
    return 0;
}
