#include "CompareCommandLine.h"

#include "Utf8.h"

CCompareCommandLine CCompareCommandLineParser::Parse(const std::vector<std::string>& args) {
    CCompareCommandLine line;
    const auto bad = [&](const std::string& what) {
        line.error = Utf8::Printable(what);
        return line;
    };
    std::vector<std::string> positional;
    bool onlyReports = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyReports || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(args[i]);
            continue;
        }
        std::optional<std::string> value;
        const auto equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        std::optional<std::string>* target = arg == "--catalogue"      ? &line.catalogue
                                             : arg == "--old-log"      ? &line.oldLog
                                             : arg == "--new-log"      ? &line.newLog
                                             : arg == "--old-manifest" ? &line.oldManifest
                                             : arg == "--new-manifest" ? &line.newManifest
                                                                       : nullptr;
        if (target != nullptr) {
            if (!value && i + 1 < args.size()) {
                value = args[++i];
            }
            if (!value || value->empty()) {
                return bad(arg + " needs a value");
            }
            *target = std::move(value);
            continue;
        }
        if (value) {
            return bad(arg + " takes no value");
        }
        if (arg == "--") {
            onlyReports = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--no-checksums") {
            line.checksums = false;
        } else if (arg == "--all") {
            line.all = true;
        } else if (arg == "--folders") {
            line.folders = true;
        } else if (arg == "--json") {
            line.json = true;
        } else {
            return bad("unknown option " + arg);
        }
    }
    if (line.help) {
        return line;
    }
    if (positional.size() != 2) {
        return bad(positional.size() < 2 ? "compare needs two reports, OLD and NEW" : "compare takes two reports");
    }
    if (positional[0].empty() || positional[1].empty()) {
        return bad("a report's name is empty");
    }
    if ((line.oldManifest || line.newManifest) && !line.checksums) {
        return bad("a manifest and --no-checksums exclude each other");
    }
    if (line.all && line.folders) {
        return bad("--all and --folders exclude each other");
    }
    line.oldReport = positional[0];
    line.newReport = positional[1];
    return line;
}
