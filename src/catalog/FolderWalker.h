#pragma once

#include "AppSettings.h"
#include "FindData.h"
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
class CFolderWalker {
public:
    CFolderWalker(CAppSettings& settings, IWalkSink& sink);

    // True when the folder itself could be opened. `path` ends in "/" only
    // for a root (a mounted medium or "/").
    bool WalkFolder(const std::string& path);

    // Test hook: called with a folder's path after its names have been read
    // and before their data is.
    std::function<void(const std::string& folderPath)> m_onFolderListed;

    static constexpr std::size_t kMaxOpenFolders = 128;

private:
    struct Entry {
        std::size_t nameOffset;
        std::size_t nameLength;
        bool directory;
        std::uint64_t size;
        std::int64_t lastWrite;
        dev_t device;
        ino_t inode;
    };
    struct Level {
        std::string path;      // as built, "%s/%s" of the parent's and the name
        std::string component; // name inside the parent (the whole path for the first level)
        int fd = -1;           // -1 while closed to save descriptors
        dev_t device = 0;      // identity of the folder, checked when it is opened again
        ino_t inode = 0;
        std::unique_ptr<CFolderRecord> record;
        std::string names;
        std::vector<Entry> entries;
        std::size_t next = 0;
    };

    // Opens the folder of a level, relative to its parent's descriptor (or by
    // its path for the first level). A folder opened again must still be the
    // same folder.
    bool OpenLevel(Level& level, int parentFd, bool reopen);
    // False when the folder cannot be read: it then contributes nothing.
    bool ReadEntries(Level& level);
    // Reads the names of an open folder into level.names, each followed by a
    // NUL, "." and ".." left out; their ends into m_nameEnds. A failure ends
    // the listing as its end would.
    void ReadNames(Level& level);
    int EnsureOpen(std::size_t index);
    void CloseLevel(Level& level);
    void KeepWithinBudget();
    // The level below the current deepest, emptied but keeping its buffers.
    Level& PushLevel();
    void PopLevel();

    CAppSettings& m_settings;
    IWalkSink& m_sink;
    // Levels 0 to m_nDepth - 1 are being walked; those beyond keep their
    // buffers for the next folders, so a walk allocates little per folder.
    std::vector<Level> m_levels;
    std::size_t m_nDepth = 0;
    std::size_t m_nOpen = 0;
    std::vector<std::size_t> m_nameEnds;
    std::vector<char> m_dirBuffer;
};