#include "CatalogueCommand.h"
#include "CliRun.h"
#include "CommandLine.h"
#include "CommandMessages.h"
#include "CopiesCommand.h"
#include "CompareCommand.h"
#include "FileLocations.h"
#include "FindCommand.h"
#include "PlanCommand.h"
#include "VerifyCommand.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A standard descriptor that was closed would be handed out again by the
// next open, and the report would land in a file of ours. Fill the gap with
// a descriptor on which writes fail, so the failure is reported instead.
void KeepStandardDescriptorsTaken() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", O_RDONLY | O_NOCTTY); // takes the lowest free number: this one
        }
    }
}

// A first argument that names a command runs it; -1 when it names none.
int RunCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        return -1;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args.front() == "find") {
        return CFindCommand(rest, stdout, stderr).Run();
    }
    if (args.front() == "copies") {
        return CCopiesCommand(rest, stdout, stderr).Run();
    }
    if (args.front() == "catalogue") {
        return CCatalogueCommand(rest, stdout, stderr).Run();
    }
    if (args.front() == "plan") {
        return CPlanCommand(rest, FileLocations::SettingsFile("stowlist"), FileLocations::CatalogueFile(), stdout,
                            stderr)
            .Run();
    }
    if (args.front() == "compare") {
        return CCompareCommand(rest, FileLocations::CatalogueFile(), stdout, stderr).Run();
    }
    if (args.front() == "verify") {
        return CVerifyCommand(rest, FileLocations::SettingsFile("stowlist"), FileLocations::CatalogueFile(), stdout,
                              stderr)
            .Run();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    KeepStandardDescriptorsTaken();
    std::setlocale(LC_ALL, ""); // messages in the user's language; the report has its own locale
    tzset();
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (const int status = RunCommand(args); status >= 0) {
            return status;
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "stowlist-cli: %s\n", failure.what());
        return kExitFailed;
    }
    const CCommandLine commandLine = CCommandLineParser::Parse(args);
    if (const int status =
            CCommandMessages::Answer(CCommandLineParser::Spec(), commandLine.action, commandLine.error, stdout, stderr);
        status >= 0) {
        return status;
    }
    try {
        return CCliRun(commandLine, FileLocations::SettingsFile("stowlist"), FileLocations::CatalogueFile(), stderr)
            .Run();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "stowlist-cli: %s\n", failure.what());
        return kExitFailed;
    }
}
