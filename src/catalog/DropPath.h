#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a drop is made of, for every front end.
namespace DropPath {

// A first path ending in "/" (a mounted medium or "/") makes a root drop:
// each path is then walked as a whole, without a line of its own.
bool IsRootDrop(const std::vector<std::string>& paths);

// A path as a drop takes it: trailing "/" removed, then a mount point (a
// folder whose device differs from its parent's) or "/" gets one back, as a
// dropped medium arrives; every other path stays as it came.
std::string AsDropPath(std::string path);

// The name of a dropped item (its last component).
std::string_view NameOf(std::string_view path);
// The folder whose record holds a dropped item: "/" for an item at the top.
std::string ParentOf(std::string_view path);

} // namespace DropPath
