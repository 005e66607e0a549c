#include "CommandMessages.h"

#include "ExitStatus.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

namespace {

void PutLine(std::FILE* stream, std::string line) {
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

} // namespace

void CCommandMessages::Print(std::FILE* err, std::string_view command, std::string_view text) {
    PutLine(err, FormatString(IDS_CLI_MESSAGE, {command, Utf8::Printable(text)}));
}

void CCommandMessages::PrintUsageError(std::FILE* err, const CCommandSpec& command,
                                       std::string_view reason) {
    PutLine(err, COptionScanner::UsageError(command, reason));
}

int CCommandMessages::Answer(const CCommandSpec& command, CliAction action, std::string_view error,
                             std::FILE* out, std::FILE* err) {
    switch (action) {
    case CliAction::Help: {
        const std::string usage = COptionScanner::Usage(command);
        std::fwrite(usage.data(), 1, usage.size(), out);
        return kExitOk;
    }
    case CliAction::Version: {
        const std::string version = COptionScanner::Version();
        std::fwrite(version.data(), 1, version.size(), out);
        return kExitOk;
    }
    case CliAction::BadUsage:
        PrintUsageError(err, command, error);
        return kExitBadUsage;
    case CliAction::Run:
        break;
    }
    return -1;
}
