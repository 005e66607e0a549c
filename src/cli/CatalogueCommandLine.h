#pragma once

#include "OptionScanner.h"

#include <optional>
#include <string>
#include <vector>

// What stowlist-cli catalogue was asked to do.
struct CCatalogueCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: one printable line
    std::string verb;  // add, remove, refresh or list
    std::vector<std::string> paths;
    std::optional<std::string> catalogue; // none: the default catalogue
};

// The arguments after "catalogue": a pure function of them, which never prints.
class CCatalogueCommandLineParser {
public:
    static const CCommandSpec& Spec();
    static CCatalogueCommandLine Parse(const std::vector<std::string>& args);
};
