#pragma once

#include <string>

// Paths of the command line made absolute the way the shell sees them:
// against the working folder by name, never through the file system, so a
// link stays a link.
namespace AbsolutePath {

// `path` against `workingFolder` (absolute): repeated "/" and "." components
// go, ".." takes away the component before it (never above "/"), and a
// trailing "/" stays, so "media/" remains a whole medium. An empty path stays
// empty: it names nothing.
std::string Make(const std::string& path, const std::string& workingFolder);

// The working folder as the shell names it: $PWD when it is absolute, free
// of "." and ".." components and the same folder as "."; otherwise the
// physical path. Empty, with errno set, when the folder has no name (it was
// removed).
std::string WorkingFolder();

} // namespace AbsolutePath
