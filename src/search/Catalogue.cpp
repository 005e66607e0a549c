#include "Catalogue.h"

#include "CatalogueEntries.h"
#include "CatalogueStore.h"
#include "EntryBlob.h"
#include "LocalFileSystem.h"
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
    : CCatalogue(std::move(databasePath), std::make_unique<CLocalFileSystem>()) {}

CCatalogue::CCatalogue(std::string databasePath, std::unique_ptr<ISourceFileSystem> fileSystem)
    : m_strPath(std::move(databasePath)), m_pFileSystem(std::move(fileSystem)),
      m_pStore(std::make_unique<CCatalogueStore>(m_strPath)),
      m_pScanner(std::make_unique<CSourceScanner>(m_strPath, *m_pFileSystem)) {}

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

// Marks the calling operation as the one that Cancel() stops, for its lifetime.
class CCatalogue::CCancellable {
public:
    explicit CCancellable(CCatalogue& catalogue) : m_catalogue(catalogue) {
        std::lock_guard lock(m_catalogue.m_cancelMutex);
        m_catalogue.m_bCancel = false;
        m_catalogue.m_bCancellable = true;
    }
    ~CCancellable() {
        std::lock_guard lock(m_catalogue.m_cancelMutex);
        m_catalogue.m_bCancellable = false;
    }
    CCancellable(const CCancellable&) = delete;
    CCancellable& operator=(const CCancellable&) = delete;

private:
    CCatalogue& m_catalogue;
};

void CCatalogue::Cancel() {
    std::lock_guard lock(m_cancelMutex);
    // Only an operation that runs now: an interrupt of the database would
    // otherwise stop whatever runs next. While one runs, the database is
    // open and stays so (Open waits for the operation).
    if (m_bCancellable) {
        m_bCancel = true;
        m_pStore->Db().Interrupt();
    }
}

bool CCatalogue::AddOne(const std::string& path, std::int64_t folderId, SourceKind fileKind,
                        const std::string& namedAs) {
    CFileVersion version;
    if (const int error = m_pFileSystem->Stat(path, version); error != 0) {
        return Fail(path + ": " + std::strerror(error));
    }
    const SourceKind kind = version.m_bFolder ? SourceKind::Folder : fileKind;
    if (kind != SourceKind::Folder && m_pStore->KnownUnderOtherPath(version, path)) {
        return true; // already there under another path
    }
    const bool known = m_pStore->SourceId(path).has_value();
    if (!m_pStore->AddSource(path, kind, folderId, version, m_pScanner->FileSystemOfFile(path))) {
        return DatabaseFailed();
    }
    if (!known && kind != SourceKind::Folder) {
        if (const std::optional<std::int64_t> id = m_pStore->SourceId(path)) {
            m_mapOnTrial[*id] = namedAs;
        }
    }
    return true;
}

bool CCatalogue::AddPaths(const std::vector<std::string>& paths, const ReadProgressFn& progress) {
    std::lock_guard lock(m_mutex);
    const CCancellable cancellable(*this);
    m_mapOnTrial.clear();
    m_arrRefused.clear();
    for (const std::string& given : paths) {
        const std::string path = CanonicalPath(given);
        CFileVersion version;
        if (const int error = m_pFileSystem->Stat(path, version); error != 0) {
            return Fail(given + ": " + std::strerror(error));
        }
        SourceKind kind = SourceKind::Folder;
        if (!version.m_bFolder) {
            const CSourceScanner::CSniff sniff = m_pScanner->Sniff(path);
            if (!sniff.m_bReport) {
                m_arrRefused.push_back(given + ": not a report (" + sniff.m_strReason + ")");
                continue;
            }
            kind = sniff.m_kind;
        }
        if (!AddOne(path, 0, kind, given)) {
            return false;
        }
        if (version.m_bFolder) {
            const std::optional<std::int64_t> id = m_pStore->SourceId(path);
            if (id && !ScanFolder(*id, path)) {
                return false;
            }
        }
    }
    const bool checked = CheckSources(true, progress);
    m_mapOnTrial.clear();
    if (!checked) {
        return false;
    }
    if (!m_arrRefused.empty()) {
        // The first refusal is the error, the others are warnings.
        m_arrWarnings.insert(m_arrWarnings.end(), m_arrRefused.begin() + 1, m_arrRefused.end());
        return Fail(m_arrRefused.front());
    }
    return true;
}

bool CCatalogue::RegisterReport(const std::string& reportPath, const std::string& logText) {
    std::lock_guard lock(m_mutex);
    const std::string path = CanonicalPath(reportPath);
    return m_pStore->RegisterReport(path, logText) || Fail(path + ": " + m_pStore->Error());
}

bool CCatalogue::RegisterManifest(const std::string& reportPath, const std::string& manifestPath) {
    std::lock_guard lock(m_mutex);
    if (manifestPath.empty()) {
        return m_pStore->ForgetManifest(CanonicalPath(reportPath)) || Fail(reportPath + ": " + m_pStore->Error());
    }
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

// Adds reports and logs under a remembered folder that are not sources
// yet, and remembers the files there that are plainly not reports.
bool CCatalogue::ScanFolder(std::int64_t folderId, const std::string& folder) {
    const auto known = [this](const std::string& path) { return m_pStore->SourceId(path).has_value(); };
    const auto remembered = [this](const std::string& path, const CFileVersion& version) {
        return m_pStore->IsRememberedNonReport(path, version);
    };
    const CSourceScanner::CFolderScan scan = m_pScanner->ScanFolder(folder, known, remembered, m_bCancel);
    for (const CSourceScanner::CFound& found : scan.m_arrNonReports) {
        if (!m_pStore->RememberNonReport(found.m_strPath, found.m_version)) {
            return DatabaseFailed();
        }
    }
    for (const CSourceScanner::CFound& found : scan.m_arrReports) {
        if (!AddOne(found.m_strPath, folderId, found.m_kind, {})) {
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
        outcome.m_strFileSystem = m_pScanner->FileSystemOfFile(path);
        reader.SetLog(m_pStore->LogFor(id, path));
        if (!reader.Read(file.m_strBytes, [&](const CReportEntry& entry) { blob.Add(entry); })) {
            if (const auto trial = m_mapOnTrial.find(id); trial != m_mapOnTrial.end()) {
                return DropNonReport(*row, file, trial->second, reader.Reason());
            }
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
    // The identity as the scanner sees it, so that the next add compares like with like.
    CFileVersion seen;
    const bool looked = m_pFileSystem->Stat(path, seen) == 0;
    outcome.m_nDevice = looked ? seen.m_nDevice : file.m_nDevice;
    outcome.m_nInode = looked ? seen.m_nInode : file.m_nInode;
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

// A source on trial that proved no report: a file named to be added is
// refused, one found in a folder is remembered as no report.
bool CCatalogue::DropNonReport(const CSourceRow& row, const CReportFile& file, const std::string& namedAs,
                               const std::string& reason) {
    CTransaction transaction(m_pStore->Db());
    CFileVersion version;
    version.m_nSize = file.m_nSize;
    version.m_nModifiedNs = file.m_nModifiedNs;
    if (!transaction.Open() || !m_pStore->DeleteSource(row.m_nId) ||
        (namedAs.empty() && !m_pStore->RememberNonReport(row.m_strPath, version)) || !transaction.Commit()) {
        return DatabaseFailed();
    }
    if (!namedAs.empty()) {
        m_arrRefused.push_back(namedAs + ": not a report (" + reason + ")");
    }
    return true;
}

bool CCatalogue::CheckWindowPassed() const {
    return !m_lastCheck || std::chrono::steady_clock::now() - *m_lastCheck >= kCheckWindow;
}

// Reads the sources known to have changed (registered or marked by a look
// at their files), without looking at any file.
bool CCatalogue::ReadChanged() {
    std::vector<CSourceRow> rows;
    if (!m_pStore->Rows(rows)) {
        return DatabaseFailed();
    }
    for (const CSourceRow& row : rows) {
        if (m_bCancel) {
            return true;
        }
        if (row.m_kind != SourceKind::Folder && row.m_state == SourceState::Changed && !ReadSource(row.m_nId)) {
            return false;
        }
    }
    return true;
}

// Notices reports that changed, went or came back, and reads what needs it:
// logs first, so that the reports read after them find their folders.
bool CCatalogue::CheckSources(bool read, const ReadProgressFn& progress) {
    m_lastCheck = std::chrono::steady_clock::now();
    std::vector<CSourceRow> rows;
    if (!m_pStore->Rows(rows)) {
        return DatabaseFailed();
    }
    std::vector<std::int64_t> toRead;
    for (const CSourceRow& row : rows) {
        const CSourceScanner::CCheck check = m_pScanner->Check(row);
        if (!check.m_strFileSystem.empty() && check.m_strFileSystem != row.m_strFileSystem &&
            !m_pStore->SetFileSystem(row.m_nId, check.m_strFileSystem)) {
            return DatabaseFailed();
        }
        switch (check.m_verdict) {
        case CSourceScanner::Verdict::Unchanged:
            break;
        case CSourceScanner::Verdict::Read:
            if (read) {
                toRead.push_back(row.m_nId);
            } else if (row.m_state != SourceState::Changed && !m_pStore->SetState(row.m_nId, SourceState::Changed)) {
                return DatabaseFailed();
            }
            break;
        case CSourceScanner::Verdict::MarkUnreadable:
            // Kept with its entries, and read again once it can be.
            m_arrWarnings.push_back(row.m_strPath + ": " + std::strerror(check.m_nError));
            if (!m_pStore->SetUnreachable(row.m_nId)) {
                return DatabaseFailed();
            }
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
    const CCancellable cancellable(*this);
    if (scanFolders) {
        m_mapOnTrial.clear();
        for (const auto& [id, path] : m_pStore->Folders()) {
            if (!ScanFolder(id, path)) {
                return false;
            }
        }
    }
    const bool checked = CheckSources(true, progress);
    m_mapOnTrial.clear();
    return checked;
}

std::vector<CSourceInfo> CCatalogue::Sources() {
    std::lock_guard lock(m_mutex);
    if (CheckWindowPassed()) {
        CheckSources(false);
    }
    return m_pStore->List();
}

CFindResult CCatalogue::Find(const CFindQuery& query, std::size_t limit, std::size_t offset) {
    std::lock_guard lock(m_mutex);
    const CCancellable cancellable(*this);
    if (!(CheckWindowPassed() ? CheckSources(true) : ReadChanged())) {
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
