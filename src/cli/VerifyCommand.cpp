#include "VerifyCommand.h"

#include "AbsolutePath.h"
#include "AppSettings.h"
#include "Catalogue.h"
#include "CommandMessages.h"
#include "ExitStatus.h"
#include "ManifestPath.h"
#include "MediumVerifier.h"
#include "ReportFile.h"
#include "SettingsStore.h"
#include "Utf8.h"
#include "VerifyCommandLine.h"

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

} // namespace

CVerifyCommand::CVerifyCommand(std::vector<std::string> args, std::string settingsPath, std::string cataloguePath,
                               std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_strSettingsPath(std::move(settingsPath)),
      m_strCataloguePath(std::move(cataloguePath)), m_pOut(out), m_pErr(err) {}

int CVerifyCommand::Failed(const std::string& what) {
    CCommandMessages::Print(m_pErr, CVerifyCommandLineParser::Spec().name, what);
    return kExitFailed;
}

int CVerifyCommand::Run() {
    const CVerifyCommandLine line = CVerifyCommandLineParser::Parse(m_arrArgs);
    if (const int status =
            CCommandMessages::Answer(CVerifyCommandLineParser::Spec(), line.action, line.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }
    const std::string workingFolder = AbsolutePath::WorkingFolder();
    if (workingFolder.empty()) {
        return Failed(std::string("cannot find the working folder: ") + std::strerror(errno));
    }
    const auto absolute = [&](const std::string& path) { return AbsolutePath::Make(path, workingFolder); };
    CVerifyRequest request;
    request.m_strReportPath = absolute(line.report);
    for (const std::string& path : line.paths) {
        request.m_arrPaths.push_back(absolute(path));
    }
    request.m_excludeHidden = line.excludeHidden;
    request.m_excludeSubFolders = line.excludeSubFolders;
    request.m_excludeEmptyFolders = line.excludeEmptyFolders;
    request.m_bIncludeOk = line.all;

    CSettingsStore store(line.settings ? absolute(*line.settings) : m_strSettingsPath);
    request.m_settings = CAppSettings(store).Snapshot();

    const std::string cataloguePath = line.catalogue ? absolute(*line.catalogue) : m_strCataloguePath;
    std::optional<CCatalogue> known;
    if (Exists(cataloguePath)) {
        known.emplace(cataloguePath);
        if (!known->Open(false)) {
            known.reset(); // the log and manifest it remembers are a convenience: go on without
        }
    }
    if (line.log) {
        CReportFile file;
        int error = 0;
        if (!file.Load(absolute(*line.log), kLargestLog, error)) {
            return Failed(*line.log + ": " + std::strerror(error));
        }
        request.m_logText = std::move(file.m_strBytes);
    } else if (known) {
        request.m_logText = known->LogOf(request.m_strReportPath);
    }
    if (line.checksums && line.manifest) {
        request.m_strManifestPath = absolute(*line.manifest);
    } else if (line.checksums) {
        const CManifestChoice choice =
            ManifestToCheck(request.m_strReportPath, known ? known->ManifestOf(request.m_strReportPath) : "");
        request.m_strManifestPath = choice.m_strPath;
        if (!choice.m_strIgnoredPath.empty()) {
            CCommandMessages::Print(m_pErr, CVerifyCommandLineParser::Spec().name,
                                    choice.m_strIgnoredPath + ": " + choice.m_strReason +
                                        " (pass --manifest to use it)");
        }
    }
    known.reset();

    const bool showProgress = isatty(fileno(m_pErr)) != 0;
    CMediumVerifier verifier(std::move(request));
    int shownPercent = -1;
    VerifyOutcome outcome = VerifyOutcome::Unreadable;
    std::string failure;
    try {
        outcome = verifier.Run([&](int percent) {
            if (showProgress && percent != shownPercent) {
                shownPercent = percent;
                std::fprintf(m_pErr, "\rChecking: %d%%", percent);
                std::fflush(m_pErr);
            }
        });
    } catch (const std::bad_alloc&) {
        failure = "out of memory while checking " + line.report;
    } catch (const std::exception& thrown) {
        failure = thrown.what();
    }
    if (showProgress && shownPercent >= 0) {
        std::fputs("\r\033[K", m_pErr);
    }
    if (!failure.empty()) {
        return Failed(failure);
    }
    if (outcome == VerifyOutcome::Unreadable) {
        return Failed(verifier.Error());
    }
    for (const std::string& hint : verifier.Hints()) {
        CCommandMessages::Print(m_pErr, CVerifyCommandLineParser::Spec().name, hint);
    }
    std::string text;
    for (const CVerifyLine& account : verifier.Lines()) {
        text = line.json ? VerifyText::JsonLine(account) : VerifyText::Line(account);
        text.push_back('\n');
        std::fwrite(text.data(), 1, text.size(), m_pOut);
    }
    text = line.json ? VerifyText::JsonSummary(verifier.Counts()) : VerifyText::Summary(verifier.Counts());
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), m_pOut);
    if (std::fflush(m_pOut) != 0) {
        return Failed(std::string("cannot write the result: ") + std::strerror(errno));
    }
    return verifier.Counts().AllOk() ? kExitOk : kExitNothing;
}
