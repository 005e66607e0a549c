#pragma once

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli verify [--manifest FILE] [--log FILE] [--no-checksums] [--all]
//                     [--json] [OPTION]... REPORT PATH...
// Checks what PATH holds now against REPORT (and its manifest): one line per
// difference, then the counts. Exit 0 all ok, 1 differences, 2 bad usage,
// 3 REPORT, the manifest or a PATH cannot be read.
class CVerifyCommand {
public:
    // The default settings file and catalogue, used unless the command line names others.
    CVerifyCommand(std::vector<std::string> args, std::string settingsPath, std::string cataloguePath,
                   std::FILE* out, std::FILE* err);
    int Run();

private:
    int Failed(const std::string& what);

    std::vector<std::string> m_arrArgs;
    std::string m_strSettingsPath;
    std::string m_strCataloguePath;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
