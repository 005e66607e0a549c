#pragma once

#include "OptionScanner.h"

#include <cstdio>
#include <string>
#include <string_view>

// How every command of stowlist-cli speaks on its standard streams. Paths and
// names in messages come from reports, folders and command lines: control
// characters in them are shown as "?", whatever the command.
class CCommandMessages {
public:
    // "NAME: TEXT" and a line end on `err`.
    static void Print(std::FILE* err, std::string_view command, std::string_view text);

    // "NAME: REASON (NAME --help lists the options)" on `err`.
    static void PrintUsageError(std::FILE* err, const CCommandSpec& command,
                                std::string_view reason);

    // Help (on `out`, 0), version (on `out`, 0) and bad usage (on `err`, 2)
    // answered alike by every command; -1 when the command is to run.
    static int Answer(const CCommandSpec& command, CliAction action, std::string_view error,
                      std::FILE* out, std::FILE* err);
};
