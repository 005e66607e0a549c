#include "BasePath.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string_view WithoutTrailingSeparator(std::string_view path) {
    while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':')) {
        path.remove_suffix(1);
    }
    return path;
}

} // namespace

std::string_view BasePath::Strip(std::string_view base, std::string_view path) {
    base = WithoutTrailingSeparator(base);
    const std::string_view trimmed = WithoutTrailingSeparator(path);
    if (trimmed == base) {
        return {};
    }
    if (trimmed.substr(0, base.size()) != base) {
        return path;
    }
    if (!base.empty() && IsSeparator(base.back())) {
        return trimmed.substr(base.size());
    }
    if (trimmed.size() > base.size() && IsSeparator(trimmed[base.size()])) {
        return trimmed.substr(base.size() + 1);
    }
    return path;
}

std::string_view BasePath::FolderOf(std::string_view path) {
    path = WithoutTrailingSeparator(path);
    const auto last = path.find_last_of("/\\");
    if (last == std::string_view::npos) {
        return {};
    }
    if (last == 0 || (last == 2 && path[1] == ':')) {
        return path.substr(0, last + 1);
    }
    return path.substr(0, last);
}
