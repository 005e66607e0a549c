#include "DropProcessor.h"

#include "DropPath.h"
#include "StringTable.h"
#include "Utf8.h"

#include <sys/stat.h>

CDropProcessor::CDropProcessor(CCatalogSession& session, const COptionsSnapshot& options, bool multipleArchives,
                               CArchiveSettings& tags, CArchiveLog& log, CEntryCollector& entries,
                               CFolderWalker& walker)
    : m_session(session), m_options(options), m_bMultipleArchives(multipleArchives), m_tags(tags), m_log(log),
      m_entries(entries), m_walker(walker) {}

CFolderRecord* CDropProcessor::DropRecord(const std::string& droppedPath) {
    if (m_pDropRecord == nullptr) {
        auto record = m_entries.NewRecord(DropPath::ParentOf(droppedPath));
        m_pDropRecord = record.get();
        m_session.m_arrFolderRecords.push_back(std::move(record));
    }
    return m_pDropRecord;
}

void CDropProcessor::AppendLogLine(const std::string& droppedPath) {
    std::string line;
    if (!m_log.IsLogEmpty()) {
        line = "\r\n";
    }
    line += FormatString(IDS_LOG_LINE, {Utf8::Printable(m_tags.m_strMediaType), m_tags.m_nMediaNumber,
                                        m_tags.m_nArchiveNumber, Utf8::Printable(droppedPath)});
    m_log.AppendLog(line);
}

bool CDropProcessor::Collect(const std::vector<std::string>& paths) {
    const bool rootDrop = DropPath::IsRootDrop(paths);
    const bool listing = m_options.IsListing();
    for (const std::string& path : paths) {
        struct stat info {};
        const bool found = lstat(path.c_str(), &info) == 0;
        CFindData item;
        item.m_strName = DropPath::NameOf(path);
        item.m_bDirectory = found && S_ISDIR(info.st_mode);
        item.m_nSize = found && !item.m_bDirectory ? static_cast<std::uint64_t>(info.st_size) : 0;
        item.m_nLastWrite = found ? info.st_mtim.tv_sec : 0;
        item.m_bRegular = found && S_ISREG(info.st_mode);
        item.m_nDevice = found ? info.st_dev : 0;
        const std::string folder = m_session.m_bKeepFiles ? DropPath::ParentOf(path) : std::string();
        item.m_strFolder = folder;
        if (!rootDrop) {
            if (!found) {
                m_strPathNotFound = path;
                return false;
            }
            if (m_options.ExcludeHidden() && IsHiddenName(item.m_strName)) {
                continue;
            }
            if (!item.m_bDirectory) {
                m_entries.AddEntry(item, listing ? DropRecord(path) : nullptr);
                continue;
            }
        }
        if (rootDrop || !m_options.ExcludeSubFolders()) {
            m_walker.WalkFolder(path, m_options);
            if (!listing && m_bMultipleArchives) {
                AppendLogLine(path);
                ++m_tags.m_nArchiveNumber;
            }
        }
        if (!rootDrop) {
            m_entries.AddEntry(item, listing ? DropRecord(path) : nullptr);
        }
    }
    return true;
}
