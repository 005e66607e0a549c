#include "EntryCollector.h"

#include "StringTable.h"
#include "Utf8.h"

#include <new>

CEntryCollector::CEntryCollector(CCatalogSession& session, CLocaleFormat& locale, const CArchiveSettings& tags,
                                 ICatalogHost& host, std::chrono::milliseconds statusInterval)
    : m_session(session), m_locale(locale), m_tags(tags), m_host(host), m_statusInterval(statusInterval),
      m_formatter(locale), m_processingFormat(LoadString(IDS_PROCESSING)) {}

void CEntryCollector::Begin(const COptionsSnapshot& options) {
    m_options = options;
    m_bOutOfMemoryShown = false;
}

std::unique_ptr<CFolderRecord> CEntryCollector::NewRecord(const std::string& path) {
    auto record = std::make_unique<CFolderRecord>();
    m_strLine.clear();
    m_locale.AppendUpper(m_strLine, Utf8::Printable(path));
    record->m_path = m_session.m_lines.StoreVital(m_strLine);
    return record;
}

void CEntryCollector::AppendRecord(std::unique_ptr<CFolderRecord> record) {
    m_session.m_arrFolderRecords.push_back(std::move(record));
}

void CEntryCollector::AddEntry(const CFindData& entry, CFolderRecord* record) {
    const bool listing = m_options.IsListing();
    m_strLine.clear();
    if (listing) {
        m_formatter.BuildListingLine(m_strLine, entry, m_options.FormatFileSize(), m_options.OutputFormat());
    } else {
        m_formatter.BuildArchiveLine(m_strLine, entry, m_tags);
    }
    bool stored = true;
    try {
        if (listing) {
            if (record != nullptr) {
                CLineArray& lines = entry.m_bDirectory ? record->m_arrSubFolders : record->m_arrFiles;
                lines.push_back(m_session.m_lines.Store(m_strLine));
                if (m_session.m_bKeepFiles) {
                    KeepFile(entry, record->m_arrWalkedFiles);
                }
            }
        } else if (!entry.m_bDirectory) {
            m_session.m_arrArchiveLines.push_back(m_session.m_lines.Store(m_strLine));
            if (m_session.m_bKeepFiles) {
                KeepFile(entry, m_session.m_arrArchiveFiles);
            }
        }
    } catch (const std::bad_alloc&) {
        stored = false;
        if (!m_bOutOfMemoryShown) {
            m_bOutOfMemoryShown = true;
            m_host.MessageBox(LoadString(IDS_OUT_OF_MEMORY), LoadString(IDS_APP_TITLE), MB_OK);
        }
    }
    if (stored && !entry.m_bDirectory) {
        ++m_session.m_nFileCount;
        if (listing) {
            m_session.m_dwTotalBytes += entry.m_nSize;
        }
    }
    ShowProcessing(false);
}

void CEntryCollector::KeepFile(const CFindData& entry, std::vector<CWalkedFile>& files) {
    if (!entry.m_bRegular) {
        return;
    }
    CWalkedFile& file = files.emplace_back();
    file.m_strPath.reserve(entry.m_strFolder.size() + 1 + entry.m_strName.size());
    file.m_strPath.assign(entry.m_strFolder);
    if (file.m_strPath.empty() || file.m_strPath.back() != '/') {
        file.m_strPath.push_back('/');
    }
    file.m_strPath.append(entry.m_strName);
    file.m_nDevice = entry.m_nDevice;
    file.m_nSize = entry.m_nSize;
}

void CEntryCollector::ShowProcessing(bool force) {
    if (!force) {
        m_bProcessingPending = true;
        // Reading the clock costs little, but not nothing: look every few entries.
        if (++m_nEntriesSinceClock < 16 && m_lastProcessingShown.time_since_epoch().count() != 0) {
            return;
        }
        m_nEntriesSinceClock = 0;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastProcessingShown < m_statusInterval) {
            return;
        }
        m_lastProcessingShown = now;
    } else if (!m_bProcessingPending) {
        return;
    }
    m_bProcessingPending = false;
    m_host.ShowStatus(m_processingFormat({static_cast<long long>(m_session.m_nFileCount)}));
}
