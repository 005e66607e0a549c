#include "CliRun.h"

#include "AbsolutePath.h"
#include "AtomicFile.h"
#include "CatalogEngine.h"
#include "Catalogue.h"
#include "CliHost.h"
#include "CommandMessages.h"
#include "DropPath.h"
#include "ManifestPath.h"
#include "Utf8.h"

#include <cerrno>
#include <optional>
#include <cstring>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Paths in messages are shown printable: a name cannot break the message into lines.
std::string Quoted(const std::string& path) { return "'" + Utf8::Printable(path) + "'"; }

std::string Reason(int error) { return std::strerror(error != 0 ? error : EIO); }

bool Exists(const std::string& path, int& error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        return true;
    }
    error = errno;
    return false;
}

} // namespace

CCliRun::CCliRun(const CCommandLine& commandLine, std::string defaultSettings, std::string defaultCatalogue,
                 std::FILE* errors)
    : m_commandLine(commandLine), m_strDefaultSettings(std::move(defaultSettings)),
      m_strCatalogue(std::move(defaultCatalogue)), m_pErrors(errors) {}

int CCliRun::Fail(int status, const std::string& message) {
    if (m_pHost != nullptr) {
        m_pHost->Complain(message);
    } else {
        CCommandMessages::Print(m_pErrors, CCommandLineParser::Spec().name, message);
    }
    return status;
}

// In a root drop the window hands on only paths that exist, and the engine
// walks each without looking it up first: a later PATH that does not exist
// contributes nothing, so it is left out here rather than logged as an
// archive of its own.
std::vector<std::string> CCliRun::DroppedPaths() const {
    if (!DropPath::IsRootDrop(m_arrPaths)) {
        return m_arrPaths;
    }
    std::vector<std::string> dropped{m_arrPaths[0]};
    int error = 0;
    for (std::size_t i = 1; i < m_arrPaths.size(); ++i) {
        if (Exists(m_arrPaths[i], error)) {
            dropped.push_back(m_arrPaths[i]);
        }
    }
    return dropped;
}

int CCliRun::Run() {
    const std::string workingFolder = AbsolutePath::WorkingFolder();
    const int workingFolderError = errno;
    bool relative = false;
    for (const auto* path :
         {&m_commandLine.output, &m_commandLine.log, &m_commandLine.settings, &m_commandLine.catalogue,
          &m_commandLine.manifest}) {
        relative = relative || (path->has_value() && (*path)->front() != '/');
    }
    for (const std::string& path : m_commandLine.paths) {
        relative = relative || (!path.empty() && path.front() != '/');
    }
    if (relative && workingFolder.empty()) {
        return Fail(kExitFailed, "cannot find the working folder: " + Reason(workingFolderError));
    }
    for (const std::string& path : m_commandLine.paths) {
        m_arrPaths.push_back(AbsolutePath::Make(path, workingFolder));
    }
    if (m_commandLine.output && *m_commandLine.output != "/dev/stdout") {
        m_strOutput = AbsolutePath::Make(*m_commandLine.output, workingFolder);
    }
    if (m_commandLine.log) {
        m_strLog = AbsolutePath::Make(*m_commandLine.log, workingFolder);
    }
    if (m_commandLine.catalogue) {
        m_strCatalogue = AbsolutePath::Make(*m_commandLine.catalogue, workingFolder);
    }
    if (!m_strLog.empty() && m_strLog == m_strOutput) {
        return Fail(kExitBadUsage, "the report and the log cannot be the same file");
    }
    const std::string settingsPath =
        m_commandLine.settings ? AbsolutePath::Make(*m_commandLine.settings, workingFolder) : m_strDefaultSettings;

    CSettingsStore store(settingsPath);
    CAppSettings settings(store);
    if (m_commandLine.noCatalogue ||
        store.GetInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, 1) == 0) {
        m_strCatalogue.clear();
    }
    const bool checksums = m_commandLine.checksums.value_or(
        store.GetInt(CCatalogue::kSettingsSection, CCatalogue::kChecksumsKey, 0) != 0);
    if (checksums) {
        if (m_commandLine.manifest) {
            m_strManifest = AbsolutePath::Make(*m_commandLine.manifest, workingFolder);
        } else if (!m_strOutput.empty()) {
            m_strManifest = ManifestFileFor(m_strOutput);
        } else {
            return Fail(kExitBadUsage, "--checksums with the report on standard output needs --manifest FILE");
        }
        if (m_strManifest == m_strOutput || m_strManifest == m_strLog) {
            return Fail(kExitBadUsage, "the manifest cannot be the report or the log");
        }
    }
    for (const auto& [option, value] : m_commandLine.options) {
        settings.Override(option, value);
    }
    // The report is written below, without Save As, pause or viewer.
    settings.Override(Option::ExportData, 0);
    settings.Override(Option::AutoView, 0);

    CCliHost host(store, m_commandLine.archive, m_pErrors, !m_commandLine.quiet && isatty(fileno(m_pErrors)) != 0);
    m_pHost = &host;
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(0);
    timing.statusInterval = std::chrono::milliseconds(100);
    CCatalogEngine engine(host, settings, CLocaleFormat::FromEnvironment(), timing);
    engine.ResetSession();
    engine.SetChecksums(checksums);

    const auto refusedSettings = [&] {
        if (!host.BadMediaType().empty()) {
            return Fail(kExitBadUsage, "the stored media type " + Quoted(host.BadMediaType()) + " in " +
                                           Quoted(settingsPath) +
                                           " is none of CD, DAT, DLT, JAZ and ZIP: give --media-type");
        }
        return Fail(kExitFailed, "cannot write the settings file " + Quoted(settingsPath) + ": " +
                                     Reason(host.SettingsError()));
    };

    // An archive run reserves its numbers: from reading the stored tags to
    // writing the advanced archive number, concurrent runs take turns.
    const bool archive = settings.Get(Option::ProcessType) != kProcessListing;
    std::optional<CSettingsLock> numbers;
    if (archive) {
        numbers.emplace(store.Lock());
    }
    int error = 0;
    if (DropPath::IsRootDrop(m_arrPaths) && !Exists(m_arrPaths[0], error)) {
        // The window never drops a medium that is not there; the settings are
        // confirmed first all the same, as for any other missing PATH.
        if (archive && !host.RunArchiveSettings(engine.ArchiveSettings())) {
            return refusedSettings();
        }
        return Fail(kExitFailed, "cannot read " + Quoted(m_commandLine.paths[0]) + ": " + Reason(error));
    }

    const DropOutcome outcome = engine.ProcessDrop(DroppedPaths());
    numbers.reset();
    switch (outcome) {
    case DropOutcome::Abandoned:
        return refusedSettings();
    case DropOutcome::PathNotFound: {
        std::string shown = engine.PathNotFound();
        for (std::size_t i = 0; i < m_arrPaths.size(); ++i) {
            if (m_arrPaths[i] == shown) {
                shown = m_commandLine.paths[i];
                break;
            }
        }
        error = ENOENT;
        Exists(engine.PathNotFound(), error);
        return Fail(kExitFailed, "cannot read " + Quoted(shown) + ": " + Reason(error));
    }
    case DropOutcome::NoFiles:
        return kExitNoFiles; // the engine has said so
    case DropOutcome::Cancelled:
        return kExitFailed; // nothing here cancels
    case DropOutcome::Sorting:
        host.WaitForSortDone(std::chrono::milliseconds(250), [&engine] { engine.SpinnerStep(); });
        engine.OnSortDone();
        break;
    case DropOutcome::Ready:
        if (store.LastWriteError() != 0) {
            return Fail(kExitFailed, "cannot write the settings file " + Quoted(settingsPath) + ": " +
                                         Reason(store.LastWriteError()));
        }
        break;
    }
    host.EndProgress();
    return WriteFiles(engine);
}

int CCliRun::WriteFiles(CCatalogEngine& engine) {
    CAtomicFile report;
    CAtomicFile log;
    const std::string reportName = m_strOutput.empty() ? "standard output" : Quoted(*m_commandLine.output);
    const std::string logName = m_commandLine.log ? Quoted(*m_commandLine.log) : std::string();
    if (m_strOutput.empty()) {
        report.Attach(STDOUT_FILENO);
    } else if (!report.Open(m_strOutput)) {
        return Fail(kExitFailed, "cannot write the report to " + reportName + ": " + Reason(report.LastError()));
    }
    if (!m_strLog.empty() && (!log.Open(m_strLog) || !log.Write(engine.Log().Text()))) {
        return Fail(kExitFailed, "cannot write the log to " + logName + ": " + Reason(log.LastError()));
    }
    if (const int error = engine.WriteReport(report); error != 0) {
        return Fail(kExitFailed, "cannot write the report to " + reportName + ": " + Reason(error));
    }
    if (!report.Commit()) {
        return Fail(kExitFailed, "cannot write the report to " + reportName + ": " + Reason(report.LastError()));
    }
    if (!m_strLog.empty() && !log.Commit()) {
        return Fail(kExitFailed, "cannot write the log to " + logName + ": " + Reason(log.LastError()));
    }
    const int status = WriteManifest();
    const bool manifestWritten =
        m_pHost->Checksums() != nullptr && (status == kExitReportWritten || status == kExitChecksumsIncomplete);
    if (!m_strOutput.empty()) {
        if (const int error = RetireStaleManifest(m_strOutput, manifestWritten ? m_strManifest : std::string());
            error != 0) {
            m_pHost->Complain("warning: cannot remove " + Quoted(ManifestFileFor(m_strOutput)) +
                              ", the manifest of the report it replaced: " + Reason(error));
        }
    }
    AddToCatalogue(engine.Log().Text(), manifestWritten);
    return status;
}

int CCliRun::WriteManifest() {
    const CDropChecksums* checksums = m_pHost->Checksums();
    if (checksums == nullptr) {
        return kExitReportWritten;
    }
    if (const int error = checksums->WriteManifest(m_strManifest); error != 0) {
        const std::string shown = m_commandLine.manifest ? *m_commandLine.manifest : m_strManifest;
        return Fail(kExitFailed, "cannot write the checksums to " + Quoted(shown) + ": " + Reason(error));
    }
    const std::vector<CUnreadableFile> unreadable = checksums->Unreadable();
    for (const CUnreadableFile& file : unreadable) {
        m_pHost->Complain("cannot read " + Quoted(file.m_strPath) + ": " + Reason(file.m_nError) +
                          " (left out of the checksums)");
    }
    return unreadable.empty() ? kExitReportWritten : kExitChecksumsIncomplete;
}

// Registers the report in place, which is cheap: its entries are read at the
// next search or refresh. The report stands whatever happens here.
void CCliRun::AddToCatalogue(const std::string& logText, bool manifestWritten) {
    struct stat info {};
    if (m_strCatalogue.empty() || m_strOutput.empty() || stat(m_strOutput.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return;
    }
    std::string error;
    try {
        CCatalogue catalogue(m_strCatalogue);
        if (!catalogue.Open(true) || !catalogue.RegisterReport(m_strOutput, logText) ||
            !catalogue.RegisterManifest(m_strOutput, manifestWritten ? m_strManifest : std::string())) {
            error = catalogue.LastError();
        }
    } catch (const std::exception& failure) {
        error = m_strCatalogue + ": " + failure.what();
    }
    if (!error.empty()) {
        m_pHost->Complain("warning: the report was not added to the catalogue: " + error);
    }
}
