#include "CliRun.h"
#include "CommandLine.h"
#include "FileLocations.h"

#include <clocale>
#include <cstdio>
#include <ctime>
#include <exception>

#ifndef STOWLIST_VERSION
#error "STOWLIST_VERSION must come from the build"
#endif

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, ""); // messages in the user's language; the report has its own locale
    tzset();
    const CCommandLine commandLine = CCommandLineParser::Parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (commandLine.action) {
    case CliAction::Help:
        std::fputs(CCommandLineParser::Usage(), stdout);
        return kExitReportWritten;
    case CliAction::Version:
        std::printf("stowlist-cli %s\n", STOWLIST_VERSION);
        return kExitReportWritten;
    case CliAction::BadUsage:
        std::fprintf(stderr, "stowlist-cli: %s (stowlist-cli --help lists the options)\n", commandLine.error.c_str());
        return kExitBadUsage;
    case CliAction::Run:
        break;
    }
    try {
        return CCliRun(commandLine, FileLocations::SettingsFile("stowlist"), stderr).Run();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "stowlist-cli: %s\n", failure.what());
        return kExitFailed;
    }
}
