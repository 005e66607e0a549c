#pragma once

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli catalogue [--catalogue FILE] add|remove|refresh|list [PATH...]
// Exit 0, 2 bad usage, 3 the catalogue cannot be opened or written, or a
// path to add does not exist.
class CCatalogueCommand {
public:
    CCatalogueCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err);
    int Run();

private:
    std::vector<std::string> m_arrArgs;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
