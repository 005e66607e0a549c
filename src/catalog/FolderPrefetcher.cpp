#include "FolderPrefetcher.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

} // namespace

CFolderPrefetcher::CFolderPrefetcher(std::string rootPath, dev_t device, ino_t inode, bool excludeHidden,
                                     std::size_t maxAhead)
    : m_strRootPath(std::move(rootPath)), m_bExcludeHidden(excludeHidden), m_nMaxAhead(maxAhead) {
    m_root.name = m_strRootPath;
    m_root.device = device;
    m_root.inode = inode;
    m_root.state = CPrefetchNode::State::Walk;
    m_root.serial = m_nNextSerial.fetch_add(1, std::memory_order_relaxed);
}

CFolderPrefetcher::~CFolderPrefetcher() { Stop(); }

bool CFolderPrefetcher::Start() {
    try {
        m_thread = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error&) {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        return false;
    }
}

void CFolderPrefetcher::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_helperWake.notify_one();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CFolderPrefetcher::MakeChildren(CPrefetchNode& parent, CFolderListing& listing,
                                     std::vector<std::unique_ptr<CPrefetchNode>>& children) {
    for (CListedEntry& entry : listing.entries) {
        if (!entry.directory) {
            continue;
        }
        auto child = std::make_unique<CPrefetchNode>();
        child->parent = &parent;
        child->serial = m_nNextSerial.fetch_add(1, std::memory_order_relaxed);
        child->name.assign(listing.Name(entry));
        child->device = entry.device;
        child->inode = entry.inode;
        child->depth = parent.depth + 1;
        entry.node = child.get();
        children.push_back(std::move(child));
    }
}

void CFolderPrefetcher::Enter(CPrefetchNode& node, CFolderListing& listing) {
    std::vector<std::unique_ptr<CPrefetchNode>> children;
    bool stopped;
    {
        std::lock_guard lock(m_mutex);
        stopped = m_bStop;
    }
    if (!stopped) {
        MakeChildren(node, listing, children); // outside the lock: the helper cannot see them yet
    }
    std::lock_guard lock(m_mutex);
    node.children = std::move(children);
    node.helperCursor = node.children.size();
    m_walkChain.push_back(&node);
    if (m_bHelperIdle && !node.children.empty()) {
        m_helperWake.notify_one();
    }
}

void CFolderPrefetcher::EnterTaken(CPrefetchNode& node) {
    std::lock_guard lock(m_mutex);
    m_walkChain.push_back(&node);
    // Usually the helper has read all below already; wake it only for work.
    if (m_bHelperIdle && node.helperCursor > 0 &&
        node.children[node.helperCursor - 1]->state == CPrefetchNode::State::Unclaimed) {
        m_helperWake.notify_one();
    }
}

void CFolderPrefetcher::Leave() {
    std::vector<std::unique_ptr<CPrefetchNode>> done;
    std::lock_guard lock(m_mutex);
    // Every sub-folder has been taken or read by the walk by now; those the
    // helper may still look at (on its way back up) are freed at the end.
    CPrefetchNode& node = *m_walkChain.back();
    for (auto& child : node.children) {
        (child->onHelperPath ? m_leftNodes : done).push_back(std::move(child));
    }
    node.children.clear();
    node.helperCursor = 0;
    m_walkChain.pop_back();
}

bool CFolderPrefetcher::Take(CPrefetchNode& node, CFolderListing& listing, bool& opened, bool& readable) {
    std::unique_lock lock(m_mutex);
    while (node.state == CPrefetchNode::State::Reading) {
        m_bWalkWaiting = true;
        m_walkWake.wait(lock);
    }
    m_bWalkWaiting = false;
    if (node.state == CPrefetchNode::State::Ready && !m_bStop) {
        node.state = CPrefetchNode::State::Taken;
        const bool full = m_nAheadEntries >= m_nMaxAhead;
        m_nAheadEntries -= node.listing.entries.size();
        if (full && m_nAheadEntries < m_nMaxAhead && m_bHelperIdle) {
            m_helperWake.notify_one(); // it waited for room
        }
        listing = std::move(node.listing);
        node.listing = CFolderListing{};
        opened = node.opened;
        readable = node.readable;
        return true;
    }
    node.state = CPrefetchNode::State::Walk;
    return false;
}

CPrefetchNode* CFolderPrefetcher::NextUnclaimedChild(CPrefetchNode& node) {
    // The walk takes sub-folders from the first on, the helper from the last
    // down: below the cursor lie only unclaimed ones and the walk's.
    while (node.helperCursor > 0) {
        CPrefetchNode* child = node.children[node.helperCursor - 1].get();
        if (child->state != CPrefetchNode::State::Unclaimed) {
            return nullptr; // the walk has come this far
        }
        --node.helperCursor;
        if (child->depth <= kMaxDepth) {
            return child;
        }
    }
    return nullptr;
}

CPrefetchNode* CFolderPrefetcher::FindWork() {
    // The deepest first: what the walk needs soonest, so listings wait least.
    for (auto folder = m_walkChain.rbegin(); folder != m_walkChain.rend(); ++folder) {
        if (CPrefetchNode* child = NextUnclaimedChild(**folder)) {
            return child;
        }
    }
    return nullptr;
}

void CFolderPrefetcher::Run() {
    std::vector<CPrefetchNode*> path; // the helper's way down the subtree it reads
    const auto leave = [&path] {
        path.back()->onHelperPath = false;
        path.pop_back();
    };
    std::unique_lock lock(m_mutex);
    // Nothing to read now: idle until woken.
    const auto waitForWork = [&] {
        m_bHelperIdle = true;
        m_helperWake.wait(lock);
        m_bHelperIdle = false;
    };
    while (!m_bStop) {
        CPrefetchNode* next = nullptr;
        if (m_nAheadEntries >= m_nMaxAhead) {
            // Enough waits for the walk, most of it far ahead: give up the
            // subtree and read only sub-folders of the walk's own chain of
            // folders, deepest first, which it takes soonest, until the walk
            // takes some or the hard bound is met.
            while (!path.empty()) {
                leave();
            }
            if (m_nAheadEntries < kHardBoundFactor * m_nMaxAhead && !m_walkChain.empty()) {
                next = FindWork();
            }
            if (next == nullptr) {
                waitForWork();
                continue;
            }
        }
        while (next == nullptr && !path.empty()) {
            next = NextUnclaimedChild(*path.back());
            if (next == nullptr) {
                leave();
            }
        }
        if (next == nullptr) {
            next = FindWork();
        }
        if (next == nullptr) {
            waitForWork();
            continue;
        }
        next->state = CPrefetchNode::State::Reading;
        lock.unlock();
        std::vector<std::unique_ptr<CPrefetchNode>> children;
        bool gaveUp = false;
        ReadNode(*next, children, gaveUp);
        lock.lock();
        if (gaveUp) {
            next->state = CPrefetchNode::State::Unclaimed; // the walk reads it when it gets there
        } else {
            next->children = std::move(children);
            next->helperCursor = next->children.size();
            next->state = CPrefetchNode::State::Ready;
            m_nAheadEntries += next->listing.entries.size();
            next->onHelperPath = true;
            path.push_back(next);
        }
        if (m_bWalkWaiting) {
            m_walkWake.notify_one();
        }
    }
    while (!path.empty()) {
        leave();
    }
    lock.unlock();
    CloseChainFrom(0);
}

void CFolderPrefetcher::CloseChainFrom(std::size_t depth) {
    while (m_chain.size() > depth) {
        close(m_chain.back().fd);
        m_chain.pop_back();
    }
}

int CFolderPrefetcher::OpenNode(CPrefetchNode& node, bool& gaveUp) {
    m_ancestors.clear();
    for (CPrefetchNode* folder = node.parent; folder != nullptr; folder = folder->parent) {
        m_ancestors.push_back(folder);
    }
    std::reverse(m_ancestors.begin(), m_ancestors.end());
    std::size_t keep = 0;
    while (keep < m_chain.size() && keep < m_ancestors.size() && m_chain[keep].serial == m_ancestors[keep]->serial) {
        ++keep;
    }
    CloseChainFrom(keep);
    // The folders above: opened again, so they must still be the folders listed.
    for (std::size_t i = keep; i < m_ancestors.size(); ++i) {
        CPrefetchNode* folder = m_ancestors[i];
        const int fd = i == 0 ? open(m_strRootPath.c_str(), kFolderFlags)
                              : openat(m_chain.back().fd, folder->name.c_str(), kFolderFlags | O_NOFOLLOW);
        struct stat info {};
        if (fd < 0 || fstat(fd, &info) != 0 || info.st_dev != folder->device || info.st_ino != folder->inode) {
            if (fd >= 0) {
                close(fd);
            }
            gaveUp = true;
            return -1;
        }
        m_chain.push_back({folder->serial, fd});
    }
    const int fd = openat(m_chain.back().fd, node.name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (fd < 0) {
        // Short of descriptors or memory the walk may still do better; any
        // other failure is the folder's own.
        gaveUp = errno == EMFILE || errno == ENFILE || errno == ENOMEM;
        return -1;
    }
    m_chain.push_back({node.serial, fd});
    return fd;
}

void CFolderPrefetcher::ReadNode(CPrefetchNode& node, std::vector<std::unique_ptr<CPrefetchNode>>& children,
                                 bool& gaveUp) {
    const int fd = OpenNode(node, gaveUp);
    node.opened = fd >= 0;
    node.readable = false;
    if (fd < 0) {
        return;
    }
    const bool excludeHidden = m_bExcludeHidden;
    node.readable = m_reader.Read(
        fd, node.listing, [excludeHidden](std::string_view name) { return excludeHidden && IsHiddenName(name); },
        [] {});
    if (node.readable) {
        MakeChildren(node, node.listing, children);
    } else {
        node.listing.Clear();
    }
}
