#include "CompareCommand.h"

#include "AbsolutePath.h"
#include "Catalogue.h"
#include "CompareCommandLine.h"
#include "JsonText.h"
#include "ManifestPath.h"
#include "ReportComparer.h"
#include "ReportFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitBadUsage = 2;
constexpr int kExitFailed = 3;
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

const char* CCompareCommand::Usage() {
    return "Usage: stowlist-cli compare [OPTION]... OLD NEW\n"
           "Compares two reports of one medium or folder, neither of them mounted: what\n"
           "changed from OLD to NEW. One line per difference, KIND<TAB>PATH<TAB>DETAIL,\n"
           "where KIND is changed, missing, new, moved or corrupt, in OLD's order; then\n"
           "the counts. Paths are relative to each report's base, so a medium catalogued\n"
           "under another mount point compares clean.\n"
           "\n"
           "  --old-log FILE, --new-log FILE\n"
           "                       the archive log of an archive report (default: the catalogue's)\n"
           "  --old-manifest FILE, --new-manifest FILE\n"
           "                       a report's checksum manifest (default: beside the report,\n"
           "                       .sha256 for .txt, or the catalogue's)\n"
           "  --no-checksums       no digests, even with manifests\n"
           "  --all                ok lines too\n"
           "  --folders            instead: the folders whose totals differ, FOLDER<TAB>\n"
           "                       files in OLD<TAB>files in NEW<TAB>bytes in OLD<TAB>bytes in NEW\n"
           "  --json               one JSON object per line, the counts last\n"
           "  --catalogue FILE     the catalogue that knows the reports' logs and manifests\n"
           "  -h, --help           this text\n"
           "\n"
           "Exit status: 0 the reports match, 1 they differ, 2 bad usage, 3 a report,\n"
           "log or manifest cannot be read.\n";
}

int CCompareCommand::Bad(const std::string& what) {
    std::fprintf(m_pErr, "stowlist-cli compare: %s (stowlist-cli compare --help lists the options)\n", what.c_str());
    return kExitBadUsage;
}

int CCompareCommand::Failed(const std::string& what) {
    std::fprintf(m_pErr, "stowlist-cli compare: %s\n", Utf8::Printable(what).c_str());
    return kExitFailed;
}

int CCompareCommand::Run() {
    const CCompareCommandLine line = CCompareCommandLineParser::Parse(m_arrArgs);
    if (!line.error.empty()) {
        return Bad(line.error);
    }
    if (line.help) {
        std::fputs(Usage(), m_pOut);
        return kExitSame;
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
        if (line.checksums) {
            given.side.m_strManifestPath =
                given.manifest ? absolute(*given.manifest)
                               : ManifestToCheck(given.side.m_strReportPath,
                                                 known ? known->ManifestOf(given.side.m_strReportPath) : "");
        }
    }
    known.reset();

    CReportComparer comparer(std::move(request));
    if (comparer.Run() == CReportComparer::Outcome::Unreadable) {
        return Failed(comparer.Error());
    }
    for (const std::string& hint : comparer.Hints()) {
        std::fprintf(m_pErr, "stowlist-cli compare: %s\n", hint.c_str());
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
    return comparer.Counts().AllOk() ? kExitSame : kExitDifferent;
}
