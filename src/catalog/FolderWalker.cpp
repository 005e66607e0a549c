#include "FolderWalker.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

} // namespace

CFolderWalker::CFolderWalker(CAppSettings& settings, IWalkSink& sink) : m_settings(settings), m_sink(sink) {}

void CFolderWalker::CloseLevel(Level& level) {
    if (level.fd >= 0) {
        close(level.fd);
        level.fd = -1;
        --m_nOpen;
    }
}

// Closes the shallowest open folders (but the current one's parent chain end)
// until the walk holds no more than its budget of descriptors.
void CFolderWalker::KeepWithinBudget() {
    for (std::size_t i = 0; m_nOpen > kMaxOpenFolders && i + 1 < m_levels.size(); ++i) {
        CloseLevel(m_levels[i]);
    }
}

bool CFolderWalker::OpenLevel(Level& level, int parentFd) {
    int fd = parentFd >= 0 ? openat(parentFd, level.component.c_str(), kFolderFlags | O_NOFOLLOW)
                           : open(level.component.c_str(), kFolderFlags);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE) && !m_levels.empty()) {
        const std::size_t saved = m_nOpen;
        for (std::size_t i = 0; i + 1 < m_levels.size() && m_nOpen + 8 > saved; ++i) {
            if (m_levels[i].fd != parentFd) {
                CloseLevel(m_levels[i]);
            }
        }
        fd = parentFd >= 0 ? openat(parentFd, level.component.c_str(), kFolderFlags | O_NOFOLLOW)
                           : open(level.component.c_str(), kFolderFlags);
    }
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || (level.inode != 0 && (info.st_ino != level.inode || info.st_dev != level.device))) {
        close(fd); // not the folder we listed before: it was replaced meanwhile
        return false;
    }
    level.fd = fd;
    level.device = info.st_dev;
    level.inode = info.st_ino;
    ++m_nOpen;
    return true;
}

int CFolderWalker::EnsureOpen(std::size_t index) {
    if (m_levels[index].fd >= 0) {
        return m_levels[index].fd;
    }
    std::size_t open = index;
    while (open > 0 && m_levels[open].fd < 0) {
        --open;
    }
    if (m_levels[open].fd < 0 && !OpenLevel(m_levels[open], -1)) {
        return -1;
    }
    for (std::size_t i = open + 1; i <= index; ++i) {
        if (!OpenLevel(m_levels[i], m_levels[i - 1].fd)) {
            return -1;
        }
    }
    KeepWithinBudget();
    return m_levels[index].fd;
}

bool CFolderWalker::ReadEntries(Level& level) {
    const int listFd = dup(level.fd);
    if (listFd < 0) {
        return false;
    }
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        close(listFd);
        return false;
    }
    std::vector<std::size_t> nameEnds;
    while (const dirent* found = readdir(dir)) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        level.names.append(name);
        nameEnds.push_back(level.names.size());
        level.names.push_back('\0'); // so each name can be handed to fstatat in place
    }
    closedir(dir);

    if (m_onFolderListed) {
        m_onFolderListed(level.path);
    }
    level.entries.reserve(nameEnds.size());
    std::size_t start = 0;
    for (const std::size_t end : nameEnds) {
        const std::string_view name(level.names.data() + start, end - start);
        Entry entry{start, end - start, false, 0, 0};
        start = end + 1;
        if (m_settings.GetExcludeHiddenSystemInfo() != 0 && IsHiddenName(name)) {
            continue;
        }
        struct stat info {};
        if (fstatat(level.fd, name.data(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == EACCES) {
                return false; // names without data: a folder we may list but not search
            }
            continue; // vanished since it was listed
        }
        entry.directory = S_ISDIR(info.st_mode);
        entry.size = entry.directory ? 0 : static_cast<std::uint64_t>(info.st_size);
        entry.lastWrite = info.st_mtim.tv_sec;
        level.entries.push_back(entry);
    }
    return true;
}

bool CFolderWalker::WalkFolder(const std::string& path) {
    m_levels.clear();
    m_nOpen = 0;

    Level first;
    first.path = path;
    first.component = path;
    if (!OpenLevel(first, -1)) {
        return false;
    }
    if (m_settings.GetProcessType() == kProcessListing) {
        first.record = m_sink.NewRecord(path);
    }
    if (!ReadEntries(first)) {
        CloseLevel(first);
        return false;
    }
    m_levels.push_back(std::move(first));

    while (!m_levels.empty()) {
        Level& top = m_levels.back();
        if (top.next == top.entries.size()) {
            CloseLevel(top);
            std::unique_ptr<CFolderRecord> record = std::move(top.record);
            m_levels.pop_back();
            if (record && m_settings.GetProcessType() == kProcessListing) {
                m_sink.AppendRecord(std::move(record));
            }
            continue;
        }
        const Entry entry = top.entries[top.next++];
        const std::string_view name(top.names.data() + entry.nameOffset, entry.nameLength);
        CFindData data;
        data.m_strName = name;
        data.m_bDirectory = entry.directory;
        data.m_nSize = entry.size;
        data.m_nLastWrite = entry.lastWrite;
        m_sink.AddEntry(data, top.record.get());
        if (!entry.directory || m_settings.GetExcludeSubFolders() != 0) {
            continue;
        }
        Level child;
        child.component.assign(name);
        child.path = top.path;
        if (child.path.empty() || child.path.back() != '/') {
            child.path.push_back('/');
        }
        child.path.append(name);
        const std::size_t parentIndex = m_levels.size() - 1;
        const int parentFd = EnsureOpen(parentIndex);
        if (parentFd < 0 || !OpenLevel(child, parentFd)) {
            continue;
        }
        if (m_settings.GetProcessType() == kProcessListing) {
            child.record = m_sink.NewRecord(child.path);
        }
        if (!ReadEntries(child)) {
            CloseLevel(child);
            continue;
        }
        m_levels.push_back(std::move(child));
        KeepWithinBudget();
    }
    return true;
}
