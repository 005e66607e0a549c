#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a command line asks for once its options are read.
enum class CliAction { Run, Help, Version, BadUsage };

// One option a command knows. Options are long ("--output"), given as
// "--output VALUE" or "--output=VALUE", exact names only; an alias is one
// letter ("-o"), given as "-o VALUE", "-oVALUE" or in a cluster ("-qo VALUE").
struct COptionSpec {
    std::string_view name; // with its dashes
    char alias = 0;        // 0: none
    bool takesValue = false;
    int help = 0; // string id of the --help line that names it; options may share a line
};

// A command's name, as its messages start, and its options. "-h", "--help"
// and "--version" are every command's and are not listed.
struct CCommandSpec {
    std::string_view name; // "stowlist-cli" or "stowlist-cli find"...
    int usageHead = 0;     // string id: the --help text before the options
    int usageTail = 0;     // after them
    std::span<const COptionSpec> options;
};

struct CScan {
    CliAction action = CliAction::Run;
    std::string error;                 // BadUsage: one printable line
    std::vector<std::string> operands; // in order
};

// Reads command lines for every command: a pure function of the arguments
// that never prints and never ends the process.
//
// Arguments that do not start with "-", "-" itself and every argument after
// "--" are operands, before or after options. `take` is called for each
// option in the order given, with its spec and value (empty for a flag), and
// answers a reason when the value is wrong, else an empty text. The first
// error ends the scan: an unknown option, a missing or empty value, a value
// given to a flag, or the reason `take` gave. An error wins over help, help
// over version.
class COptionScanner {
public:
    using Take = std::function<std::string(const COptionSpec& option, const std::string& value)>;

    static CScan Scan(const CCommandSpec& command, const std::vector<std::string>& args,
                      const Take& take);

    // The --help text: the head, each option's line once in table order, the tail.
    static std::string Usage(const CCommandSpec& command);

    // "NAME: REASON (NAME --help lists the options)", without a line end.
    static std::string UsageError(const CCommandSpec& command, std::string_view reason);

    // What --version prints, with its line end.
    static std::string Version();
};
