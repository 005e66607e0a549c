#pragma once

#include "FindQuery.h"
#include "OptionScanner.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What stowlist-cli find was asked to do.
struct CFindCommandLine {
    CliAction action = CliAction::Run;
    std::string error; // BadUsage: one printable line
    CFindQuery query;
    std::optional<std::string> catalogue; // none: the default catalogue
    std::size_t limit = static_cast<std::size_t>(-1);
    bool json = false;
};

// The arguments after "find": a pure function of them, which never prints.
class CFindCommandLineParser {
public:
    static const CCommandSpec& Spec();
    static CFindCommandLine Parse(const std::vector<std::string>& args);
};
