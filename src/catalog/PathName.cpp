#include "PathName.h"

namespace PathName {

namespace {

std::string_view WithoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

} // namespace

std::string_view FolderOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view FileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view NameOf(std::string_view path) { return FileNameOf(WithoutTrailingSlashes(path)); }

std::string ParentOf(std::string_view path) {
    const std::string_view item = WithoutTrailingSlashes(path);
    const auto slash = item.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : std::string(item.substr(0, slash));
}

} // namespace PathName
