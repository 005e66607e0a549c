#include "VerifyCommandLine.h"

#include "StringTable.h"

#include <array>

namespace {

constexpr std::array<COptionSpec, 13> kOptions = {{
    {"--manifest", 0, true, IDS_VERIFY_HELP_MANIFEST},
    {"--no-checksums", 0, false, IDS_VERIFY_HELP_NO_CHECKSUMS},
    {"--log", 0, true, IDS_VERIFY_HELP_LOG},
    {"--all", 0, false, IDS_VERIFY_HELP_ALL},
    {"--json", 0, false, IDS_VERIFY_HELP_JSON},
    {"--settings", 0, true, IDS_VERIFY_HELP_SETTINGS},
    {"--catalogue", 0, true, IDS_VERIFY_HELP_CATALOGUE},
    {"--include-hidden", 0, false, IDS_VERIFY_HELP_HIDDEN},
    {"--exclude-hidden", 0, false, IDS_VERIFY_HELP_HIDDEN},
    {"--subfolders", 0, false, IDS_VERIFY_HELP_SUBFOLDERS},
    {"--no-subfolders", 0, false, IDS_VERIFY_HELP_SUBFOLDERS},
    {"--keep-empty", 0, false, IDS_VERIFY_HELP_EMPTY},
    {"--exclude-empty", 0, false, IDS_VERIFY_HELP_EMPTY},
}};

void Take(CVerifyCommandLine& line, std::string_view name, const std::string& value) {
    if (name == "--manifest") {
        line.manifest = value;
    } else if (name == "--log") {
        line.log = value;
    } else if (name == "--settings") {
        line.settings = value;
    } else if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--no-checksums") {
        line.checksums = false;
    } else if (name == "--all") {
        line.all = true;
    } else if (name == "--json") {
        line.json = true;
    } else if (name == "--include-hidden" || name == "--exclude-hidden") {
        line.excludeHidden = name == "--exclude-hidden";
    } else if (name == "--subfolders" || name == "--no-subfolders") {
        line.excludeSubFolders = name == "--no-subfolders";
    } else if (name == "--keep-empty" || name == "--exclude-empty") {
        line.excludeEmptyFolders = name == "--exclude-empty";
    }
}

} // namespace

const CCommandSpec& CVerifyCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli verify", IDS_VERIFY_USAGE, IDS_VERIFY_USAGE_TAIL,
                                   kOptions};
    return spec;
}

CVerifyCommandLine CVerifyCommandLineParser::Parse(const std::vector<std::string>& args) {
    CVerifyCommandLine line;
    CScan scan = COptionScanner::Scan(Spec(), args,
                                      [&line](const COptionSpec& option, const std::string& value) {
                                          Take(line, option.name, value);
                                          return std::string();
                                      });
    line.action = scan.action;
    line.error = std::move(scan.error);
    if (line.action != CliAction::Run) {
        return line;
    }
    if (scan.operands.size() < 2) {
        line.error = LoadString(scan.operands.empty() ? IDS_VERIFY_NO_REPORT : IDS_VERIFY_NO_PATH);
    } else if (line.manifest && !line.checksums) {
        line.error = LoadString(IDS_VERIFY_MANIFEST_WITHOUT_CHECKSUMS);
    }
    if (!line.error.empty()) {
        line.action = CliAction::BadUsage;
        return line;
    }
    line.report = scan.operands.front();
    line.paths.assign(scan.operands.begin() + 1, scan.operands.end());
    return line;
}
