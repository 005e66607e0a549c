#include "Catalogue.h"

#include "CatalogueEntries.h"
#include "CatalogueStore.h"
#include "EntryBlob.h"
#include "ReportFile.h"
#include "ReportReader.h"
#include "SourceScanner.h"
#include "SqliteDatabase.h"
#include "Transaction.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr std::uint64_t kLargestReport = std::uint64_t(4) << 30;

// A path made absolute and free of links, "." and "..": one file reached
// two ways is one source. A path that does not exist stays as given.
std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

} // namespace

CCatalogue::CCatalogue(std::string databasePath)
    : m_strPath(std::move(databasePath)), m_pStore(std::make_unique<CCatalogueStore>(m_strPath)),
      m_pScanner(std::make_unique<CSourceScanner>(m_strPath)) {}

CCatalogue::~CCatalogue() = default;

std::string CCatalogue::LastError() const { return m_strError; }

bool CCatalogue::Fail(const std::string& what) {
    m_strError = what;
    return false;
}

bool CCatalogue::DatabaseFailed() { return Fail(m_pStore->Error()); }

bool CCatalogue::Open(bool create) {
    std::lock_guard lock(m_mutex);
    m_pEntries.reset();
    if (!m_pStore->Open(create)) {
        return Fail(m_pStore->OpenError());
    }
    m_pEntries = std::make_unique<CCatalogueEntries>(m_pStore->Db(), m_strPath + "-names");
    if (!m_pEntries->CreateTables()) {
        return Fail(m_strPath + ": " + m_pStore->Error());
    }
    return true;
}

std::vector<std::string> CCatalogue::TakeWarnings() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_arrWarnings, {});
}

void CCatalogue::Cancel() {
    m_bCancel = true;
    // The database only changes in Open, before any other thread is given the catalogue.
    if (m_pStore->IsOpen()) {
        m_pStore->Db().Interrupt();
    }
}

// Registers one file or folder as a source (without reading it).
bool CCatalogue::AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    const SourceKind kind = S_ISDIR(info.st_mode) ? SourceKind::Folder : fileKind;
    if (kind != SourceKind::Folder && m_pStore->KnownUnderOtherPath(info.st_dev, info.st_ino, path)) {
        return true; // already there under another path
    }
    return m_pStore->AddSource(path, kind, folderId, info.st_dev, info.st_ino) || DatabaseFailed();
}

bool CCatalogue::AddPaths(const std::vector<std::string>& paths, const ReadProgressFn& progress) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    for (const std::string& given : paths) {
        const std::string path = CanonicalPath(given);
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return Fail(given + ": " + std::strerror(errno));
        }
        if (!AddOne(path, 0, S_ISDIR(info.st_mode) ? SourceKind::Folder : CSourceScanner::SniffKind(path))) {
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            const std::optional<std::int64_t> id = m_pStore->SourceId(path);
            if (id && !ScanFolder(*id, path)) {
                return false;
            }
        }
    }
    return CheckSources(progress);
}

bool CCatalogue::RegisterReport(const std::string& reportPath, const std::string& logText) {
    std::lock_guard lock(m_mutex);
    const std::string path = CanonicalPath(reportPath);
    return m_pStore->RegisterReport(path, logText) || Fail(path + ": " + m_pStore->Error());
}

bool CCatalogue::RegisterManifest(const std::string& reportPath, const std::string& manifestPath) {
    std::lock_guard lock(m_mutex);
    return m_pStore->RegisterManifest(CanonicalPath(reportPath), CanonicalPath(manifestPath)) ||
           Fail(manifestPath + ": " + m_pStore->Error());
}

std::string CCatalogue::ManifestOf(const std::string& reportPath) {
    std::lock_guard lock(m_mutex);
    return m_pStore->ManifestOf(CanonicalPath(reportPath));
}

std::optional<std::string> CCatalogue::LogOf(const std::string& reportPath) {
    std::lock_guard lock(m_mutex);
    const std::string path = CanonicalPath(reportPath);
    const std::optional<std::int64_t> id = m_pStore->SourceId(path);
    if (!id) {
        return std::nullopt;
    }
    std::string text = m_pStore->LogFor(*id, path);
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

bool CCatalogue::Remove(const std::vector<std::string>& paths) {
    std::lock_guard lock(m_mutex);
    for (const std::string& given : paths) {
        const std::string path = CanonicalPath(given);
        CTransaction transaction(m_pStore->Db());
        const std::optional<std::int64_t> source = m_pStore->SourceId(path);
        if (!source) {
            m_arrWarnings.push_back(given + ": not in the catalogue");
            continue;
        }
        if (!m_pEntries->DropEntriesWithFolder(*source) || !m_pStore->DeleteSourceWithFolder(*source) ||
            !transaction.Commit()) {
            return DatabaseFailed();
        }
    }
    return true;
}

// Adds reports and logs under a remembered folder that are not sources yet.
bool CCatalogue::ScanFolder(std::int64_t folderId, const std::string& folder) {
    const auto known = [this](const std::string& path) { return m_pStore->SourceId(path).has_value(); };
    for (const CSourceScanner::CFound& found : m_pScanner->FindNew(folder, known, m_bCancel)) {
        if (!AddOne(found.m_strPath, folderId, found.m_kind)) {
            return false;
        }
    }
    return true;
}

// Reads one report or log and stores its entries in one transaction.
bool CCatalogue::ReadSource(std::int64_t id) {
    const std::optional<CSourceRow> row = m_pStore->Row(id);
    if (!row) {
        return true;
    }
    const std::string& path = row->m_strPath;
    CReportFile file;
    int error = 0;
    CReportReader reader;
    CEntryBlobWriter blob;
    CCatalogueStore::ReadOutcome outcome;
    if (!file.Load(path, kLargestReport, error)) {
        outcome.m_state = SourceState::Unreadable;
        m_arrWarnings.push_back(path + ": " + std::strerror(error));
    } else {
        reader.SetLog(m_pStore->LogFor(id, path));
        if (!reader.Read(file.m_strBytes, [&](const CReportEntry& entry) { blob.Add(entry); })) {
            outcome.m_state = SourceState::Unreadable;
            m_arrWarnings.push_back(path + ": not a report (" + reader.Reason() + ")");
            blob = CEntryBlobWriter();
        } else if (reader.Layout() == ReportLayout::ArchiveLog) {
            outcome.m_bLog = true;
            for (const auto& [tag, folder] : reader.LogLines()) {
                outcome.m_strLogText += tag + "\t" + folder + "\n";
            }
        }
    }
    outcome.m_nDevice = file.m_nDevice;
    outcome.m_nInode = file.m_nInode;
    outcome.m_nSize = file.m_nSize;
    outcome.m_nModifiedNs = file.m_nModifiedNs;
    outcome.m_nEntries = outcome.m_bLog ? reader.LogLines().size() : blob.Count();
    CTransaction transaction(m_pStore->Db());
    if (!transaction.Open() || !m_pEntries->DropEntries(id) || !m_pStore->SetRead(id, outcome)) {
        return DatabaseFailed();
    }
    if (outcome.m_state == SourceState::Ok && !outcome.m_bLog && !m_pEntries->StoreEntries(id, blob.Finish())) {
        return DatabaseFailed();
    }
    return transaction.Commit() || DatabaseFailed();
}

// Notices reports that changed, went or came back, and reads what needs it:
// logs first, so that the reports read after them find their folders.
bool CCatalogue::CheckSources(const ReadProgressFn& progress) {
    std::vector<CSourceRow> rows;
    if (!m_pStore->Rows(rows)) {
        return DatabaseFailed();
    }
    std::vector<std::int64_t> toRead;
    for (const CSourceRow& row : rows) {
        switch (m_pScanner->Check(row)) {
        case CSourceScanner::Verdict::Unchanged:
            break;
        case CSourceScanner::Verdict::Read:
            toRead.push_back(row.m_nId);
            break;
        case CSourceScanner::Verdict::Delete: {
            // Deleted or moved: its entries leave the catalogue.
            CTransaction transaction(m_pStore->Db());
            if (!m_pEntries->DropEntries(row.m_nId) || !m_pStore->DeleteSource(row.m_nId) || !transaction.Commit()) {
                return DatabaseFailed();
            }
            break;
        }
        case CSourceScanner::Verdict::MarkMissing:
            if (!m_pStore->SetState(row.m_nId, SourceState::Missing)) {
                return DatabaseFailed();
            }
            break;
        case CSourceScanner::Verdict::MarkOk:
            m_pStore->SetState(row.m_nId, SourceState::Ok);
            break;
        }
    }
    for (std::size_t done = 0; done < toRead.size(); ++done) {
        if (progress) {
            progress(done, toRead.size());
        }
        if (m_bCancel) {
            return true;
        }
        if (!ReadSource(toRead[done])) {
            return false;
        }
    }
    if (progress && !toRead.empty()) {
        progress(toRead.size(), toRead.size());
    }
    return true;
}

bool CCatalogue::Refresh(bool scanFolders, const ReadProgressFn& progress) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    if (scanFolders) {
        for (const auto& [id, path] : m_pStore->Folders()) {
            if (!ScanFolder(id, path)) {
                return false;
            }
        }
    }
    return CheckSources(progress);
}

std::vector<CSourceInfo> CCatalogue::Sources() {
    std::lock_guard lock(m_mutex);
    return m_pStore->List();
}

CFindResult CCatalogue::Find(const CFindQuery& query, std::size_t limit, std::size_t offset) {
    std::lock_guard lock(m_mutex);
    m_bCancel = false;
    if (!CheckSources()) {
        CFindResult result;
        result.m_bCancelled = m_bCancel;
        result.m_bFailed = !m_bCancel;
        return result;
    }
    CFindResult result = m_pEntries->Search(query, limit, offset, m_bCancel, m_arrWarnings);
    if (result.m_bFailed) {
        DatabaseFailed();
    }
    return result;
}
