#pragma once

#include <string>
#include <string_view>

// Splitting paths as text. A trailing "/" means a root (a mounted medium or
// "/") and is kept wherever a function returns a folder.
namespace PathName {

// Up to and including the last "/"; empty when there is none.
std::string_view FolderOf(std::string_view path);
// After the last "/"; the whole path when there is none.
std::string_view FileNameOf(std::string_view path);
// The last component, trailing slashes aside ("/media/CD/" gives "CD").
std::string_view NameOf(std::string_view path);
// The folder that holds the item, trailing slashes aside, without a "/" of
// its own ("/a/b/" gives "/a"); "/" for an item at the top, and "" for a
// relative name without a folder.
std::string ParentOf(std::string_view path);

} // namespace PathName
