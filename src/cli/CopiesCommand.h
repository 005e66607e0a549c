#pragma once

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli copies [--catalogue FILE] [--fewer-than N | --at-least N]
//                     [--medium PREFIX] [--by name] [--summary] [--json] [TEXT...]
// Exit 0 something printed, 1 nothing matches (or no catalogue yet), 2 bad
// usage, 3 the catalogue cannot be read.
class CCopiesCommand {
public:
    CCopiesCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err);
    int Run();

private:
    std::vector<std::string> m_arrArgs;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
