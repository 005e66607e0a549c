#include "HostileTree.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error(what + ": " + std::strerror(errno));
    }
}

class CFolderFd {
public:
    explicit CFolderFd(int fd) : m_fd(fd) { Check(fd >= 0, "open folder"); }
    ~CFolderFd() { close(m_fd); }
    CFolderFd(const CFolderFd&) = delete;
    CFolderFd& operator=(const CFolderFd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

void MakeFile(int folder, const std::string& name, std::uint64_t size, HostileTreeTotals& totals) {
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "create file");
    Check(ftruncate(fd, static_cast<off_t>(size)) == 0, "ftruncate");
    close(fd);
    ++totals.files;
    totals.bytes += size;
}

int MakeFolder(int parent, const std::string& name, HostileTreeTotals& totals) {
    Check(mkdirat(parent, name.c_str(), 0755) == 0, "mkdir");
    ++totals.folders;
    return openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

HostileTreeTotals BuildHostileTree(const std::string& root, const HostileTreeOptions& options) {
    HostileTreeTotals totals;
    totals.folders = 1; // the root's own record
    CFolderFd top(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));

    {
        CFolderFd names(MakeFolder(top.Get(), "names", totals));
        for (int byte = 1; byte < 0x20; ++byte) {
            MakeFile(names.Get(), "ctl-" + std::string(1, static_cast<char>(byte)) + "-end", 1, totals);
        }
        MakeFile(names.Get(), "del-\x7f-end", 1, totals);
        for (const char* invalid : {"\xff\xfe", "half-\xc3", "cut-\xe2\x82", "overlong-\xc0\xaf", "surrogate-\xed\xa0\x80"}) {
            MakeFile(names.Get(), invalid, 2, totals);
        }
        MakeFile(names.Get(), std::string(255, 'L'), 3, totals);
        std::string euros;
        for (int i = 0; i < 85; ++i) {
            euros += "\xe2\x82\xac";
        }
        MakeFile(names.Get(), euros, 4, totals);
        for (const char* tricky : {"-rf", "--help", "--output=stolen", "%s%n%d%x%%", "%n%n%n%n", "name with spaces ",
                                   " leading space", "back\\slash", "quote\"and'apostrophe"}) {
            MakeFile(names.Get(), tricky, 5, totals);
        }
        MakeFile(names.Get(), ".hidden-file", 100, totals);
        --totals.files, totals.bytes -= 100; // hidden: not listed by default
    }

    {
        CFolderFd specials(MakeFolder(top.Get(), "specials", totals));
        Check(mkfifoat(specials.Get(), "fifo", 0644) == 0, "mkfifo");
        ++totals.files;
        Check(symlinkat(".", specials.Get(), "loop-self") == 0, "symlink");
        Check(symlinkat("ping", specials.Get(), "pong") == 0, "symlink");
        Check(symlinkat("pong", specials.Get(), "ping") == 0, "symlink");
        Check(symlinkat("nowhere/at/all", specials.Get(), "dangling") == 0, "symlink");
        Check(symlinkat("..", specials.Get(), "up") == 0, "symlink");
        for (const char* link : {"loop-self", "pong", "ping", "dangling", "up"}) {
            struct stat info {};
            Check(fstatat(specials.Get(), link, &info, AT_SYMLINK_NOFOLLOW) == 0, "lstat link");
            ++totals.files;
            totals.bytes += static_cast<std::uint64_t>(info.st_size);
        }
        const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
        Check(sock >= 0, "socket");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = root + "/specials/socket";
        if (socketPath.size() < sizeof address.sun_path) {
            std::strcpy(address.sun_path, socketPath.c_str());
            Check(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
            ++totals.files;
        }
        close(sock);
    }

    {
        CFolderFd sparse(MakeFolder(top.Get(), "sparse", totals));
        const std::uint64_t gib = 1ULL << 30;
        for (int i = 0; i < 5; ++i) {
            MakeFile(sparse.Get(), "big" + std::to_string(i) + ".img", 5 * gib + static_cast<std::uint64_t>(i), totals);
        }
        MakeFile(sparse.Get(), "exactly-4GiB", 4 * gib, totals);
        MakeFile(sparse.Get(), "exactly-2GiB", 2 * gib, totals);
    }

    {
        CFolderFd locked(MakeFolder(top.Get(), "locked", totals));
        CFolderFd noRead(MakeFolder(locked.Get(), "no-read", totals));
        MakeFile(noRead.Get(), "unseen", 1, totals);
        CFolderFd noSearch(MakeFolder(locked.Get(), "no-search", totals));
        MakeFile(noSearch.Get(), "unseen", 1, totals);
        Check(fchmod(noRead.Get(), 0311) == 0 && fchmod(noSearch.Get(), 0644) == 0, "chmod");
        // Unprivileged, neither folder yields a record or its file.
        totals.folders -= 2;
        totals.files -= 2;
        totals.bytes -= 2;
    }

    if (options.crowdedEntries > 0) {
        CFolderFd crowded(MakeFolder(top.Get(), "crowded", totals));
        for (int i = 0; i < options.crowdedEntries; ++i) {
            MakeFile(crowded.Get(), "entry-" + std::to_string(i), static_cast<std::uint64_t>(i % 7), totals);
        }
    }

    if (options.deepLevels > 0) {
        int current = MakeFolder(top.Get(), "deep", totals);
        for (int level = 0; level < options.deepLevels; ++level) {
            const int next = MakeFolder(current, "level", totals);
            close(current);
            current = next;
        }
        MakeFile(current, "bottom.txt", 42, totals);
        close(current);
    }
    return totals;
}

namespace {

// Removes the files of a folder and returns the name of one sub-folder left
// in it (opened up for removal), or "" when none is left.
std::string ClearFiles(int folder) {
    const int listFd = dup(folder);
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        close(listFd);
        return {};
    }
    std::string subFolder;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        struct stat info {};
        if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
            fchmodat(folder, entry->d_name, 0700, 0);
            subFolder = entry->d_name;
        } else {
            unlinkat(folder, entry->d_name, 0);
        }
    }
    closedir(dir);
    return subFolder;
}

} // namespace

void RemoveDeepTree(const std::string& root) {
    // Iterative and holding one descriptor at a time, however deep the tree.
    int current = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> names;
    for (long steps = 0; current >= 0; ++steps) {
        if (steps > 50'000'000) { // something refuses to go: leave it rather than spin
            close(current);
            break;
        }
        const std::string sub = ClearFiles(current);
        if (!sub.empty()) {
            const int child = openat(current, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                close(current);
                current = child;
                names.push_back(sub);
                continue;
            }
            unlinkat(current, sub.c_str(), AT_REMOVEDIR);
            continue;
        }
        if (names.empty()) {
            close(current);
            break;
        }
        const int parent = openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(current);
        if (parent < 0) {
            break;
        }
        unlinkat(parent, names.back().c_str(), AT_REMOVEDIR);
        names.pop_back();
        current = parent;
    }
    rmdir(root.c_str());
}
