#include "Unprivileged.h"

#include <cstdlib>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

bool RunUnprivileged(const std::string& folder, const std::function<bool()>& check) {
    if (geteuid() == 0) {
        for (auto slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
            struct stat info {};
            const std::string parent = folder.substr(0, slash);
            if (stat(parent.c_str(), &info) == 0 && (info.st_mode & 0005) != 0005) {
                chmod(parent.c_str(), info.st_mode | 0005);
            }
        }
        chmod(folder.c_str(), 0777);
    }
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool BecomeUnprivileged(std::string& home) {
    home.clear();
    if (geteuid() != 0) {
        return true;
    }
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 || geteuid() == 0) {
        return false;
    }
    const char* temp = std::getenv("TMPDIR");
    std::string made = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/stowlist-home-XXXXXX";
    if (mkdtemp(made.data()) == nullptr) {
        return false;
    }
    home = made;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1); // mkdtemp made it 0700, as required
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("XDG_DATA_HOME");
    return true;
}
