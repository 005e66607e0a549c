#include "FindCommandLine.h"

#include "StringTable.h"
#include "TextFormat.h"

#include <array>
#include <charconv>

namespace {

constexpr std::array<COptionSpec, 7> kOptions = {{
    {"--catalogue", 0, true, IDS_FIND_HELP_CATALOGUE},
    {"--glob", 0, false, IDS_FIND_HELP_GLOB},
    {"--files", 0, false, IDS_FIND_HELP_FILES},
    {"--folders", 0, false, IDS_FIND_HELP_FOLDERS},
    {"--medium", 0, true, IDS_FIND_HELP_MEDIUM},
    {"--limit", 0, true, IDS_FIND_HELP_LIMIT},
    {"--json", 0, false, IDS_FIND_HELP_JSON},
}};

std::string Take(CFindCommandLine& line, bool& glob, std::string_view name,
                 const std::string& value) {
    if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--glob") {
        glob = true;
    } else if (name == "--files" || name == "--folders") {
        const FindKinds kinds = name == "--files" ? FindKinds::Files : FindKinds::Folders;
        if (line.query.m_kinds != FindKinds::All && line.query.m_kinds != kinds) {
            return LoadString(IDS_FIND_BOTH_KINDS);
        }
        line.query.m_kinds = kinds;
    } else if (name == "--medium") {
        line.query.m_strMediumPrefix = value;
    } else if (name == "--limit") {
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), line.limit);
        if (error != std::errc() || end != value.data() + value.size()) {
            return FormatString(IDS_FIND_BAD_LIMIT, {value});
        }
    } else if (name == "--json") {
        line.json = true;
    }
    return {};
}

} // namespace

const CCommandSpec& CFindCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli find", IDS_FIND_USAGE, IDS_FIND_USAGE_TAIL,
                                   kOptions};
    return spec;
}

CFindCommandLine CFindCommandLineParser::Parse(const std::vector<std::string>& args) {
    CFindCommandLine line;
    bool glob = false;
    CScan scan = COptionScanner::Scan(Spec(), args,
                                      [&](const COptionSpec& option, const std::string& value) {
                                          return Take(line, glob, option.name, value);
                                      });
    line.action = scan.action;
    line.error = std::move(scan.error);
    line.query.m_arrTexts = std::move(scan.operands);
    if (line.action != CliAction::Run) {
        return line;
    }
    if (line.query.m_arrTexts.empty()) {
        line.error = LoadString(IDS_FIND_NO_TEXT);
    } else if (glob && (line.query.m_arrTexts.size() != 1 || line.query.m_arrTexts.front().empty())) {
        // An empty pattern would be taken for no pattern, and find every name.
        line.error = LoadString(IDS_FIND_ONE_PATTERN);
    } else if (glob) {
        line.query.m_strGlob = std::move(line.query.m_arrTexts.front());
        line.query.m_arrTexts.clear();
    }
    if (!line.error.empty()) {
        line.action = CliAction::BadUsage;
    }
    return line;
}
