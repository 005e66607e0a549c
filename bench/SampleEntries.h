#pragma once

#include "FindData.h"

#include <cstdint>
#include <string>
#include <vector>

// A fixed set of directory entries like those of bench/make_tree: names of
// varied length with spaces and non-ASCII letters, about one folder in ten,
// sizes up to a few megabytes, times spread over 26 years (so neighbouring
// entries rarely share a day). The same seed gives the same entries.
class CSampleEntries {
public:
    explicit CSampleEntries(std::size_t count, std::uint64_t seed = 7);
    CSampleEntries(const CSampleEntries&) = delete; // the entries view the names in place
    CSampleEntries& operator=(const CSampleEntries&) = delete;

    std::size_t Size() const { return m_entries.size(); }
    const CFindData& operator[](std::size_t index) const { return m_entries[index]; }

private:
    std::vector<std::string> m_names;
    std::vector<CFindData> m_entries;
};
