#pragma once

#include "CommandLine.h"
#include "ExitStatus.h"

#include <cstdio>
#include <string>
#include <vector>

class CCatalogEngine;
class CCliHost;

// One run of stowlist-cli: the PATHs dropped on the engine as the window
// drops them, the sort waited for, then the report (and the log) written as
// the export writes them, each file put in place only when all are complete.
class CCliRun {
public:
    // `defaultSettings`: the desktop program's settings file; `defaultCatalogue`:
    // the catalogue that a report written to a file joins.
    CCliRun(const CCommandLine& commandLine, std::string defaultSettings, std::string defaultCatalogue,
            std::FILE* errors);

    int Run();

private:
    int Fail(int status, const std::string& message);
    // The PATHs as the engine takes them; see the definition for root drops.
    std::vector<std::string> DroppedPaths() const;
    int WriteFiles(CCatalogEngine& engine);
    void AddToCatalogue(const std::string& logText, bool manifestWritten);
    // Writes the manifest of a drop with checksums and names the files that
    // could not be read; the exit status.
    int WriteManifest();

    const CCommandLine& m_commandLine;
    std::string m_strDefaultSettings;
    std::string m_strCatalogue; // absolute; empty when the report is not added
    std::FILE* m_pErrors;
    CCliHost* m_pHost = nullptr; // while Run() runs
    std::vector<std::string> m_arrPaths; // absolute, in the order given
    std::string m_strOutput;             // absolute; empty for standard output
    std::string m_strLog;                // absolute; empty for none
    std::string m_strManifest;           // absolute; empty without checksums
};
