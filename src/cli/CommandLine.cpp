#include "CommandLine.h"

#include "ArchiveSettings.h"
#include "StringTable.h"
#include "TextFormat.h"

#include <array>
#include <charconv>
#include <climits>
#include <string_view>

namespace {

constexpr std::array<COptionSpec, 28> kOptions = {{
    {"--output", 'o', true, IDS_RUN_HELP_OUTPUT},
    {"--settings", 0, true, IDS_RUN_HELP_SETTINGS},
    {"--archive", 0, false, IDS_RUN_HELP_TYPE},
    {"--listing", 0, false, IDS_RUN_HELP_TYPE},
    {"--tabbed", 0, false, IDS_RUN_HELP_LAYOUT},
    {"--padded", 0, false, IDS_RUN_HELP_LAYOUT},
    {"--dirs-only", 0, false, IDS_RUN_HELP_DIRS_ONLY},
    {"--no-dirs-only", 0, false, IDS_RUN_HELP_DIRS_ONLY},
    {"--exclude-empty", 0, false, IDS_RUN_HELP_EMPTY},
    {"--keep-empty", 0, false, IDS_RUN_HELP_EMPTY},
    {"--exclude-hidden", 0, false, IDS_RUN_HELP_HIDDEN},
    {"--include-hidden", 0, false, IDS_RUN_HELP_HIDDEN},
    {"--no-subfolders", 0, false, IDS_RUN_HELP_SUBFOLDERS},
    {"--subfolders", 0, false, IDS_RUN_HELP_SUBFOLDERS},
    {"--grouping", 0, false, IDS_RUN_HELP_GROUPING},
    {"--no-grouping", 0, false, IDS_RUN_HELP_GROUPING},
    {"--media-type", 0, true, IDS_RUN_HELP_MEDIA_TYPE},
    {"--media-number", 0, true, IDS_RUN_HELP_NUMBERS},
    {"--archive-number", 0, true, IDS_RUN_HELP_NUMBERS},
    {"--multiple-archives", 0, false, IDS_RUN_HELP_ARCHIVES},
    {"--single-archive", 0, false, IDS_RUN_HELP_ARCHIVES},
    {"--log", 0, true, IDS_RUN_HELP_LOG},
    {"--catalogue", 0, true, IDS_RUN_HELP_CATALOGUE},
    {"--no-catalogue", 0, false, IDS_RUN_HELP_NO_CATALOGUE},
    {"--checksums", 0, false, IDS_RUN_HELP_CHECKSUMS},
    {"--no-checksums", 0, false, IDS_RUN_HELP_CHECKSUMS},
    {"--manifest", 0, true, IDS_RUN_HELP_MANIFEST},
    {"--quiet", 'q', false, IDS_RUN_HELP_QUIET},
}};

// Switches that set an option of the "Options" section.
struct OptionSwitch {
    std::string_view name;
    Option option;
    int value;
};
constexpr std::array<OptionSwitch, 14> kOptionSwitches = {{
    {"--archive", Option::ProcessType, kProcessArchive},
    {"--listing", Option::ProcessType, kProcessListing},
    {"--tabbed", Option::OutputFormat, 0},
    {"--padded", Option::OutputFormat, 1},
    {"--dirs-only", Option::DirectoryOnly, 1},
    {"--no-dirs-only", Option::DirectoryOnly, 0},
    {"--exclude-empty", Option::ExcludeEmptyFolders, 1},
    {"--keep-empty", Option::ExcludeEmptyFolders, 0},
    {"--exclude-hidden", Option::ExcludeHiddenSystemInfo, 1},
    {"--include-hidden", Option::ExcludeHiddenSystemInfo, 0},
    {"--no-subfolders", Option::ExcludeSubFolders, 1},
    {"--subfolders", Option::ExcludeSubFolders, 0},
    {"--grouping", Option::FormatFileSize, 1},
    {"--no-grouping", Option::FormatFileSize, 0},
}};

// Takes one option into the command line; a reason when its value is wrong.
std::string Take(CCommandLine& line, std::string_view name, const std::string& value) {
    for (const OptionSwitch& option : kOptionSwitches) {
        if (name == option.name) {
            line.options.emplace_back(option.option, option.value);
            return {};
        }
    }
    if (name == "--output") {
        line.output = value == "-" ? std::nullopt : std::optional<std::string>(value);
    } else if (name == "--settings") {
        line.settings = value;
    } else if (name == "--log") {
        line.log = value;
    } else if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--manifest") {
        line.manifest = value;
    } else if (name == "--media-type") {
        const int index = CArchiveSettings::FindMediaType(value);
        if (index < 0) {
            return FormatString(IDS_CLI_BAD_MEDIA_TYPE, {value});
        }
        line.archive.mediaType =
            std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(index)]);
    } else if (name == "--media-number" || name == "--archive-number") {
        int number = 0;
        if (!CCommandLineParser::ParseWholeNumber(value, number)) {
            return FormatString(IDS_CLI_BAD_NUMBER, {name, value});
        }
        (name == "--media-number" ? line.archive.mediaNumber : line.archive.archiveNumber) = number;
    } else if (name == "--multiple-archives" || name == "--single-archive") {
        line.archive.multipleArchive = name == "--multiple-archives" ? 1 : 0;
    } else if (name == "--quiet") {
        line.quiet = true;
    } else if (name == "--no-catalogue") {
        line.noCatalogue = true;
    } else if (name == "--checksums" || name == "--no-checksums") {
        line.checksums = name == "--checksums";
    }
    return {};
}

} // namespace

const CCommandSpec& CCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli", IDS_RUN_USAGE, IDS_RUN_USAGE_TAIL, kOptions};
    return spec;
}

CCommandLine CCommandLineParser::Parse(const std::vector<std::string>& args) {
    CCommandLine line;
    CScan scan = COptionScanner::Scan(Spec(), args,
                                      [&line](const COptionSpec& option, const std::string& value) {
                                          return Take(line, option.name, value);
                                      });
    line.action = scan.action;
    line.error = std::move(scan.error);
    line.paths = std::move(scan.operands);
    if (line.action == CliAction::Run && line.paths.empty()) {
        line.action = CliAction::BadUsage;
        line.error = LoadString(IDS_CLI_NO_PATH);
    }
    return line;
}

bool CCommandLineParser::ParseWholeNumber(const std::string& text, int& value) {
    // Digits only: no sign, no spaces.
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = number;
    return true;
}

std::string CCommandLineParser::Usage() {
    return COptionScanner::Usage(Spec());
}
