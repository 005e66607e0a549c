#pragma once

#include "OptionScanner.h"

#include <optional>
#include <string>
#include <vector>

// What stowlist-cli compare was asked to do.
struct CCompareCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: what was wrong, as one printable line
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
    static const CCommandSpec& Spec();
    static CCompareCommandLine Parse(const std::vector<std::string>& args);
};
