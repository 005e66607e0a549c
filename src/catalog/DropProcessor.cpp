#include "DropProcessor.h"

#include "StringTable.h"
#include "Utf8.h"

#include <sys/stat.h>

namespace {

// The last component of a path, trailing slashes aside.
std::string_view NameOf(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

CDropProcessor::CDropProcessor(CCatalogEngine& engine)
    : m_engine(engine), m_session(engine.Session()), m_settings(engine.Settings()), m_host(engine.Host()) {}

CFolderRecord* CDropProcessor::DropRecord(const std::string& droppedPath) {
    if (m_pDropRecord == nullptr) {
        // The folder that holds the item: a later path of an ordinary drop
        // may end in "/" (a mounted medium), which names the item, not its parent.
        std::string_view item = droppedPath;
        while (item.size() > 1 && item.back() == '/') {
            item.remove_suffix(1);
        }
        const auto slash = item.rfind('/');
        std::string folder(slash == std::string_view::npos ? std::string_view() : item.substr(0, slash));
        if (folder.empty()) {
            folder = "/";
        }
        auto record = m_engine.NewRecord(folder);
        m_pDropRecord = record.get();
        m_session.m_arrFolderRecords.push_back(std::move(record));
    }
    return m_pDropRecord;
}

void CDropProcessor::AppendLogLine(const std::string& droppedPath) {
    const CArchiveSettings& tags = m_engine.ArchiveSettings();
    std::string line;
    if (!m_engine.Log().IsLogEmpty()) {
        line = "\r\n";
    }
    line += FormatString(IDS_LOG_LINE, {Utf8::Printable(tags.m_strMediaType), tags.m_nMediaNumber,
                                        tags.m_nArchiveNumber, Utf8::Printable(droppedPath)});
    m_engine.Log().AppendLog(line);
}

// A drop that stops early keeps nothing, so the next drop never mixes its
// leftovers in.
DropOutcome CDropProcessor::StopEarly(DropOutcome outcome) {
    m_engine.ShowProcessing(true);
    const int saved = m_session.m_bSaved;
    m_engine.ResetSession();
    m_session.m_bSaved = saved;
    m_session.m_bBusy = 0;
    m_host.SetBusy(false);
    return outcome;
}

DropOutcome CDropProcessor::Process(const std::vector<std::string>& paths) {
    m_settings.Store().Revalidate(); // a hand edit of the settings counts from this drop on
    if (m_session.m_bSaved == 0) {
        if (m_host.MessageBox(LoadString(IDS_UNSAVED_OVERWRITE), LoadString(IDS_WARNING),
                              MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return DropOutcome::Abandoned;
        }
        m_engine.ResetSession();
    }
    m_engine.Log().EmptyLog();
    if (m_settings.GetProcessType() != kProcessListing && !m_host.RunArchiveSettings(m_engine.ArchiveSettings())) {
        return DropOutcome::Abandoned;
    }
    m_session.m_bBusy = 1;
    m_host.SetBusy(true);

    bool rootDrop = false;
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::string& path = paths[index];
        if (index == 0 && !path.empty() && path.back() == '/') {
            rootDrop = true;
        }
        struct stat info {};
        const bool found = lstat(path.c_str(), &info) == 0;
        const bool listing = m_settings.GetProcessType() == kProcessListing;
        CFindData item;
        item.m_strName = NameOf(path);
        item.m_bDirectory = found && S_ISDIR(info.st_mode);
        item.m_nSize = found && !item.m_bDirectory ? static_cast<std::uint64_t>(info.st_size) : 0;
        item.m_nLastWrite = found ? info.st_mtim.tv_sec : 0;
        if (!rootDrop) {
            if (!found) {
                m_strPathNotFound = path;
                return StopEarly(DropOutcome::PathNotFound);
            }
            if (m_settings.GetExcludeHiddenSystemInfo() != 0 && IsHiddenName(item.m_strName)) {
                continue;
            }
            if (!item.m_bDirectory) {
                m_engine.AddEntry(item, listing ? DropRecord(path) : nullptr);
                continue;
            }
        }
        if (rootDrop || m_settings.GetExcludeSubFolders() == 0) {
            m_engine.WalkFolder(path);
            if (m_settings.GetProcessType() != kProcessListing && m_settings.GetMultipleArchive() != 0) {
                AppendLogLine(path);
                ++m_engine.ArchiveSettings().m_nArchiveNumber;
            }
        }
        if (!rootDrop) {
            const bool listingNow = m_settings.GetProcessType() == kProcessListing;
            m_engine.AddEntry(item, listingNow ? DropRecord(path) : nullptr);
        }
    }
    m_engine.ShowProcessing(true);

    const bool archive = m_settings.GetProcessType() != kProcessListing;
    if (m_session.m_nFileCount == 0 && (archive || m_settings.GetExcludeEmptyFolders() != 0)) {
        m_host.MessageBox(LoadString(IDS_NO_FILES), LoadString(IDS_DROP_FILES), MB_ICONINFORMATION);
        return StopEarly(DropOutcome::NoFiles);
    }
    DropOutcome outcome;
    if (!archive) {
        m_engine.StartSort();
        outcome = DropOutcome::Sorting;
    } else {
        m_engine.ArchiveSettings().SaveArchiveSettings(m_settings.Store());
        m_host.EnableExport(true);
        m_session.m_bBusy = 0;
        m_host.SetBusy(false);
        m_engine.ShowStatus(LoadString(IDS_CAN_EXPORT));
        outcome = DropOutcome::Ready;
    }
    m_session.m_bSaved = 0;
    if (archive && m_settings.GetExportData() != 0) {
        m_engine.ExportCatalogue();
    }
    return outcome;
}
