#pragma once

#include "OptionScanner.h"

#include <optional>
#include <string>
#include <vector>

// What stowlist-cli verify was asked to do.
struct CVerifyCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: what was wrong, as one printable line
    std::string report;
    std::vector<std::string> paths; // as given
    std::optional<std::string> manifest;
    std::optional<std::string> log;
    std::optional<std::string> settings;
    std::optional<std::string> catalogue;
    bool checksums = true;
    bool all = false;
    bool json = false;
    std::optional<bool> excludeHidden;
    std::optional<bool> excludeSubFolders;
    std::optional<bool> excludeEmptyFolders;
};

// The command line of stowlist-cli verify: a pure function of the arguments
// (those after "verify"), which never prints, whatever it is given.
class CVerifyCommandLineParser {
public:
    static const CCommandSpec& Spec();
    static CVerifyCommandLine Parse(const std::vector<std::string>& args);
};
