#pragma once

#include <string>
#include <sys/resource.h>
#include <utility>
#include <vector>

// One run of the real stowlist-cli binary in a child process.
struct CCliResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out; // standard output, bytes
    std::string err; // standard error, bytes
};

struct CCliLaunch {
    std::vector<std::string> args;     // without the program name
    std::string workingFolder;         // also given as $PWD, as a shell does
    std::string configHome;            // $XDG_CONFIG_HOME (the default settings folder)
    std::string home;                  // $HOME, whose .local/share is $XDG_DATA_HOME (the default
                                       // catalogue's); empty: a fresh folder for this run alone
    rlim_t fileSizeLimit = RLIM_INFINITY;
    rlim_t addressSpaceLimit = RLIM_INFINITY; // RLIMIT_AS: what a run may reserve
    bool stderrOnTerminal = false;     // standard error on a pseudo-terminal
    bool stdoutClosed = false;         // started without a standard output
    bool unprivileged = false;         // as an ordinary user when the tests run as root
    std::vector<std::pair<std::string, std::string>> environment; // set last (LC_ALL is C.UTF-8 unless given)
};

CCliResult RunCli(const CCliLaunch& launch);
