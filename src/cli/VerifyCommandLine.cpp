#include "VerifyCommandLine.h"

#include "Utf8.h"

CVerifyCommandLine CVerifyCommandLineParser::Parse(const std::vector<std::string>& args) {
    CVerifyCommandLine line;
    const auto bad = [&](const std::string& what) {
        line.error = Utf8::Printable(what);
        return line;
    };
    std::vector<std::string> positional;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(args[i]);
            continue;
        }
        std::optional<std::string> value;
        const auto equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        if (arg == "--manifest" || arg == "--log" || arg == "--settings" || arg == "--catalogue") {
            std::optional<std::string>& target = arg == "--manifest" ? line.manifest
                                                 : arg == "--log"     ? line.log
                                                 : arg == "--settings" ? line.settings
                                                                       : line.catalogue;
            if (!value && i + 1 < args.size()) {
                value = args[++i];
            }
            if (!value || value->empty()) {
                return bad(arg + " needs a value");
            }
            target = std::move(value);
            continue;
        }
        if (value) {
            return bad(arg + " takes no value");
        }
        if (arg == "--") {
            onlyPaths = true;
        } else if (arg == "--help") {
            line.help = true;
        } else if (arg == "--no-checksums") {
            line.checksums = false;
        } else if (arg == "--all") {
            line.all = true;
        } else if (arg == "--json") {
            line.json = true;
        } else if (arg == "--include-hidden" || arg == "--exclude-hidden") {
            line.excludeHidden = arg == "--exclude-hidden";
        } else if (arg == "--subfolders" || arg == "--no-subfolders") {
            line.excludeSubFolders = arg == "--no-subfolders";
        } else if (arg == "--keep-empty" || arg == "--exclude-empty") {
            line.excludeEmptyFolders = arg == "--exclude-empty";
        } else {
            return bad("unknown option " + arg);
        }
    }
    if (line.help) {
        return line;
    }
    if (positional.size() < 2) {
        return bad(positional.empty() ? "verify needs a REPORT and a PATH" : "verify needs a PATH to check");
    }
    if (line.manifest && !line.checksums) {
        return bad("--manifest and --no-checksums exclude each other");
    }
    line.report = positional.front();
    line.paths.assign(positional.begin() + 1, positional.end());
    return line;
}
