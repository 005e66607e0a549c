#pragma once

#include "FolderListing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A folder below the first folder of a walk, known from its parent's listing.
struct CPrefetchNode {
    enum class State {
        Unclaimed, // nobody has read it yet
        Walk,      // the walk reads it itself
        Reading,   // the helper is reading it
        Ready,     // the helper's listing waits for the walk
        Taken,     // the walk has taken the helper's listing
    };
    CPrefetchNode* parent = nullptr;
    std::uint64_t serial = 0; // unique within a walk, unlike an address
    std::string name;         // inside the parent; the whole path for the first folder
    dev_t device = 0; // identity from the parent's listing
    ino_t inode = 0;
    std::size_t depth = 0; // 0 for the first folder
    State state = State::Unclaimed;
    // The helper's reading: whether the folder opened, whether its entries
    // could be examined, and its listing.
    bool opened = false;
    bool readable = false;
    CFolderListing listing;
    // Its sub-folders in listing order, once it has been read; freed when the
    // walk leaves the node.
    std::vector<std::unique_ptr<CPrefetchNode>> children;
    // The helper takes children from the last one down; those from here on
    // have been seen by it.
    std::size_t helperCursor = 0;
    bool onHelperPath = false; // the helper may still look at it: not freed yet
};

// Reads folders ahead of a walk on a second thread, so that the system calls
// of a large walk are shared by two processors. The walk (the thread that
// owns this object) reads each folder it goes into unless the helper has
// read it already. The helper claims the last unread sub-folder of the
// deepest folder of the walk's current chain that has one, reads it and then
// its subtree, each folder's sub-folders from the last one back, until it
// meets folders the walk has claimed; then it claims anew. So the two work
// from opposite ends and meet rather than collide, and what the helper reads
// is needed soon. Every folder is read once, by one of the two; the walk
// takes the helper's listings when it gets there (waiting if one is being
// read) and so delivers everything in exactly the order it would alone.
// Once kMaxAheadEntries entries read by the helper wait for the walk, it
// leaves the subtree it was reading and reads only sub-folders of the walk's
// own chain of folders (needed soonest), and stops at kHardBoundFactor times
// that many.
//
// The helper never reads settings: it filters hidden entries as told at the
// start, and the walk stops it when that no longer holds. It keeps its own
// descriptors (a chain from the first folder down, at most kMaxDepth + 1 of
// them), opens each folder relative to its parent and checks the identity of
// every folder it opens again.
class CFolderPrefetcher {
public:
    // The walk's first folder, by the path it was opened with and the identity
    // found then. The helper waits while `maxAhead` entries it read wait for the walk.
    CFolderPrefetcher(std::string rootPath, dev_t device, ino_t inode, bool excludeHidden,
                      std::size_t maxAhead = kMaxAheadEntries);
    ~CFolderPrefetcher();
    CFolderPrefetcher(const CFolderPrefetcher&) = delete;
    CFolderPrefetcher& operator=(const CFolderPrefetcher&) = delete;

    CPrefetchNode& Root() { return m_root; }

    // Starts the helper; false when no thread can be had.
    bool Start();
    // Stops the helper and waits for it. From then on Take() always leaves
    // the reading to the walk, and Enter() makes no more nodes.
    void Stop();

    // The walk has read `node` itself: nodes are made for the sub-folders of
    // the listing (their entries point to them) and offered to the helper;
    // the node becomes the deepest of the walk's current chain of folders.
    void Enter(CPrefetchNode& node, CFolderListing& listing);
    // The walk has taken the helper's listing of `node` and goes into it.
    void EnterTaken(CPrefetchNode& node);
    // The walk has finished the deepest folder of its chain.
    void Leave();

    // The walk is about to read `node`. True when the helper has read it:
    // its listing moves to `listing`. False: the walk reads it itself.
    bool Take(CPrefetchNode& node, CFolderListing& listing, bool& opened, bool& readable);

    // Folders deeper than this are left to the walk.
    static constexpr std::size_t kMaxDepth = 64;
    // Entries read by the helper that may wait for the walk at one time.
    static constexpr std::size_t kMaxAheadEntries = 32 * 1024;
    static constexpr std::size_t kHardBoundFactor = 4;

private:
    struct OpenFolder {
        std::uint64_t serial;
        int fd;
    };

    void Run();
    // With the lock held: the next folder for the helper below `node`, or in
    // the walk's chain; none when there is nothing left to read there.
    CPrefetchNode* NextUnclaimedChild(CPrefetchNode& node);
    CPrefetchNode* FindWork();
    // Without the lock. `gaveUp` when the helper could not get to the folder
    // (the walk then reads it itself); otherwise the node's listing is filled.
    void ReadNode(CPrefetchNode& node, std::vector<std::unique_ptr<CPrefetchNode>>& children, bool& gaveUp);
    int OpenNode(CPrefetchNode& node, bool& gaveUp);
    void CloseChainFrom(std::size_t depth);
    void MakeChildren(CPrefetchNode& parent, CFolderListing& listing,
                      std::vector<std::unique_ptr<CPrefetchNode>>& children);

    const std::string m_strRootPath;
    const bool m_bExcludeHidden;
    const std::size_t m_nMaxAhead;
    CPrefetchNode m_root;

    std::mutex m_mutex;
    std::condition_variable m_helperWake; // new work or stop
    std::condition_variable m_walkWake;   // a node has been read
    std::vector<CPrefetchNode*> m_walkChain; // the walk's folders, first to deepest
    std::vector<std::unique_ptr<CPrefetchNode>> m_leftNodes; // left by the walk while the helper held them
    bool m_bStop = false;
    bool m_bHelperIdle = false;
    bool m_bWalkWaiting = false;
    std::size_t m_nAheadEntries = 0; // in listings read by the helper and not taken yet
    std::atomic<std::uint64_t> m_nNextSerial{1};
    std::thread m_thread;

    // The helper's own.
    CListingReader m_reader;
    std::vector<OpenFolder> m_chain;
    std::vector<CPrefetchNode*> m_ancestors;
};
