#include "FolderWalker.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
// Enough for a few hundred names per system call.
constexpr std::size_t kDirBufferSize = 64 * 1024;

} // namespace

CFolderWalker::CFolderWalker(CAppSettings& settings, IWalkSink& sink) : m_settings(settings), m_sink(sink) {}

void CFolderWalker::CloseLevel(Level& level) {
    if (level.fd >= 0) {
        close(level.fd);
        level.fd = -1;
        --m_nOpen;
    }
}

CFolderWalker::Level& CFolderWalker::PushLevel() {
    if (m_nDepth == m_levels.size()) {
        m_levels.emplace_back();
    }
    Level& level = m_levels[m_nDepth++];
    level.fd = -1;
    level.device = 0;
    level.inode = 0;
    level.record.reset();
    level.names.clear();
    level.entries.clear();
    level.next = 0;
    return level;
}

void CFolderWalker::PopLevel() {
    Level& level = m_levels[--m_nDepth];
    CloseLevel(level);
    level.record.reset();
}

// Closes the shallowest open folders (but the current one's parent chain end)
// until the walk holds no more than its budget of descriptors.
void CFolderWalker::KeepWithinBudget() {
    for (std::size_t i = 0; m_nOpen > kMaxOpenFolders && i + 1 < m_nDepth; ++i) {
        CloseLevel(m_levels[i]);
    }
}

bool CFolderWalker::OpenLevel(Level& level, int parentFd, bool reopen) {
    int fd = parentFd >= 0 ? openat(parentFd, level.component.c_str(), kFolderFlags | O_NOFOLLOW)
                           : open(level.component.c_str(), kFolderFlags);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE) && m_nDepth > 0) {
        const std::size_t saved = m_nOpen;
        for (std::size_t i = 0; i + 1 < m_nDepth && m_nOpen + 8 > saved; ++i) {
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
    // A sub-folder's identity is known from its parent's listing; the first
    // folder's is learnt here, and a folder opened again must still have it.
    if (level.inode == 0 || reopen) {
        struct stat info {};
        if (fstat(fd, &info) != 0 || (reopen && (info.st_ino != level.inode || info.st_dev != level.device))) {
            close(fd); // not the folder we listed before: it was replaced meanwhile
            return false;
        }
        level.device = info.st_dev;
        level.inode = info.st_ino;
    }
    level.fd = fd;
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
    if (m_levels[open].fd < 0 && !OpenLevel(m_levels[open], -1, true)) {
        return -1;
    }
    for (std::size_t i = open + 1; i <= index; ++i) {
        if (!OpenLevel(m_levels[i], m_levels[i - 1].fd, true)) {
            return -1;
        }
    }
    KeepWithinBudget();
    return m_levels[index].fd;
}

void CFolderWalker::ReadNames(Level& level) {
    if (m_dirBuffer.empty()) {
        m_dirBuffer.resize(kDirBufferSize);
    }
    m_nameEnds.clear();
    for (;;) {
        const ssize_t length = getdents64(level.fd, m_dirBuffer.data(), m_dirBuffer.size());
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            return; // the end, or a failure: what was read so far stands
        }
        for (ssize_t offset = 0; offset < length;) {
            const char* record = m_dirBuffer.data() + offset;
            unsigned short recordLength;
            std::memcpy(&recordLength, record + offsetof(dirent64, d_reclen), sizeof recordLength);
            const char* name = record + offsetof(dirent64, d_name);
            offset += recordLength;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            level.names.append(name);
            m_nameEnds.push_back(level.names.size());
            level.names.push_back('\0'); // so each name can be handed to fstatat in place
        }
    }
}

bool CFolderWalker::ReadEntries(Level& level) {
    ReadNames(level);
    if (m_onFolderListed) {
        m_onFolderListed(level.path);
    }
    level.entries.reserve(m_nameEnds.size());
    std::size_t start = 0;
    for (const std::size_t end : m_nameEnds) {
        const std::string_view name(level.names.data() + start, end - start);
        Entry entry{start, end - start, false, 0, 0, 0, 0};
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
        entry.device = info.st_dev;
        entry.inode = info.st_ino;
        level.entries.push_back(entry);
    }
    if (level.record) {
        // Room for exactly the lines about to come, instead of growing by doubling.
        std::size_t folders = 0;
        for (const Entry& entry : level.entries) {
            folders += entry.directory ? 1 : 0;
        }
        level.record->m_arrSubFolders.reserve(folders);
        level.record->m_arrFiles.reserve(level.entries.size() - folders);
    }
    return true;
}

bool CFolderWalker::WalkFolder(const std::string& path) {
    while (m_nDepth > 0) {
        PopLevel();
    }
    m_nOpen = 0;

    Level& first = PushLevel();
    first.path = path;
    first.component = path;
    if (!OpenLevel(first, -1, false)) {
        PopLevel();
        return false;
    }
    if (m_settings.GetProcessType() == kProcessListing) {
        first.record = m_sink.NewRecord(path);
    }
    if (!ReadEntries(first)) {
        PopLevel();
        return false;
    }

    while (m_nDepth > 0) {
        Level& top = m_levels[m_nDepth - 1];
        if (top.next == top.entries.size()) {
            std::unique_ptr<CFolderRecord> record = std::move(top.record);
            PopLevel();
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
        const std::size_t parentIndex = m_nDepth - 1;
        const int parentFd = EnsureOpen(parentIndex);
        if (parentFd < 0) {
            continue;
        }
        Level& child = PushLevel(); // may move the levels: no references from before
        const Level& parent = m_levels[parentIndex];
        const std::string_view childName(parent.names.data() + entry.nameOffset, entry.nameLength);
        child.component.assign(childName);
        child.path = parent.path;
        if (child.path.empty() || child.path.back() != '/') {
            child.path.push_back('/');
        }
        child.path.append(childName);
        child.device = entry.device;
        child.inode = entry.inode;
        if (!OpenLevel(child, parentFd, false)) {
            PopLevel();
            continue;
        }
        if (m_settings.GetProcessType() == kProcessListing) {
            child.record = m_sink.NewRecord(child.path);
        }
        if (!ReadEntries(child)) {
            PopLevel();
            continue;
        }
        KeepWithinBudget();
    }
    return true;
}
