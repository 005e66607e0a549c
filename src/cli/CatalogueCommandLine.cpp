#include "CatalogueCommandLine.h"

#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

#include <array>

namespace {

constexpr std::array<COptionSpec, 1> kOptions = {{
    {"--catalogue", 0, true, IDS_CATALOGUE_HELP_CATALOGUE},
}};

} // namespace

const CCommandSpec& CCatalogueCommandLineParser::Spec() {
    static const CCommandSpec spec{"stowlist-cli catalogue", IDS_CATALOGUE_USAGE,
                                   IDS_CATALOGUE_USAGE_TAIL, kOptions};
    return spec;
}

CCatalogueCommandLine CCatalogueCommandLineParser::Parse(const std::vector<std::string>& args) {
    CCatalogueCommandLine line;
    CScan scan =
        COptionScanner::Scan(Spec(), args, [&line](const COptionSpec&, const std::string& value) {
            line.catalogue = value; // its only option
            return std::string();
        });
    line.action = scan.action;
    line.error = std::move(scan.error);
    if (line.action != CliAction::Run) {
        return line;
    }
    if (!scan.operands.empty()) {
        line.verb = scan.operands.front();
        line.paths.assign(scan.operands.begin() + 1, scan.operands.end());
    }
    const bool withPaths = line.verb == "add" || line.verb == "remove";
    if (line.verb.empty()) {
        line.error = LoadString(IDS_CATALOGUE_NO_ACTION);
    } else if (!withPaths && line.verb != "refresh" && line.verb != "compact" && line.verb != "list") {
        line.error = Utf8::Printable(FormatString(IDS_CATALOGUE_UNKNOWN_ACTION, {line.verb}));
    } else if (withPaths && line.paths.empty()) {
        line.error = FormatString(IDS_CATALOGUE_NEEDS_PATH, {line.verb});
    } else if (!withPaths && !line.paths.empty()) {
        line.error = FormatString(IDS_CATALOGUE_NO_PATH_TAKEN, {line.verb});
    }
    if (!line.error.empty()) {
        line.action = CliAction::BadUsage;
    }
    return line;
}
