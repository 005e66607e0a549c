#include "CompareCommand.h"

#include "AbsolutePath.h"
#include "Catalogue.h"
#include "CommandMessages.h"
#include "CompareCommandLine.h"
#include "ExitStatus.h"
#include "JsonText.h"
#include "ManifestPath.h"
#include "ReportComparer.h"
#include "ReportFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kLargestLog = std::uint64_t{1} << 30;

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string FolderLine(const CFolderTotals& folder, bool json) {
    if (!json) {
        return folder.m_strFolder + '\t' + std::to_string(folder.m_nOldFiles) + '\t' +
               std::to_string(folder.m_nNewFiles) + '\t' + std::to_string(folder.m_nOldBytes) + '\t' +
               std::to_string(folder.m_nNewBytes);
    }
    std::string text = "{\"folder\":";
    JsonText::AppendString(text, folder.m_strFolder, false);
    text += ",\"old_files\":" + std::to_string(folder.m_nOldFiles) +
            ",\"new_files\":" + std::to_string(folder.m_nNewFiles) +
            ",\"old_bytes\":" + std::to_string(folder.m_nOldBytes) +
            ",\"new_bytes\":" + std::to_string(folder.m_nNewBytes) + "}";
    return text;
}

} // namespace

CCompareCommand::CCompareCommand(std::vector<std::string> args, std::string cataloguePath, std::FILE* out,
                                 std::FILE* err)
    : m_arrArgs(std::move(args)), m_strCataloguePath(std::move(cataloguePath)), m_pOut(out), m_pErr(err) {}

int CCompareCommand::Failed(const std::string& what) {
    CCommandMessages::Print(m_pErr, CCompareCommandLineParser::Spec().name, what);
    return kExitFailed;
}

int CCompareCommand::Run() {
    const CCompareCommandLine line = CCompareCommandLineParser::Parse(m_arrArgs);
    if (const int status =
            CCommandMessages::Answer(CCompareCommandLineParser::Spec(), line.action, line.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }
    const std::string workingFolder = AbsolutePath::WorkingFolder();
    if (workingFolder.empty()) {
        return Failed(std::string("cannot find the working folder: ") + std::strerror(errno));
    }
    const auto absolute = [&](const std::string& path) { return AbsolutePath::Make(path, workingFolder); };
    const std::string cataloguePath = line.catalogue ? absolute(*line.catalogue) : m_strCataloguePath;
    std::optional<CCatalogue> known;
    if (Exists(cataloguePath)) {
        known.emplace(cataloguePath);
        if (!known->Open(false)) {
            known.reset(); // the logs and manifests it remembers are a convenience: go on without
        }
    }
    CCompareRequest request;
    request.m_bIncludeOk = line.all;
    request.m_bFolderTotals = line.folders;
    struct CSideLine {
        const std::string& report;
        const std::optional<std::string>& log;
        const std::optional<std::string>& manifest;
        CCompareSide& side;
    };
    for (const CSideLine& given : {CSideLine{line.oldReport, line.oldLog, line.oldManifest, request.m_old},
                                   CSideLine{line.newReport, line.newLog, line.newManifest, request.m_new}}) {
        given.side.m_strReportPath = absolute(given.report);
        if (given.log) {
            CReportFile file;
            int error = 0;
            if (!file.Load(absolute(*given.log), kLargestLog, error)) {
                return Failed(*given.log + ": " + std::strerror(error));
            }
            given.side.m_logText = std::move(file.m_strBytes);
        } else if (known) {
            given.side.m_logText = known->LogOf(given.side.m_strReportPath);
        }
        if (line.checksums && given.manifest) {
            given.side.m_strManifestPath = absolute(*given.manifest);
        } else if (line.checksums) {
            const CManifestChoice choice = ManifestToCheck(
                given.side.m_strReportPath, known ? known->ManifestOf(given.side.m_strReportPath) : "");
            given.side.m_strManifestPath = choice.m_strPath;
            if (!choice.m_strIgnoredPath.empty()) {
                CCommandMessages::Print(m_pErr, CCompareCommandLineParser::Spec().name,
                                        choice.m_strIgnoredPath + ": " + choice.m_strReason + " (pass --" +
                                            (&given.side == &request.m_old ? "old" : "new") +
                                            "-manifest to use it)");
            }
        }
    }
    known.reset();

    CReportComparer comparer(std::move(request));
    CReportComparer::Outcome outcome = CReportComparer::Outcome::Unreadable;
    try {
        outcome = comparer.Run();
    } catch (const std::bad_alloc&) {
        return Failed("out of memory while comparing " + line.oldReport + " and " + line.newReport);
    }
    if (outcome == CReportComparer::Outcome::Unreadable) {
        return Failed(comparer.Error());
    }
    for (const std::string& hint : comparer.Hints()) {
        CCommandMessages::Print(m_pErr, CCompareCommandLineParser::Spec().name, hint);
    }
    std::string text;
    if (line.folders) {
        for (const CFolderTotals& folder : comparer.Folders()) {
            text = FolderLine(folder, line.json);
            text.push_back('\n');
            std::fwrite(text.data(), 1, text.size(), m_pOut);
        }
    } else {
        for (const CVerifyLine& account : comparer.Lines()) {
            text = line.json ? VerifyText::JsonLine(account) : VerifyText::Line(account);
            text.push_back('\n');
            std::fwrite(text.data(), 1, text.size(), m_pOut);
        }
        text = line.json ? VerifyText::JsonCompareSummary(comparer.Counts())
                         : VerifyText::CompareSummary(comparer.Counts());
        text.push_back('\n');
        std::fwrite(text.data(), 1, text.size(), m_pOut);
    }
    if (std::fflush(m_pOut) != 0) {
        return Failed(std::string("cannot write the result: ") + std::strerror(errno));
    }
    return comparer.Counts().AllOk() ? kExitOk : kExitNothing;
}
