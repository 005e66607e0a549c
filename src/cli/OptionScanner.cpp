#include "OptionScanner.h"

#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

#include <algorithm>
#include <optional>

#ifndef STOWLIST_VERSION
#error "STOWLIST_VERSION must come from the build"
#endif

namespace {

class CScanRun {
public:
    CScanRun(const CCommandSpec& command, const std::vector<std::string>& args,
             const COptionScanner::Take& take)
        : m_command(command), m_args(args), m_take(take) {}

    CScan Run() {
        bool optionsEnded = false;
        while (m_next < m_args.size() && m_scan.error.empty()) {
            const std::string& arg = m_args[m_next++];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                m_scan.operands.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg[1] == '-') {
                LongOption(arg);
            } else {
                ShortOptions(arg);
            }
        }
        if (!m_scan.error.empty()) {
            m_scan.action = CliAction::BadUsage;
        } else if (m_help) {
            m_scan.action = CliAction::Help;
        } else if (m_version) {
            m_scan.action = CliAction::Version;
        }
        return std::move(m_scan);
    }

private:
    void Error(int id, std::string_view option) {
        m_scan.error = Utf8::Printable(FormatString(id, {option}));
    }

    void TakeOption(const COptionSpec& option, std::string_view shownName,
                    const std::optional<std::string>& attached) {
        std::string value;
        if (option.takesValue) {
            if (attached) {
                value = *attached;
            } else if (m_next < m_args.size()) {
                value = m_args[m_next++];
            }
            if (value.empty()) {
                Error(IDS_CLI_NEEDS_VALUE, shownName);
                return;
            }
        } else if (attached) {
            Error(IDS_CLI_TAKES_NO_VALUE, shownName);
            return;
        }
        if (std::string reason = m_take(option, value); !reason.empty()) {
            m_scan.error = Utf8::Printable(reason);
        }
    }

    void LongOption(const std::string& arg) {
        const std::size_t equals = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, equals);
        std::optional<std::string> attached;
        if (equals != std::string::npos) {
            attached = arg.substr(equals + 1);
        }
        const auto known =
            std::find_if(m_command.options.begin(), m_command.options.end(),
                         [name](const COptionSpec& option) { return option.name == name; });
        if (known != m_command.options.end()) {
            TakeOption(*known, name, attached);
        } else if ((name == "--help" || name == "--version") && attached) {
            Error(IDS_CLI_TAKES_NO_VALUE, name);
        } else if (name == "--help") {
            m_help = true;
        } else if (name == "--version") {
            m_version = true;
        } else {
            Error(IDS_CLI_UNKNOWN_OPTION, name);
        }
    }

    // "-h", "-o VALUE", "-oVALUE", and clusters of flags that may end with one
    // option that takes a value: "-qo VALUE", "-qoVALUE".
    void ShortOptions(const std::string& arg) {
        for (std::size_t i = 1; i < arg.size() && m_scan.error.empty(); ++i) {
            const std::string shownName = "-" + std::string(1, arg[i]);
            if (arg[i] == 'h') {
                m_help = true;
                continue;
            }
            const auto known = std::find_if(m_command.options.begin(), m_command.options.end(),
                                            [letter = arg[i]](const COptionSpec& option) {
                                                return option.alias != 0 && option.alias == letter;
                                            });
            if (known == m_command.options.end()) {
                Error(IDS_CLI_UNKNOWN_OPTION, shownName);
                return;
            }
            if (known->takesValue) {
                TakeOption(*known, shownName,
                           i + 1 < arg.size() ? std::optional<std::string>(arg.substr(i + 1))
                                              : std::nullopt);
                return;
            }
            TakeOption(*known, shownName, std::nullopt);
        }
    }

    const CCommandSpec& m_command;
    const std::vector<std::string>& m_args;
    const COptionScanner::Take& m_take;
    std::size_t m_next = 0;
    bool m_help = false;
    bool m_version = false;
    CScan m_scan;
};

} // namespace

CScan COptionScanner::Scan(const CCommandSpec& command, const std::vector<std::string>& args,
                           const Take& take) {
    return CScanRun(command, args, take).Run();
}

std::string COptionScanner::Usage(const CCommandSpec& command) {
    std::string text = LoadString(command.usageHead);
    std::vector<int> shown;
    for (const COptionSpec& option : command.options) {
        if (option.help != 0 && std::find(shown.begin(), shown.end(), option.help) == shown.end()) {
            shown.push_back(option.help);
            text += LoadString(option.help);
        }
    }
    return text + LoadString(command.usageTail);
}

std::string COptionScanner::UsageError(const CCommandSpec& command, std::string_view reason) {
    return FormatString(IDS_CLI_BAD_USAGE, {command.name, Utf8::Printable(reason), command.name});
}

std::string COptionScanner::Version() {
    return std::string("stowlist-cli ") + STOWLIST_VERSION + "\n";
}
