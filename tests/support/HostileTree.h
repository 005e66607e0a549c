#pragma once

#include <cstdint>
#include <string>

// A tree of everything a careless medium can hold: names with every control
// byte, invalid UTF-8, 255-byte names, names that look like options or
// format strings, a tree deeper than PATH_MAX, folders without read or
// search permission, link loops and dangling links, a FIFO, a socket,
// sparse files whose sizes pass 2^31 and 2^32 several times over, and a
// folder of very many entries.
struct HostileTreeOptions {
    int deepLevels = 3000;
    int crowdedEntries = 100000;
};

// What a walk of the tree (hidden entries excluded, the unreadable folders'
// contents unseen) must count, for checking a report's summary.
struct HostileTreeTotals {
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
    std::int64_t folders = 0; // records of a full listing with sub-folders walked
};

// Builds the tree inside `root` (an existing, empty folder) and returns
// what a listing of `root` must count.
HostileTreeTotals BuildHostileTree(const std::string& root, const HostileTreeOptions& options);

// Removes a tree that may be deeper than PATH_MAX and hold folders without
// permissions.
void RemoveDeepTree(const std::string& root);
