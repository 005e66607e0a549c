#include "FileLocations.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef STOWLIST_DATA_DIR
#define STOWLIST_DATA_DIR "/usr/share/stowlist"
#endif

namespace FileLocations {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string("stowlist");
}

std::string ExecutableName(const std::string& executablePath) {
    const auto slash = executablePath.rfind('/');
    std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

std::string SettingsFile(const std::string& executableName) {
    std::string folder = Environment("XDG_CONFIG_HOME");
    if (folder.empty() || folder.front() != '/') {
        const std::string home = Environment("HOME");
        folder = (home.empty() ? std::string("/tmp") : home) + "/.config";
    }
    return folder + "/" + executableName + ".INI";
}

std::string CatalogueFile() {
    std::string folder = Environment("XDG_DATA_HOME");
    if (folder.empty() || folder.front() != '/') {
        const std::string home = Environment("HOME");
        folder = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
    }
    return folder + "/stowlist/catalogue.sqlite";
}

std::string HelpFile(const std::string& executablePath) {
    const auto slash = executablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : executablePath.substr(0, slash);
    const std::string file = ExecutableName(executablePath) + ".qch";
    const std::string beside = folder + "/" + file;
    // Installed: the data folder beside the executable's bin folder (wherever
    // the package put both), else the one the build was configured for.
    for (const std::string& candidate :
         {beside, folder + "/../share/stowlist/" + file, std::string(STOWLIST_DATA_DIR) + "/" + file}) {
        if (IsFile(candidate)) {
            return candidate;
        }
    }
    return beside;
}

std::string LockFile(const std::string& title) {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/') {
        return runtime + "/" + title + ".lock";
    }
    return "/tmp/" + title + "-" + std::to_string(getuid()) + ".lock";
}

} // namespace FileLocations
