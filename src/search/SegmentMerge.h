#pragma once

#include "SegmentSearch.h"

#include <string>
#include <vector>

// Merging segments: what is live in them, written as one new segment.
namespace SegmentMerge {

// Writes the entries of the segments that are not hidden, and their
// reports, to a new segment at path, reading each segment once in order:
// memory grows with the new segment's names and posting lists only.
// False, with a message in error, on failure (the new file is then gone).
bool Merge(const std::vector<CLiveSegment>& segments, const std::string& path, std::string& error);

} // namespace SegmentMerge
