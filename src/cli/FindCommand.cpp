#include "FindCommand.h"

#include "Catalogue.h"
#include "CommandMessages.h"
#include "ExitStatus.h"
#include "FindCommandLine.h"
#include "FindHitLine.h"
#include "JsonText.h"
#include "QueriedCatalogue.h"

CFindCommand::CFindCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_pOut(out), m_pErr(err) {}

int CFindCommand::Run() {
    const CFindCommandLine command = CFindCommandLineParser::Parse(m_arrArgs);
    const CCommandSpec& spec = CFindCommandLineParser::Spec();
    if (const int status = CCommandMessages::Answer(spec, command.action, command.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }
    const CFindQuery& query = command.query;
    const CQueriedCatalogue opened = OpenQueriedCatalogue(command.catalogue, spec.name, m_pErr);
    if (!opened.m_pCatalogue) {
        return opened.m_nStatus;
    }
    CCatalogue& catalogue = *opened.m_pCatalogue;
    // Hits are printed as they come: a million of them are never held at once.
    std::string line;
    const CFindResult result = catalogue.Find(query, command.limit, 0, [&](const CFindHit& hit) {
        line.clear();
        if (command.json) {
            line += "{\"medium\":";
            JsonText::AppendString(line, hit.m_strMedium, false);
            line += ",\"folder\":";
            JsonText::AppendString(line, hit.m_strFolder, hit.m_bFolderWindows1252);
            line += ",\"name\":";
            JsonText::AppendString(line, hit.m_strName, hit.m_bWindows1252);
            line += ",\"size\":" + (hit.m_bFolder ? std::string("null") : std::to_string(hit.m_nSize));
            line += ",\"date\":";
            JsonText::AppendString(line, hit.m_strDate, hit.m_bWindows1252);
            line += ",\"time\":";
            JsonText::AppendString(line, hit.m_strTime, hit.m_bWindows1252);
            line += ",\"report\":";
            JsonText::AppendString(line, hit.m_strReport, false);
            line += ",\"line\":" + std::to_string(hit.m_nLine) + "}\n";
        } else {
            AppendFindHitLine(line, hit);
            line.push_back('\n');
        }
        std::fwrite(line.data(), 1, line.size(), m_pOut);
    });
    for (const std::string& warning : catalogue.TakeWarnings()) {
        CCommandMessages::Print(m_pErr, spec.name, warning);
    }
    if (result.m_bFailed) {
        CCommandMessages::Print(m_pErr, spec.name, catalogue.LastError());
        return kExitFailed;
    }
    return result.m_nTotal > 0 ? kExitOk : kExitNothing;
}
