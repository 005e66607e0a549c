#pragma once

#include <string>
#include <vector>

class QMimeData;

// What the window hands to drop processing from dragged data.
namespace DropPaths {

// The local files and folders that dragged data names (file URLs of this
// machine), as the file system's bytes, in the order given. Anything else
// (text, remote URLs) contributes nothing.
std::vector<std::string> LocalPaths(const QMimeData& data);

// A dropped path as drop processing takes it: trailing "/" removed, then a
// mount point (a folder whose device differs from its parent's) or "/" gets
// one back, as a dropped medium arrives; every other path stays as it came.
std::string AsDropPath(std::string path);

} // namespace DropPaths
