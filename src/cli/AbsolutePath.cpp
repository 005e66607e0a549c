#include "AbsolutePath.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace AbsolutePath {

namespace {

bool SameFolder(const char* a, const char* b) {
    struct stat first {};
    struct stat second {};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool IsPlainAbsolute(std::string_view path) {
    if (path.empty() || path.front() != '/') {
        return false;
    }
    for (std::size_t start = 1; start <= path.size();) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view component = path.substr(start, end - start);
        if (component == "." || component == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace

std::string Make(const std::string& path, const std::string& workingFolder) {
    if (path.empty()) {
        return path;
    }
    const std::string joined = path.front() == '/' ? path : workingFolder + "/" + path;
    std::vector<std::string_view> components;
    const std::string_view text = joined;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('/', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view component = text.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string_view component : components) {
        result.push_back('/');
        result.append(component);
    }
    if (result.empty() || path.back() == '/') {
        result.push_back('/');
    }
    return result;
}

std::string WorkingFolder() {
    const char* pwd = std::getenv("PWD");
    if (pwd != nullptr && IsPlainAbsolute(pwd) && SameFolder(pwd, ".")) {
        return Make(pwd, "/");
    }
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

} // namespace AbsolutePath
