#include "FindCommand.h"

#include "Catalogue.h"
#include "CliRun.h"
#include "FileLocations.h"
#include "FindHitLine.h"
#include "JsonText.h"

#include <charconv>
#include <sys/stat.h>

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNothing = 1;

} // namespace

CFindCommand::CFindCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_pOut(out), m_pErr(err) {}

const char* CFindCommand::Usage() {
    return "Usage: stowlist-cli find [OPTION]... TEXT...\n"
           "Searches the catalogue of reports for entries whose name holds every TEXT,\n"
           "ignoring case. One line per hit: medium, folder, name, size, date, time,\n"
           "REPORT:LINE, separated by tabs, ordered by medium, folder and name.\n"
           "\n"
           "  --catalogue FILE  the catalogue to search (default $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"
           "  --glob            one shell pattern (*, ?, [...]) matched against the whole name\n"
           "  --files           files only\n"
           "  --folders         folders only\n"
           "  --medium PREFIX   hits whose medium tag starts with PREFIX, ignoring case\n"
           "  --limit N         the first N hits only\n"
           "  --json            one JSON object per hit and line\n"
           "  --help            this text\n"
           "\n"
           "Exit status: 0 found, 1 nothing found, 2 bad usage, 3 the catalogue cannot be read.\n";
}

int CFindCommand::Run() {
    CFindQuery query;
    std::string cataloguePath = FileLocations::CatalogueFile();
    bool glob = false, json = false, onlyTexts = false;
    std::size_t limit = static_cast<std::size_t>(-1);
    const auto bad = [&](const std::string& what) {
        std::fprintf(m_pErr, "stowlist-cli find: %s (stowlist-cli find --help lists the options)\n", what.c_str());
        return static_cast<int>(kExitBadUsage);
    };
    for (std::size_t i = 0; i < m_arrArgs.size(); ++i) {
        const std::string& arg = m_arrArgs[i];
        const bool hasValue = i + 1 < m_arrArgs.size();
        if (onlyTexts || arg.empty() || arg[0] != '-' || arg == "-") {
            query.m_arrTexts.push_back(arg);
        } else if (arg == "--") {
            onlyTexts = true;
        } else if (arg == "--help") {
            std::fputs(Usage(), m_pOut);
            return kExitFound;
        } else if (arg == "--glob") {
            glob = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--files" || arg == "--folders") {
            const FindKinds kinds = arg == "--files" ? FindKinds::Files : FindKinds::Folders;
            if (query.m_kinds != FindKinds::All && query.m_kinds != kinds) {
                return bad("--files and --folders exclude each other");
            }
            query.m_kinds = kinds;
        } else if (arg == "--catalogue" && hasValue) {
            cataloguePath = m_arrArgs[++i];
        } else if (arg == "--medium" && hasValue) {
            query.m_strMediumPrefix = m_arrArgs[++i];
        } else if (arg == "--limit" && hasValue) {
            const std::string& text = m_arrArgs[++i];
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), limit);
            if (error != std::errc() || end != text.data() + text.size()) {
                return bad("--limit needs a number, not \"" + text + "\"");
            }
        } else if (arg == "--catalogue" || arg == "--medium" || arg == "--limit") {
            return bad(arg + " needs a value");
        } else {
            return bad("unknown option " + arg);
        }
    }
    if (query.m_arrTexts.empty()) {
        return bad("find needs a TEXT");
    }
    if (glob) {
        if (query.m_arrTexts.size() != 1) {
            return bad("--glob takes one pattern");
        }
        query.m_strGlob = query.m_arrTexts.front();
        query.m_arrTexts.clear();
    }
    struct stat info {};
    if (stat(cataloguePath.c_str(), &info) != 0) {
        return kExitNothing; // no catalogue yet: nothing to find
    }
    CCatalogue catalogue(cataloguePath);
    if (!catalogue.Open(false)) {
        std::fprintf(m_pErr, "stowlist-cli find: %s\n", catalogue.LastError().c_str());
        return kExitFailed;
    }
    const CFindResult result = catalogue.Find(query, limit);
    for (const std::string& warning : catalogue.TakeWarnings()) {
        std::fprintf(m_pErr, "stowlist-cli find: %s\n", warning.c_str());
    }
    if (result.m_bFailed) {
        std::fprintf(m_pErr, "stowlist-cli find: %s\n", catalogue.LastError().c_str());
        return kExitFailed;
    }
    std::string line;
    for (const CFindHit& hit : result.m_arrHits) {
        line.clear();
        if (json) {
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
            line = FindHitLine(hit);
            line.push_back('\n');
        }
        std::fwrite(line.data(), 1, line.size(), m_pOut);
    }
    return result.m_nTotal > 0 ? kExitFound : kExitNothing;
}
