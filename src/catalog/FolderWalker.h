#pragma once

#include "OptionsSnapshot.h"
#include "FindData.h"
#include "FolderListing.h"
#include "FolderPrefetcher.h"
#include "FolderRecord.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// Where the walk delivers what it finds.
class IWalkSink {
public:
    virtual ~IWalkSink() = default;
    // One entry inside a walked folder, with the folder's record (or none).
    virtual void AddEntry(const CFindData& entry, CFolderRecord* record) = 0;
    // An empty record for a folder about to be enumerated (directory listing only).
    virtual std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) = 0;
    // A folder whose enumeration has finished (directory listing only).
    virtual void AppendRecord(std::unique_ptr<CFolderRecord> record) = 0;
};

// Walks a folder and, unless sub-folders are excluded, every folder below it,
// depth first, in the order the file system returns entries. A sub-folder's
// line is delivered before its contents; a folder's record after all the
// records below it. Links are never followed. Each folder is opened relative
// to its parent, so depth is not limited by PATH_MAX, and the walk keeps only
// a bounded number of folders open however deep the tree. A folder that
// cannot be opened or read contributes nothing and is not reported.
//
// On a machine with more than one processor a helper thread reads folders
// ahead (CFolderPrefetcher); the sink still gets every call on the walking
// thread, in the same order as without it.
class CFolderWalker {
public:
    explicit CFolderWalker(IWalkSink& sink);
    ~CFolderWalker();

    // True when the folder itself could be opened. `path` ends in "/" only
    // for a root (a mounted medium or "/"). The options say whether records
    // are made (a listing), and which entries are taken.
    bool WalkFolder(const std::string& path, const COptionsSnapshot& options);

    // Test hook: called with a folder's path after its names have been read
    // and before their data is. While it is set, the walk reads every folder
    // itself, on its own thread.
    std::function<void(const std::string& folderPath)> m_onFolderListed;
    // Whether a helper thread may read ahead (tests compare both ways), and
    // how many entries it may have read before the walk takes them.
    bool m_bReadAhead = true;
    std::size_t m_nReadAheadLimit = CFolderPrefetcher::kMaxAheadEntries;
    // Folders of the last walk whose listing the helper read.
    std::size_t FoldersReadAhead() const { return m_nFoldersReadAhead; }

    static constexpr std::size_t kMaxOpenFolders = 128;

private:
    struct Level {
        std::string path;      // as built, "%s/%s" of the parent's and the name
        std::string component; // name inside the parent (the whole path for the first level)
        int fd = -1;           // -1 while closed (to save descriptors, or never opened)
        dev_t device = 0;      // identity of the folder, checked when it is opened again
        ino_t inode = 0;
        std::unique_ptr<CFolderRecord> record;
        CFolderListing listing;
        std::size_t next = 0;
        CPrefetchNode* node = nullptr; // while reading ahead: the folder's node
        bool inChain = false;          // the node is in the helper's view of the walk
    };

    // Opens the folder of a level, relative to its parent's descriptor (or by
    // its path for the first level). A folder opened again must still be the
    // same folder.
    bool OpenLevel(Level& level, int parentFd, bool reopen);
    // False when the folder cannot be read: it then contributes nothing.
    bool ReadEntries(Level& level);
    // Sizes the record's line arrays for the entries about to be delivered.
    static void ReserveLines(Level& level);
    int EnsureOpen(std::size_t index);
    void CloseLevel(Level& level);
    void KeepWithinBudget();
    // The level below the current deepest, emptied but keeping its buffers.
    Level& PushLevel();
    void PopLevel();
    // Pushes the level of the sub-folder `entry` of the deepest level and
    // reads it (or takes the helper's reading); false when it contributes nothing.
    bool Descend(const CListedEntry& entry);
    void StartReadingAhead(Level& first);

    IWalkSink& m_sink;
    COptionsSnapshot m_options; // of the walk under way
    // Levels 0 to m_nDepth - 1 are being walked; those beyond keep their
    // buffers for the next folders, so a walk allocates little per folder.
    std::vector<Level> m_levels;
    std::size_t m_nDepth = 0;
    std::size_t m_nOpen = 0;
    CListingReader m_reader;
    std::unique_ptr<CFolderPrefetcher> m_pPrefetch;
    bool m_bPrefetching = false;
    std::size_t m_nFoldersReadAhead = 0;
};