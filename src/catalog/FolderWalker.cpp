#include "FolderWalker.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Whether this process may run on more than one processor (affinity and
// cpusets included): only then does reading ahead pay.
bool HasSecondProcessor() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return CPU_COUNT(&allowed) > 1;
    }
    return sysconf(_SC_NPROCESSORS_ONLN) > 1;
}

} // namespace

CFolderWalker::CFolderWalker(IWalkSink& sink) : m_sink(sink) {}

CFolderWalker::~CFolderWalker() {
    while (m_nDepth > 0) {
        PopLevel();
    }
}

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
    level.listing.Clear();
    level.next = 0;
    level.node = nullptr;
    level.inChain = false;
    return level;
}

void CFolderWalker::PopLevel() {
    Level& level = m_levels[--m_nDepth];
    CloseLevel(level);
    level.record.reset();
    if (level.inChain) {
        m_pPrefetch->Leave();
        level.inChain = false;
    }
    level.node = nullptr;
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

void CFolderWalker::ReserveLines(Level& level) {
    if (!level.record) {
        return;
    }
    const auto& entries = level.listing.entries;
    const auto folders = static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const CListedEntry& entry) { return entry.directory; }));
    level.record->m_arrSubFolders.reserve(folders);
    level.record->m_arrFiles.reserve(entries.size() - folders);
}

bool CFolderWalker::ReadEntries(Level& level) {
    const bool readable = m_reader.Read(
        level.fd, level.listing,
        [this](std::string_view name) { return m_options.ExcludeHidden() && IsHiddenName(name); },
        [this, &level] {
            if (m_onFolderListed) {
                m_onFolderListed(level.path);
            }
        });
    if (readable) {
        ReserveLines(level);
    }
    return readable;
}

void CFolderWalker::StartReadingAhead(Level& first) {
    const auto& entries = first.listing.entries;
    if (!m_bReadAhead || m_onFolderListed || !HasSecondProcessor() ||
        std::none_of(entries.begin(), entries.end(), [](const CListedEntry& entry) { return entry.directory; }) ||
        m_options.ExcludeSubFolders()) {
        return;
    }
    m_pPrefetch = std::make_unique<CFolderPrefetcher>(first.path, first.device, first.inode, m_options.ExcludeHidden(),
                                                      m_nReadAheadLimit);
    first.node = &m_pPrefetch->Root();
    m_pPrefetch->Enter(*first.node, first.listing);
    first.inChain = true;
    m_bPrefetching = m_pPrefetch->Start();
}

bool CFolderWalker::Descend(const CListedEntry& entry) {
    const std::size_t parentIndex = m_nDepth - 1;
    bool taken = false;
    bool opened = false;
    bool readable = false;
    CFolderListing helperListing;
    if (m_bPrefetching && entry.node != nullptr) {
        taken = m_pPrefetch->Take(*entry.node, helperListing, opened, readable);
    }
    int parentFd = -1;
    if (!taken) {
        parentFd = EnsureOpen(parentIndex);
        if (parentFd < 0) {
            return false;
        }
    }

    Level& child = PushLevel(); // may move the levels: no references from before
    const Level& parent = m_levels[parentIndex];
    const std::string_view name = parent.listing.Name(entry);
    child.component.assign(name);
    child.path = parent.path;
    if (child.path.empty() || child.path.back() != '/') {
        child.path.push_back('/');
    }
    child.path.append(name);
    child.device = entry.device;
    child.inode = entry.inode;
    child.node = m_bPrefetching ? entry.node : nullptr;
    const bool listingReport = m_options.IsListing();

    if (taken) {
        if (!opened) {
            PopLevel();
            return false;
        }
        if (listingReport) {
            child.record = m_sink.NewRecord(child.path);
        }
        if (!readable) {
            PopLevel();
            return false;
        }
        child.listing = std::move(helperListing);
        ++m_nFoldersReadAhead;
        ReserveLines(child);
        m_pPrefetch->EnterTaken(*child.node);
        child.inChain = true;
        return true;
    }
    if (!OpenLevel(child, parentFd, false)) {
        PopLevel();
        return false;
    }
    if (listingReport) {
        child.record = m_sink.NewRecord(child.path);
    }
    if (!ReadEntries(child)) {
        PopLevel();
        return false;
    }
    if (child.node != nullptr && m_bPrefetching) {
        m_pPrefetch->Enter(*child.node, child.listing);
        child.inChain = true;
    }
    return true;
}

bool CFolderWalker::WalkFolder(const std::string& path, const COptionsSnapshot& options) {
    m_options = options;
    while (m_nDepth > 0) {
        PopLevel();
    }
    m_pPrefetch.reset();
    m_bPrefetching = false;
    m_nFoldersReadAhead = 0;
    m_nOpen = 0;

    Level& first = PushLevel();
    first.path = path;
    first.component = path;
    if (!OpenLevel(first, -1, false)) {
        PopLevel();
        return false;
    }
    if (m_options.IsListing()) {
        first.record = m_sink.NewRecord(path);
    }
    if (!ReadEntries(first)) {
        PopLevel();
        return false;
    }
    StartReadingAhead(first);

    while (m_nDepth > 0) {
        Level& top = m_levels[m_nDepth - 1];
        if (top.next == top.listing.entries.size()) {
            std::unique_ptr<CFolderRecord> record = std::move(top.record);
            PopLevel();
            if (record) {
                m_sink.AppendRecord(std::move(record));
            }
            continue;
        }
        const CListedEntry entry = top.listing.entries[top.next++];
        CFindData data;
        data.m_strName = top.listing.Name(entry);
        data.m_bDirectory = entry.directory;
        data.m_bRegular = entry.regular;
        data.m_strFolder = top.path;
        data.m_nDevice = entry.device;
        data.m_nSize = entry.size;
        data.m_nLastWrite = entry.lastWrite;
        m_sink.AddEntry(data, top.record.get());
        if (!entry.directory) {
            continue;
        }
        if (m_options.ExcludeSubFolders()) {
            continue;
        }
        if (Descend(entry)) {
            KeepWithinBudget();
        }
    }
    m_pPrefetch.reset();
    m_bPrefetching = false;
    return true;
}
