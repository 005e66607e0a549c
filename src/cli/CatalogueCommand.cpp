#include "CatalogueCommand.h"

#include "Catalogue.h"
#include "CliRun.h"
#include "FileLocations.h"
#include "Utf8.h"

namespace {

const char* StateName(SourceState state) {
    switch (state) {
    case SourceState::Ok:
        return "ok";
    case SourceState::Changed:
        return "changed";
    case SourceState::Missing:
        return "missing";
    case SourceState::Unreadable:
        return "unreadable";
    }
    return "unreadable";
}

const char* KindName(SourceKind kind) {
    switch (kind) {
    case SourceKind::Report:
        return "report";
    case SourceKind::Log:
        return "log";
    case SourceKind::Folder:
        return "folder";
    }
    return "report";
}

} // namespace

CCatalogueCommand::CCatalogueCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_pOut(out), m_pErr(err) {}

const char* CCatalogueCommand::Usage() {
    return "Usage: stowlist-cli catalogue [--catalogue FILE] add|remove PATH...\n"
           "       stowlist-cli catalogue [--catalogue FILE] refresh|list\n"
           "Keeps the catalogue of reports that find searches.\n"
           "\n"
           "  add PATH...     adds report files, archive logs and folders of reports (searched recursively)\n"
           "  remove PATH...  forgets them\n"
           "  refresh         reads changed reports again and looks for new ones in the folders\n"
           "  list            one line per source: state, kind, entries, path (tab-separated)\n"
           "  --catalogue FILE  the catalogue (default $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"
           "\n"
           "Exit status: 0 done, 2 bad usage, 3 the catalogue cannot be opened or written,\n"
           "or a path to add does not exist.\n";
}

int CCatalogueCommand::Run() {
    std::string cataloguePath = FileLocations::CatalogueFile();
    std::string action;
    std::vector<std::string> paths;
    const auto bad = [&](const std::string& what) {
        std::fprintf(m_pErr, "stowlist-cli catalogue: %s (stowlist-cli catalogue --help lists the options)\n",
                     what.c_str());
        return static_cast<int>(kExitBadUsage);
    };
    bool onlyPaths = false;
    for (std::size_t i = 0; i < m_arrArgs.size(); ++i) {
        const std::string& arg = m_arrArgs[i];
        if (!onlyPaths && arg == "--help") {
            std::fputs(Usage(), m_pOut);
            return kExitReportWritten;
        } else if (!onlyPaths && arg == "--catalogue") {
            if (i + 1 >= m_arrArgs.size()) {
                return bad("--catalogue needs a value");
            }
            cataloguePath = m_arrArgs[++i];
        } else if (!onlyPaths && arg == "--") {
            onlyPaths = true;
        } else if (!onlyPaths && arg.size() > 1 && arg[0] == '-') {
            return bad("unknown option " + arg);
        } else if (action.empty()) {
            action = arg;
        } else {
            paths.push_back(arg);
        }
    }
    const bool withPaths = action == "add" || action == "remove";
    if (!withPaths && action != "refresh" && action != "list") {
        return bad(action.empty() ? "catalogue needs add, remove, refresh or list" : "unknown action " + action);
    }
    if (withPaths == paths.empty()) {
        return bad(withPaths ? action + " needs a PATH" : action + " takes no PATH");
    }
    CCatalogue catalogue(cataloguePath);
    if (!catalogue.Open(true)) {
        std::fprintf(m_pErr, "stowlist-cli catalogue: %s\n", catalogue.LastError().c_str());
        return kExitFailed;
    }
    bool ok = true;
    if (action == "add") {
        ok = catalogue.AddPaths(paths);
    } else if (action == "remove") {
        ok = catalogue.Remove(paths);
    } else if (action == "refresh") {
        ok = catalogue.Refresh(true);
    } else {
        std::string line;
        for (const CSourceInfo& source : catalogue.Sources()) {
            line = std::string(StateName(source.m_state)) + "\t" + KindName(source.m_kind) + "\t" +
                   std::to_string(source.m_nEntries) + "\t";
            Utf8::AppendPrintable(line, source.m_strPath);
            line.push_back('\n');
            std::fwrite(line.data(), 1, line.size(), m_pOut);
        }
    }
    for (const std::string& warning : catalogue.TakeWarnings()) {
        std::fprintf(m_pErr, "stowlist-cli catalogue: %s\n", warning.c_str());
    }
    if (!ok) {
        std::fprintf(m_pErr, "stowlist-cli catalogue: %s\n", catalogue.LastError().c_str());
        return kExitFailed;
    }
    return kExitReportWritten;
}
