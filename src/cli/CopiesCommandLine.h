#pragma once

#include "CopiesQuery.h"
#include "OptionScanner.h"

#include <optional>
#include <string>
#include <vector>

// What stowlist-cli copies was asked to do.
struct CCopiesCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: one printable line
    CCopiesQuery query;
    std::optional<std::string> catalogue; // none: the default catalogue
    bool summary = false;
    bool json = false;
};

// The arguments after "copies": a pure function of them, which never prints.
class CCopiesCommandLineParser {
public:
    static const CCommandSpec& Spec();
    static CCopiesCommandLine Parse(const std::vector<std::string>& args);
};
