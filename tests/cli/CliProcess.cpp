#include "CliProcess.h"

#include "TempTree.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef STOWLIST_CLI
#error "STOWLIST_CLI must name the stowlist-cli binary"
#endif

namespace {

// Everything the master side of a pseudo-terminal holds, once its slave is closed.
std::string DrainTerminal(int master) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return text; // EIO once the slave is gone
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

CCliResult RunCli(const CCliLaunch& launch) {
    CTempTree capture;
    CTempTree ownHome; // no run ever touches the real user's files
    const std::string home = launch.home.empty() ? ownHome.Root() : launch.home;
    if (launch.home.empty() && launch.unprivileged && geteuid() == 0 && chown(home.c_str(), 65534, 65534) != 0) {
        throw std::runtime_error("chown " + home);
    }
    const std::string outPath = capture.Path("out");
    const std::string errPath = capture.Path("err");
    int master = -1;
    std::string slaveName;
    if (launch.stderrOnTerminal) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slaveName = ptsname(master);
    }
    std::vector<std::string> args{STOWLIST_CLI};
    args.insert(args.end(), launch.args.begin(), launch.args.end());

    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork");
    }
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = launch.stderrOnTerminal ? open(slaveName.c_str(), O_RDWR | O_NOCTTY)
                                                : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
            chdir(launch.workingFolder.c_str()) != 0) {
            _exit(126);
        }
        if (launch.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(125);
        }
        if (launch.stdoutClosed) {
            close(STDOUT_FILENO);
        }
        setenv("PWD", launch.workingFolder.c_str(), 1);
        setenv("XDG_CONFIG_HOME", launch.configHome.c_str(), 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        for (const auto& [name, value] : launch.environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        if (launch.fileSizeLimit != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN); // ignored stays ignored across exec: writes fail with EFBIG
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = launch.fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (launch.addressSpaceLimit != RLIM_INFINITY) {
            const rlimit limit{launch.addressSpaceLimit, launch.addressSpaceLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    CCliResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = CTempTree::ReadFile(outPath);
    if (launch.stderrOnTerminal) {
        result.err = DrainTerminal(master);
        close(master);
    } else {
        result.err = CTempTree::ReadFile(errPath);
    }
    return result;
}
