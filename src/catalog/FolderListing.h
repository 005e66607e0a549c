#pragma once

#include "FindData.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

struct CPrefetchNode;

// One entry of a folder's listing: its name (inside CFolderListing::names)
// and what lstat said of it.
struct CListedEntry {
    std::uint32_t nameOffset = 0; // a listing keeps at most 4 GiB of names
    std::uint16_t nameLength = 0; // NAME_MAX is 255
    bool directory = false;
    bool regular = false;
    std::uint64_t size = 0;    // 0 for a folder
    std::int64_t lastWrite = 0;
    dev_t device = 0;
    ino_t inode = 0;
    CPrefetchNode* node = nullptr; // a sub-folder's node while a helper reads ahead
};

// The entries of one folder in the order the file system gave them.
struct CFolderListing {
    std::string names; // every name followed by a NUL, so it can be handed to the system in place
    std::vector<CListedEntry> entries;

    std::string_view Name(const CListedEntry& entry) const { return {names.data() + entry.nameOffset, entry.nameLength}; }
    void Clear() {
        names.clear();
        entries.clear();
    }
};

// Reads open folders into listings: every name but "." and "..", then the
// data of each name that is not skipped (links not followed). Keeps its
// buffers from folder to folder; one reader per thread.
class CListingReader {
public:
    // False when the names can be read but their data cannot (a folder we
    // may list but not search): such a folder contributes nothing. A failure
    // while reading names ends the listing as its end would. `skip(name)` is
    // asked once for every name, after `listed()` has been called.
    template <typename Skip, typename Listed>
    bool Read(int fd, CFolderListing& listing, Skip&& skip, Listed&& listed);

private:
    void ReadNames(int fd, CFolderListing& listing);
    // False for EACCES; a name that vanished meanwhile is left out.
    bool AddEntry(int fd, CFolderListing& listing, std::size_t start, std::size_t end);

    std::vector<char> m_buffer;
    std::vector<std::size_t> m_nameEnds;
};

template <typename Skip, typename Listed>
bool CListingReader::Read(int fd, CFolderListing& listing, Skip&& skip, Listed&& listed) {
    listing.Clear();
    ReadNames(fd, listing);
    listed();
    listing.entries.reserve(m_nameEnds.size());
    std::size_t start = 0;
    for (const std::size_t end : m_nameEnds) {
        const std::string_view name(listing.names.data() + start, end - start);
        if (!skip(name) && !AddEntry(fd, listing, start, end)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}
