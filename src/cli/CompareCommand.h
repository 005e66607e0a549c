#pragma once

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli compare [--catalogue FILE] [--old-log FILE] [--new-log FILE]
//                      [--old-manifest FILE] [--new-manifest FILE]
//                      [--no-checksums] [--all] [--folders] [--json] OLD NEW
// Compares two reports of one medium or folder: one line per difference in
// OLD's order, then the counts; or, with --folders, the folders whose totals
// differ. Exit 0 the reports match, 1 they differ, 2 bad usage, 3 a report,
// log or manifest cannot be read.
class CCompareCommand {
public:
    // The default catalogue, used unless the command line names another.
    CCompareCommand(std::vector<std::string> args, std::string cataloguePath, std::FILE* out, std::FILE* err);
    int Run();

private:
    int Failed(const std::string& what);

    std::vector<std::string> m_arrArgs;
    std::string m_strCataloguePath;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
