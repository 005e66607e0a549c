#include "CopiesCommand.h"

#include "Catalogue.h"
#include "CommandMessages.h"
#include "CopiesCommandLine.h"
#include "ExitStatus.h"
#include "JsonText.h"
#include "QueriedCatalogue.h"
#include "Utf8.h"

namespace {

constexpr std::size_t kFlushBytes = std::size_t{1} << 16;

// A medium's name in the comma-separated list: commas, tabs and control characters as "?".
void AppendMedium(std::string& line, std::string_view medium) {
    const std::size_t from = line.size();
    Utf8::AppendPrintable(line, medium);
    for (std::size_t i = from; i < line.size(); ++i) {
        if (line[i] == ',') {
            line[i] = '?';
        }
    }
}

void AppendHex(std::string& line, const EntryDigest& digest) {
    static const char* const kDigits = "0123456789abcdef";
    for (const std::uint8_t byte : digest) {
        line.push_back(kDigits[byte >> 4]);
        line.push_back(kDigits[byte & 15]);
    }
}

void AppendGroupLine(std::string& line, const CCopyGroup& group, bool json) {
    if (json) {
        line += "{\"copies\":" + std::to_string(group.m_nCopies) + ",\"media\":[";
        for (std::size_t i = 0; i < group.m_arrMedia.size(); ++i) {
            line += i ? "," : "";
            JsonText::AppendString(line, group.m_arrMedia[i], false);
        }
        line += "],\"folder\":";
        JsonText::AppendString(line, group.m_strFolder, group.m_bFolderWindows1252);
        line += ",\"name\":";
        JsonText::AppendString(line, group.m_strName, group.m_bWindows1252);
        line += ",\"size\":" + std::to_string(group.m_nSize) + ",\"sha256\":";
        if (group.m_digest) {
            line.push_back('"');
            AppendHex(line, *group.m_digest);
            line.push_back('"');
        } else {
            line += "null";
        }
        line += "}\n";
        return;
    }
    line += std::to_string(group.m_nCopies);
    line.push_back('\t');
    for (std::size_t i = 0; i < group.m_arrMedia.size(); ++i) {
        line += i ? "," : "";
        AppendMedium(line, group.m_arrMedia[i]);
    }
    line.push_back('\t');
    Utf8::AppendPrintable(line, group.m_strFolder);
    line.push_back('\t');
    Utf8::AppendPrintable(line, group.m_strName);
    line.push_back('\t');
    line += std::to_string(group.m_nSize);
    line.push_back('\n');
}

std::string MediumLine(const CMediumCopies& medium, bool json) {
    std::string line;
    if (json) {
        line = "{\"medium\":";
        JsonText::AppendString(line, medium.m_strMedium, false);
        line += ",\"files\":" + std::to_string(medium.m_nFiles) + ",\"bytes\":" + std::to_string(medium.m_nBytes) +
                ",\"only_here_files\":" + std::to_string(medium.m_nOnlyHereFiles) +
                ",\"only_here_bytes\":" + std::to_string(medium.m_nOnlyHereBytes) + "}\n";
        return line;
    }
    Utf8::AppendPrintable(line, medium.m_strMedium);
    line += "\t" + std::to_string(medium.m_nFiles) + "\t" + std::to_string(medium.m_nBytes) + "\t" +
            std::to_string(medium.m_nOnlyHereFiles) + "\t" + std::to_string(medium.m_nOnlyHereBytes) + "\n";
    return line;
}

} // namespace

CCopiesCommand::CCopiesCommand(std::vector<std::string> args, std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_pOut(out), m_pErr(err) {}

int CCopiesCommand::Run() {
    const CCopiesCommandLine command = CCopiesCommandLineParser::Parse(m_arrArgs);
    const CCommandSpec& spec = CCopiesCommandLineParser::Spec();
    if (const int status = CCommandMessages::Answer(spec, command.action, command.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }
    const CQueriedCatalogue opened = OpenQueriedCatalogue(command.catalogue, spec.name, m_pErr);
    if (!opened.m_pCatalogue) {
        return opened.m_nStatus;
    }
    CCatalogue& catalogue = *opened.m_pCatalogue;
    // Groups are printed as they come, a buffer's worth at a time: a catalogue's worth of them is never held.
    std::size_t printed = 0;
    std::string buffer;
    const auto flush = [&] {
        printed += buffer.empty() || std::fwrite(buffer.data(), 1, buffer.size(), m_pOut) == 0 ? 0 : 1;
        buffer.clear();
    };
    const CCopiesResult result = catalogue.Copies(command.query, command.summary, [&](const CCopyGroup& group) {
        AppendGroupLine(buffer, group, command.json);
        if (buffer.size() >= kFlushBytes) {
            flush();
        }
    });
    flush();
    for (const std::string& warning : catalogue.TakeWarnings()) {
        CCommandMessages::Print(m_pErr, spec.name, warning);
    }
    if (result.m_bFailed) {
        CCommandMessages::Print(m_pErr, spec.name, catalogue.LastError());
        return kExitFailed;
    }
    for (const CMediumCopies& medium : result.m_arrMedia) {
        const std::string line = MediumLine(medium, command.json);
        printed += std::fwrite(line.data(), 1, line.size(), m_pOut) > 0 ? 1 : 0;
    }
    return printed > 0 ? kExitOk : kExitNothing;
}
