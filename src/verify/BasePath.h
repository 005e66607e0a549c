#pragma once

#include <string_view>

// Paths relative to the base of a drop, as reports and the medium spell them.
namespace BasePath {

// `path` relative to `base`: "" for the base itself, the rest after the
// separator for a path under it, the whole path otherwise. Either "/" or,
// for the Windows form of a report (a base like "C:\DATA"), "\" separates.
std::string_view Strip(std::string_view base, std::string_view path);

// The folder part of a path and its last name ("" and the path when it has
// no separator).
std::string_view FolderOf(std::string_view path);

} // namespace BasePath
