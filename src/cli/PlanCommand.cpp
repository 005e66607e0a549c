#include "PlanCommand.h"

#include "AbsolutePath.h"
#include "AppSettings.h"
#include "ArchiveSettings.h"
#include "AtomicFile.h"
#include "Catalogue.h"
#include "CommandMessages.h"
#include "ExitStatus.h"
#include "DropPath.h"
#include "ManifestPath.h"
#include "MediaPlanner.h"
#include "MediaRules.h"
#include "PathListWriter.h"
#include "PlanCommandLine.h"
#include "PlanPrinter.h"
#include "PlanReport.h"
#include "SettingsStore.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "WalkPlanTreeBuilder.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <sys/stat.h>

namespace {

std::string Reason(int error) { return std::strerror(error != 0 ? error : EIO); }

// The folder and the folders above it, made where they are missing.
int MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

} // namespace

CPlanCommand::CPlanCommand(std::vector<std::string> args, std::string defaultSettings,
                           std::string defaultCatalogue, std::FILE* out, std::FILE* err)
    : m_arrArgs(std::move(args)), m_strDefaultSettings(std::move(defaultSettings)),
      m_strDefaultCatalogue(std::move(defaultCatalogue)), m_pOut(out), m_pErr(err) {}

int CPlanCommand::Message(int status, const std::string& text) {
    CCommandMessages::Print(m_pErr, CPlanCommandLineParser::Spec().name, text);
    return status;
}

bool CPlanCommand::WritePathLists(const std::string& folder, const CPlanTree& tree, const CMediaPlan& plan,
                                  const std::string& mediaType, int firstMedium) {
    if (const int error = MakeFolders(folder); error != 0) {
        Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {folder, Reason(error)}));
        return false;
    }
    const CPathListWriter writer(tree, plan);
    for (std::size_t i = 0; i < plan.arrMedia.size(); ++i) {
        const std::string path =
            folder + (folder == "/" ? "" : "/") +
            CPlanPrinter::PathListName(mediaType, firstMedium + static_cast<long long>(i));
        CAtomicFile file;
        if (!file.Open(path) || !file.Write(writer.PathList(i)) || !file.Commit()) {
            Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {path, Reason(file.LastError())}));
            return false;
        }
    }
    return true;
}

int CPlanCommand::Run() {
    const CPlanCommandLine command = CPlanCommandLineParser::Parse(m_arrArgs);
    if (const int status =
            CCommandMessages::Answer(CPlanCommandLineParser::Spec(), command.action, command.error, m_pOut, m_pErr);
        status >= 0) {
        return status;
    }

    // Every path absolute, by name, as the report run makes them.
    const std::string workingFolder = AbsolutePath::WorkingFolder();
    const int workingFolderError = errno;
    const auto absolute = [&workingFolder](const std::string& path) { return AbsolutePath::Make(path, workingFolder); };
    bool relative = false;
    for (const auto* path : {&command.output, &command.log, &command.settings, &command.catalogue, &command.pathLists}) {
        relative = relative || (path->has_value() && (*path)->front() != '/');
    }
    for (const std::string& path : command.paths) {
        relative = relative || (!path.empty() && path.front() != '/');
    }
    if (relative && workingFolder.empty()) {
        return Message(kExitFailed, FormatString(IDS_PLAN_NO_WORKING_FOLDER, {Reason(workingFolderError)}));
    }
    std::vector<std::string> paths;
    for (const std::string& path : command.paths) {
        paths.push_back(absolute(path));
    }
    const std::string output = command.output ? absolute(*command.output) : std::string();
    const std::string logPath = command.log ? absolute(*command.log) : std::string();
    if (!logPath.empty() && logPath == output) {
        return Message(kExitBadUsage, LoadString(IDS_PLAN_SAME_FILE));
    }
    const std::string settingsPath = command.settings ? absolute(*command.settings) : m_strDefaultSettings;
    std::string cataloguePath = command.catalogue ? absolute(*command.catalogue) : m_strDefaultCatalogue;

    CSettingsStore store(settingsPath);
    CAppSettings settings(store);
    for (const auto& [option, value] : command.options) {
        settings.Override(option, value);
    }
    if (command.noCatalogue || store.GetInt(CCatalogue::kSettingsSection, CCatalogue::kAddReportsKey, 1) == 0) {
        cataloguePath.clear();
    }
    // With a report the planned media take their numbers: from reading the
    // stored medium number to writing the next one, archive runs wait.
    std::optional<CSettingsLock> numbers;
    if (!output.empty()) {
        numbers.emplace(store.Lock());
    }
    CArchiveSettings stored;
    const int storedType = stored.LoadArchiveSettings(store);
    if (!command.mediaType && storedType < 0) {
        return Message(kExitBadUsage,
                       FormatString(IDS_PLAN_BAD_STORED_TYPE,
                                    {store.GetString(LoadString(IDS_SECTION_ARCHIVE), "MediaType", "CD"), settingsPath}));
    }
    const std::string mediaType =
        command.mediaType ? *command.mediaType
                          : std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(storedType)]);
    const int firstMedium = command.mediaNumber ? *command.mediaNumber : stored.m_nMediaNumber;
    const int multipleArchive = command.multipleArchive ? *command.multipleArchive : stored.m_bMultipleArchive;
    CMediaRules rules(1, 1, 0);
    if (const EMediaRuleError error =
            CMediaRules::Make(mediaType, command.capacity, command.blockSize, command.reserve, rules);
        error != EMediaRuleError::kNone) {
        CCommandMessages::PrintUsageError(m_pErr, CPlanCommandLineParser::Spec(),
                                          LoadString(IDS_MEDIA_RULE_ERROR_FIRST + static_cast<int>(error)));
        return kExitBadUsage;
    }

    const COptionsSnapshot options = settings.Snapshot();
    struct stat info {};
    if (DropPath::IsRootDrop(paths) && lstat(paths[0].c_str(), &info) != 0) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_READ, {command.paths[0], Reason(errno)}));
    }
    CPlanTree tree;
    CWalkPlanTreeBuilder builder(options.ExcludeHidden(), options.ExcludeSubFolders());
    if (!builder.Build(paths, tree)) {
        std::string shown = builder.MissingPath();
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (paths[i] == shown) {
                shown = command.paths[i];
                break;
            }
        }
        const int error = lstat(builder.MissingPath().c_str(), &info) != 0 ? errno : ENOENT;
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_READ, {shown, Reason(error)}));
    }
    const CMediaPlan plan = CMediaPlanner(rules).Plan(tree);
    if (!plan.arrMedia.empty() &&
        static_cast<long long>(firstMedium) + static_cast<long long>(plan.arrMedia.size()) - 1 > INT_MAX) {
        return Message(kExitBadUsage, FormatString(IDS_PLAN_NUMBERS_EXHAUSTED,
                                                   {static_cast<long long>(plan.arrMedia.size()), firstMedium}));
    }

    int status = kExitOk;
    for (const CLeftOut& leftOut : plan.arrLeftOut) {
        const int id = leftOut.reason == ELeftOutReason::kTooLarge ? IDS_PLAN_TOO_LARGE : IDS_PLAN_LINE_FEED;
        Message(kExitNothing, FormatString(id, {tree.SourcePath(leftOut.nNode)}));
        status = kExitNothing;
    }
    const CLocaleFormat locale = CLocaleFormat::FromEnvironment();
    const CPlanPrinter printer(tree, plan, mediaType, firstMedium, options.FormatFileSize() ? &locale : nullptr);
    const std::string shown = command.json ? printer.Json() : printer.Text();
    std::fwrite(shown.data(), 1, shown.size(), m_pOut);
    if (std::fflush(m_pOut) != 0 || std::ferror(m_pOut) != 0) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {LoadString(IDS_PLAN_STANDARD_OUTPUT), Reason(errno)}));
    }

    if (command.pathLists && !WritePathLists(absolute(*command.pathLists), tree, plan, mediaType, firstMedium)) {
        return kExitFailed;
    }
    if (output.empty()) {
        return status;
    }

    CAtomicFile report;
    CAtomicFile log;
    if (!report.Open(output)) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {*command.output, Reason(report.LastError())}));
    }
    std::string logText;
    CPlanReport runs(tree, plan, options, mediaType, firstMedium, multipleArchive);
    if (!runs.Write(report, *command.output, logText)) {
        return Message(kExitFailed, runs.Failure());
    }
    if (!logPath.empty() && (!log.Open(logPath) || !log.Write(logText))) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {*command.log, Reason(log.LastError())}));
    }
    if (!report.Commit()) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {*command.output, Reason(report.LastError())}));
    }
    if (!logPath.empty() && !log.Commit()) {
        return Message(kExitFailed, FormatString(IDS_PLAN_CANNOT_WRITE, {*command.log, Reason(log.LastError())}));
    }
    // A manifest beside the report described the one replaced. It can go
    // wherever the report could be put: a failure here costs nothing, as a
    // check ignores a manifest older than its report.
    RetireStaleManifest(output, {});
    if (!plan.arrMedia.empty()) {
        const std::string section = LoadString(IDS_SECTION_ARCHIVE);
        const long long next = static_cast<long long>(firstMedium) + static_cast<long long>(plan.arrMedia.size());
        if (!store.WriteValues(section, {{LoadString(IDS_KEY_MEDIA_NUMBER), std::to_string(next)},
                                         {LoadString(IDS_KEY_ARCHIVE_NUMBER), "1"}})) {
            return Message(kExitFailed,
                           FormatString(IDS_PLAN_CANNOT_WRITE, {settingsPath, Reason(store.LastWriteError())}));
        }
    }
    numbers.reset();

    // The report stands whatever happens to its registration.
    if (!cataloguePath.empty() && stat(output.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::string error;
        try {
            CCatalogue catalogue(cataloguePath);
            if (!catalogue.Open(true) || !catalogue.RegisterReport(output, logText) ||
                !catalogue.RegisterManifest(output, {})) {
                error = catalogue.LastError();
            }
        } catch (const std::exception& failure) {
            error = cataloguePath + ": " + failure.what();
        }
        if (!error.empty()) {
            Message(status, FormatString(IDS_PLAN_NOT_CATALOGUED, {error}));
        }
    }
    return status;
}
