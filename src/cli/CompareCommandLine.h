#pragma once

#include <optional>
#include <string>
#include <vector>

// What stowlist-cli compare was asked to do.
struct CCompareCommandLine {
    std::string error; // bad usage: what was wrong, as one printable line
    bool help = false;
    std::string oldReport;
    std::string newReport;
    std::optional<std::string> catalogue;
    std::optional<std::string> oldLog;
    std::optional<std::string> newLog;
    std::optional<std::string> oldManifest;
    std::optional<std::string> newManifest;
    bool checksums = true;
    bool all = false;
    bool folders = false;
    bool json = false;
};

// The command line of stowlist-cli compare: a pure function of the
// arguments (those after "compare"), which never prints, whatever it is given.
class CCompareCommandLineParser {
public:
    static CCompareCommandLine Parse(const std::vector<std::string>& args);
};
