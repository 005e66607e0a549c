#pragma once

#include "ReportDigests.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The SHA-256 digests a report's manifest gave its files, by the file's line:
// what the catalogue keeps of a report for Copies besides its entries, which
// the segments hold. Stored as one small blob a report.
class CCopyDigests {
public:
    void Add(std::uint64_t line, const EntryDigest& digest);
    std::size_t Size() const { return m_arrDigests.size(); }
    // The digest of the file at line; null when it has none.
    const EntryDigest* Find(std::uint64_t line) const;

    std::string Bytes() const;
    // False, leaving it empty, when the blob is damaged.
    bool FromBytes(std::string_view blob);
    // The digests held by a blob of the form that kept every file's keys
    // with its names; false, leaving it empty, when it is damaged or of
    // another form.
    bool FromFormerKeys(std::string_view blob);
    static bool IsFormerKeys(std::string_view blob);
    // A stored blob of either form (a catalogue that could not be written
    // to keeps the former).
    bool FromStored(std::string_view blob) { return IsFormerKeys(blob) ? FromFormerKeys(blob) : FromBytes(blob); }

private:
    std::vector<std::pair<std::uint64_t, EntryDigest>> m_arrDigests; // by line
};
