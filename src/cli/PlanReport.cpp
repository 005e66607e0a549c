#include "PlanReport.h"

#include "AppSettings.h"
#include "CatalogEngine.h"
#include "PlanHost.h"
#include "SettingsStore.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A private folder for the runs' settings file, in memory where the system
// offers it; everything in it goes with it.
class CScratchFolder {
public:
    CScratchFolder() {
        std::string parent = "/dev/shm";
        struct stat info {};
        if (stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || access(parent.c_str(), W_OK) != 0) {
            const char* tmp = std::getenv("TMPDIR");
            parent = tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
        }
        std::string pattern = parent + "/stowlist-plan-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_strPath = pattern;
        } else {
            m_nError = errno;
        }
    }
    ~CScratchFolder() {
        if (m_strPath.empty()) {
            return;
        }
        if (DIR* dir = opendir(m_strPath.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    unlink((m_strPath + "/" + name).c_str());
                }
            }
            closedir(dir);
        }
        rmdir(m_strPath.c_str());
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::string& Path() const { return m_strPath; }
    int Error() const { return m_nError; }

private:
    std::string m_strPath;
    int m_nError = 0;
};

std::string Reason(int error) { return std::strerror(error != 0 ? error : EIO); }

} // namespace

CPlanReport::CPlanReport(const CPlanTree& tree, const CMediaPlan& plan, const COptionsSnapshot& options,
                         std::string mediaType, int firstMedium, int multipleArchive)
    : m_tree(tree), m_plan(plan), m_options(options), m_strMediaType(std::move(mediaType)),
      m_nFirstMedium(firstMedium), m_bMultipleArchive(multipleArchive) {}

std::vector<std::string> CPlanReport::DroppedPaths(std::size_t medium) const {
    std::vector<std::string> paths;
    for (const CPlacement& item : m_plan.arrMedia[medium].arrItems) {
        if (item.bWhole) {
            paths.push_back(m_tree.SourcePath(item.nNode));
        }
    }
    return paths;
}

bool CPlanReport::Write(CAtomicFile& report, const std::string& reportName, std::string& log) {
    log.clear();
    const CScratchFolder scratch;
    if (scratch.Path().empty()) {
        m_strFailure = FormatString(IDS_PLAN_CANNOT_WRITE, {"/tmp", Reason(scratch.Error())});
        return false;
    }
    CSettingsStore store(scratch.Path() + "/settings.ini");
    CAppSettings settings(store);
    for (int i = 0; i < kOptionCount; ++i) {
        settings.Override(static_cast<Option>(i), m_options.m_values[static_cast<std::size_t>(i)]);
    }
    settings.Override(Option::ProcessType, kProcessArchive);
    settings.Override(Option::ExportData, 0);
    settings.Override(Option::AutoView, 0);

    CPlanHost host(store);
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(0);
    timing.statusInterval = std::chrono::milliseconds(100);
    CCatalogEngine engine(host, settings, CLocaleFormat::FromEnvironment(), timing);
    for (std::size_t medium = 0; medium < m_plan.arrMedia.size(); ++medium) {
        const std::vector<std::string> paths = DroppedPaths(medium);
        if (paths.empty()) {
            continue;
        }
        engine.ResetSession();
        host.SetTags(m_strMediaType, m_nFirstMedium + static_cast<int>(medium), m_bMultipleArchive);
        const DropOutcome outcome = engine.ProcessDrop(paths);
        const std::string messages = host.TakeMessages();
        if (outcome == DropOutcome::NoFiles) {
            continue; // only empty folders or nothing the options take: no lines
        }
        if (outcome == DropOutcome::PathNotFound) {
            m_strFailure = FormatString(IDS_PLAN_CANNOT_READ, {Utf8::Printable(engine.PathNotFound()), Reason(ENOENT)});
            return false;
        }
        if (outcome != DropOutcome::Ready) {
            m_strFailure = !messages.empty() ? Utf8::Printable(messages)
                                             : FormatString(IDS_PLAN_CANNOT_WRITE,
                                                            {Utf8::Printable(store.Path()), Reason(host.SettingsError())});
            return false;
        }
        if (const int error = engine.WriteReport(report); error != 0) {
            m_strFailure = FormatString(IDS_PLAN_CANNOT_WRITE, {reportName, Reason(error)});
            return false;
        }
        if (!engine.Log().IsLogEmpty()) {
            if (!log.empty()) {
                log += "\r\n";
            }
            log += engine.Log().Text();
        }
    }
    return true;
}
