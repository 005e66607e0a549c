#include "Unprivileged.h"

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
