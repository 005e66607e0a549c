#pragma once

#include <string>
#include <vector>

class QMimeData;

// What the window hands to drop processing from dragged data.
namespace DropPaths {

// The local files and folders that dragged data names (file URLs of this
// machine), as the file system's bytes, in the order given and as a drop
// takes them (DropPath::AsDropPath). Anything else (text, remote URLs)
// contributes nothing.
std::vector<std::string> LocalPaths(const QMimeData& data);

} // namespace DropPaths
