#include "DropPath.h"

#include "PathName.h"

#include <sys/stat.h>

namespace DropPath {

bool IsRootDrop(const std::vector<std::string>& paths) {
    return !paths.empty() && !paths[0].empty() && paths[0].back() == '/';
}

std::string AsDropPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path == "/") {
        return path;
    }
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0 || !S_ISDIR(own.st_mode)) {
        return path;
    }
    std::string parent = PathName::ParentOf(path);
    if (parent.empty()) {
        parent = ".";
    }
    struct stat above {};
    if (stat(parent.c_str(), &above) == 0 && above.st_dev != own.st_dev) {
        path += '/';
    }
    return path;
}

std::string_view NameOf(std::string_view path) { return PathName::NameOf(path); }

std::string ParentOf(std::string_view path) {
    std::string parent = PathName::ParentOf(path);
    return parent.empty() ? std::string("/") : parent;
}

} // namespace DropPath
