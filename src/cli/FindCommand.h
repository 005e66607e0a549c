#pragma once

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli find [--catalogue FILE] [--glob] [--files|--folders]
//                   [--medium PREFIX] [--limit N] [--json] TEXT...
// Exit 0 found, 1 nothing found (or no catalogue yet), 2 bad usage, 3 the
// catalogue cannot be read (it exists, or cannot be told not to).
class CFindCommand {
public:
    CFindCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err);
    int Run();

private:
    std::vector<std::string> m_arrArgs;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
