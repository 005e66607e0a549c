#include "PlanCommandLine.h"

#include "ArchiveSettings.h"
#include "CommandLine.h"
#include "SizeText.h"
#include "StringTable.h"
#include "TextFormat.h"

#include <array>
#include <string_view>

namespace {

constexpr std::array<COptionSpec, 20> kOptions = {{
    {"--media-type", 0, true, IDS_PLAN_HELP_MEDIA_TYPE},
    {"--capacity", 0, true, IDS_PLAN_HELP_CAPACITY},
    {"--block-size", 0, true, IDS_PLAN_HELP_BLOCK_SIZE},
    {"--reserve", 0, true, IDS_PLAN_HELP_RESERVE},
    {"--media-number", 0, true, IDS_PLAN_HELP_MEDIA_NUMBER},
    {"--multiple-archives", 0, false, IDS_PLAN_HELP_ARCHIVES},
    {"--single-archive", 0, false, IDS_PLAN_HELP_ARCHIVES},
    {"--path-lists", 0, true, IDS_PLAN_HELP_PATH_LISTS},
    {"--output", 'o', true, IDS_PLAN_HELP_OUTPUT},
    {"--log", 0, true, IDS_PLAN_HELP_LOG},
    {"--json", 0, false, IDS_PLAN_HELP_JSON},
    {"--settings", 0, true, IDS_PLAN_HELP_SETTINGS},
    {"--catalogue", 0, true, IDS_PLAN_HELP_CATALOGUE},
    {"--no-catalogue", 0, false, IDS_PLAN_HELP_CATALOGUE},
    {"--exclude-hidden", 0, false, IDS_PLAN_HELP_HIDDEN},
    {"--include-hidden", 0, false, IDS_PLAN_HELP_HIDDEN},
    {"--no-subfolders", 0, false, IDS_PLAN_HELP_SUBFOLDERS},
    {"--subfolders", 0, false, IDS_PLAN_HELP_SUBFOLDERS},
    {"--grouping", 0, false, IDS_PLAN_HELP_GROUPING},
    {"--no-grouping", 0, false, IDS_PLAN_HELP_GROUPING},
}};

struct PlanSwitch {
    std::string_view name;
    Option option;
    int value;
};
constexpr std::array<PlanSwitch, 6> kSwitches = {{
    {"--exclude-hidden", Option::ExcludeHiddenSystemInfo, 1},
    {"--include-hidden", Option::ExcludeHiddenSystemInfo, 0},
    {"--no-subfolders", Option::ExcludeSubFolders, 1},
    {"--subfolders", Option::ExcludeSubFolders, 0},
    {"--grouping", Option::FormatFileSize, 1},
    {"--no-grouping", Option::FormatFileSize, 0},
}};

// A size in bytes, or the reason it is none.
std::string Size(std::string_view name, const std::string& value,
                 std::optional<std::uint64_t>& bytes) {
    std::uint64_t parsed = 0;
    ESizeError reason = ESizeError::kNone;
    if (!CSizeText::Parse(value, parsed, reason)) {
        return FormatString(IDS_PLAN_BAD_SIZE,
                            {name, LoadString(IDS_SIZE_ERROR_FIRST + static_cast<int>(reason))});
    }
    bytes = parsed;
    return {};
}

std::string Take(CPlanCommandLine& line, std::string_view name, const std::string& value) {
    for (const PlanSwitch& option : kSwitches) {
        if (name == option.name) {
            line.options.emplace_back(option.option, option.value);
            return {};
        }
    }
    if (name == "--media-type") {
        const int index = CArchiveSettings::FindMediaType(value);
        if (index < 0) {
            return FormatString(IDS_CLI_BAD_MEDIA_TYPE, {value});
        }
        line.mediaType =
            std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(index)]);
    } else if (name == "--capacity") {
        return Size(name, value, line.capacity);
    } else if (name == "--block-size") {
        return Size(name, value, line.blockSize);
    } else if (name == "--reserve") {
        std::optional<std::uint64_t> reserve;
        std::string reason = Size(name, value, reserve);
        line.reserve = reserve.value_or(line.reserve);
        return reason;
    } else if (name == "--media-number") {
        int number = 0;
        if (!CCommandLineParser::ParseWholeNumber(value, number)) {
            return FormatString(IDS_CLI_BAD_NUMBER, {name, value});
        }
        line.mediaNumber = number;
    } else if (name == "--multiple-archives" || name == "--single-archive") {
        line.multipleArchive = name == "--multiple-archives" ? 1 : 0;
    } else if (name == "--path-lists") {
        line.pathLists = value;
    } else if (name == "--output") {
        line.output = value;
    } else if (name == "--log") {
        line.log = value;
    } else if (name == "--settings") {
        line.settings = value;
    } else if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--no-catalogue") {
        line.noCatalogue = true;
    } else if (name == "--json") {
        line.json = true;
    }
    return {};
}

} // namespace

const CCommandSpec& CPlanCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli plan", IDS_PLAN_USAGE, IDS_PLAN_USAGE_TAIL,
                                   kOptions};
    return spec;
}

CPlanCommandLine CPlanCommandLineParser::Parse(const std::vector<std::string>& args) {
    CPlanCommandLine line;
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
