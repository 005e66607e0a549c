#include "CatalogueCommand.h"

#include "Catalogue.h"
#include "CatalogueCommandLine.h"
#include "CatalogueDigests.h"
#include "CommandMessages.h"
#include "ExitStatus.h"
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

int CCatalogueCommand::Run() {
    const CCatalogueCommandLine command = CCatalogueCommandLineParser::Parse(m_arrArgs);
    const CCommandSpec& spec = CCatalogueCommandLineParser::Spec();
    if (const int status = CCommandMessages::Answer(spec, command.action, command.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }
    const std::string& action = command.verb;
    const std::vector<std::string>& paths = command.paths;
    CCatalogue catalogue(command.catalogue ? *command.catalogue : FileLocations::CatalogueFile(),
                         &CatalogueDigests::FromManifest);
    if (!catalogue.Open(true)) {
        CCommandMessages::Print(m_pErr, spec.name, catalogue.LastError());
        return kExitFailed;
    }
    bool ok = true;
    if (action == "add") {
        ok = catalogue.AddPaths(paths);
    } else if (action == "remove") {
        ok = catalogue.Remove(paths);
    } else if (action == "refresh") {
        ok = catalogue.Refresh(true);
    } else if (action == "compact") {
        ok = catalogue.Compact();
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
        CCommandMessages::Print(m_pErr, spec.name, warning);
    }
    if (!ok) {
        CCommandMessages::Print(m_pErr, spec.name, catalogue.LastError());
        return kExitFailed;
    }
    return kExitOk;
}
