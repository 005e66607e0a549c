#include "CompareCommandLine.h"

#include "StringTable.h"

#include <array>

namespace {

constexpr std::array<COptionSpec, 9> kOptions = {{
    {"--old-log", 0, true, IDS_COMPARE_HELP_LOGS},
    {"--new-log", 0, true, IDS_COMPARE_HELP_LOGS},
    {"--old-manifest", 0, true, IDS_COMPARE_HELP_MANIFESTS},
    {"--new-manifest", 0, true, IDS_COMPARE_HELP_MANIFESTS},
    {"--no-checksums", 0, false, IDS_COMPARE_HELP_NO_CHECKSUMS},
    {"--all", 0, false, IDS_COMPARE_HELP_ALL},
    {"--folders", 0, false, IDS_COMPARE_HELP_FOLDERS},
    {"--json", 0, false, IDS_COMPARE_HELP_JSON},
    {"--catalogue", 0, true, IDS_COMPARE_HELP_CATALOGUE},
}};

void Take(CCompareCommandLine& line, std::string_view name, const std::string& value) {
    if (name == "--old-log") {
        line.oldLog = value;
    } else if (name == "--new-log") {
        line.newLog = value;
    } else if (name == "--old-manifest") {
        line.oldManifest = value;
    } else if (name == "--new-manifest") {
        line.newManifest = value;
    } else if (name == "--catalogue") {
        line.catalogue = value;
    } else if (name == "--no-checksums") {
        line.checksums = false;
    } else if (name == "--all") {
        line.all = true;
    } else if (name == "--folders") {
        line.folders = true;
    } else if (name == "--json") {
        line.json = true;
    }
}

} // namespace

const CCommandSpec& CCompareCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli compare", IDS_COMPARE_USAGE, IDS_COMPARE_USAGE_TAIL, kOptions};
    return spec;
}

CCompareCommandLine CCompareCommandLineParser::Parse(const std::vector<std::string>& args) {
    CCompareCommandLine line;
    CScan scan = COptionScanner::Scan(Spec(), args, [&line](const COptionSpec& option, const std::string& value) {
        Take(line, option.name, value);
        return std::string();
    });
    line.action = scan.action;
    line.error = std::move(scan.error);
    if (line.action != CliAction::Run) {
        return line;
    }
    if (scan.operands.size() != 2) {
        line.error = LoadString(scan.operands.size() < 2 ? IDS_COMPARE_NO_REPORTS : IDS_COMPARE_TWO_REPORTS);
    } else if (scan.operands[0].empty() || scan.operands[1].empty()) {
        line.error = LoadString(IDS_COMPARE_EMPTY_REPORT);
    } else if ((line.oldManifest || line.newManifest) && !line.checksums) {
        line.error = LoadString(IDS_COMPARE_MANIFEST_WITHOUT_CHECKSUMS);
    } else if (line.all && line.folders) {
        line.error = LoadString(IDS_COMPARE_ALL_WITH_FOLDERS);
    }
    if (!line.error.empty()) {
        line.action = CliAction::BadUsage;
        return line;
    }
    line.oldReport = scan.operands[0];
    line.newReport = scan.operands[1];
    return line;
}
