#include "Catalogue.h"

#include "CatalogueEntries.h"
#include "CatalogueStore.h"
#include "CopyDigests.h"
#include "CopyIndex.h"
#include "CopyKeyStore.h"
#include "LocalFileSystem.h"
#include "ReadSnapshot.h"
#include "ReportReader.h"
#include "ReportStream.h"
#include "SegmentCopyKeys.h"
#include "SourceScanner.h"
#include "SqliteDatabase.h"
#include "Transaction.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sys/stat.h>

namespace {

// A path made absolute and free of links, "." and "..": one file reached
// two ways is one source. A path that does not exist stays as given.
std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// The text kept in blocks that never move.
std::string_view Keep(std::deque<std::string>& arena, std::string_view text) {
    if (arena.empty() || arena.back().capacity() - arena.back().size() < text.size()) {
        arena.emplace_back().reserve(std::max<std::size_t>(text.size(), std::size_t{1} << 20));
    }
    std::string& block = arena.back();
    const std::size_t at = block.size();
    block.append(text);
    return std::string_view(block).substr(at, text.size());
}

// A file entry kept, its texts copied, for the digests found once the
// report is read whole (its manifest is matched against every entry).
void KeepFileForDigests(const CReportEntry& entry, std::vector<CReportEntry>& files, std::deque<std::string>& texts) {
    if (entry.m_bFolder) {
        return;
    }
    CReportEntry kept = entry;
    kept.m_strName = Keep(texts, entry.m_strName);
    kept.m_strDate = Keep(texts, entry.m_strDate);
    kept.m_strTime = Keep(texts, entry.m_strTime);
    kept.m_strMedium = Keep(texts, entry.m_strMedium);
    const bool sameFolder = !files.empty() && files.back().m_strFolder == entry.m_strFolder;
    kept.m_strFolder = sameFolder ? files.back().m_strFolder : Keep(texts, entry.m_strFolder);
    files.push_back(kept);
}

} // namespace

CCatalogue::CCatalogue(std::string databasePath)
    : CCatalogue(std::move(databasePath), std::make_unique<CLocalFileSystem>()) {}

CCatalogue::CCatalogue(std::string databasePath, std::unique_ptr<ISourceFileSystem> fileSystem)
    : m_strPath(std::move(databasePath)), m_pFileSystem(std::move(fileSystem)),
      m_pStore(std::make_unique<CCatalogueStore>(m_strPath)),
      m_pScanner(std::make_unique<CSourceScanner>(m_strPath, *m_pFileSystem)) {}

CCatalogue::CCatalogue(std::string databasePath, ReportDigestsFn digests)
    : CCatalogue(std::move(databasePath), std::make_unique<CLocalFileSystem>(), std::move(digests)) {}

CCatalogue::CCatalogue(std::string databasePath, std::unique_ptr<ISourceFileSystem> fileSystem,
                       ReportDigestsFn digests)
    : CCatalogue(std::move(databasePath), std::move(fileSystem)) {
    m_fnDigests = std::move(digests);
}

CCatalogue::~CCatalogue() = default;

std::string CCatalogue::LastError() const { return m_strError; }

bool CCatalogue::Fail(const std::string& what) {
    m_strError = what;
    return false;
}

bool CCatalogue::DatabaseFailed() { return Fail(m_pStore->Error()); }

bool CCatalogue::EntriesFailed() {
    return m_pEntries->Error().empty() ? DatabaseFailed() : Fail(m_pEntries->Error());
}

// The reports read since the last segment: their entries as one segment,
// and what reading them found, in one transaction.
bool CCatalogue::CommitStaged() {
    if (!m_pEntries->HasStaged()) {
        return true;
    }
    CTransaction transaction(m_pStore->Db());
    if (!transaction.Open()) {
        // The reports stay changed and are read again.
        m_pEntries->DiscardStaged();
        m_arrPending.clear();
        return DatabaseFailed();
    }
    bool ok = m_pEntries->CommitStaged();
    for (std::size_t i = 0; ok && i < m_arrPending.size(); ++i) {
        const CPendingRead& read = m_arrPending[i];
        ok = m_pStore->SetRead(read.m_nId, *read.m_pOutcome) &&
             m_pCopyKeys->Store(read.m_nId, read.m_strDigests);
    }
    m_arrPending.clear();
    return (ok && transaction.Commit()) || EntriesFailed();
}

bool CCatalogue::Open(bool create) {
    std::lock_guard lock(m_mutex);
    m_pEntries.reset();
    m_pCopyKeys.reset();
    m_pCopyIndex.reset();
    m_pCopyEntries.reset();
    if (!m_pStore->Open(create)) {
        return Fail(m_pStore->OpenError());
    }
    m_pEntries = std::make_unique<CCatalogueEntries>(m_pStore->Db(), m_strPath);
    m_pCopyKeys = std::make_unique<CCopyKeyStore>(m_pStore->Db());
    if (!m_pEntries->CreateTables() || !m_pCopyKeys->CreateTable()) {
        return Fail(m_strPath + ": " + (m_pEntries->Error().empty() ? m_pStore->Error() : m_pEntries->Error()));
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
    const std::string report = CanonicalPath(reportPath);
    if (!m_pStore->RegisterManifest(report, CanonicalPath(manifestPath))) {
        return Fail(manifestPath + ": " + m_pStore->Error());
    }
    // Its digests are read with its entries: read it again.
    const std::optional<std::int64_t> id = m_pStore->SourceId(report);
    const std::optional<CSourceRow> row = id ? m_pStore->Row(*id) : std::nullopt;
    return !row || row->m_state != SourceState::Ok || m_pStore->SetState(*id, SourceState::Changed) ||
           Fail(reportPath + ": " + m_pStore->Error());
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
        if (!m_pEntries->DropEntriesWithFolder(*source) || !m_pCopyKeys->DropWithFolder(*source) ||
            !m_pStore->DeleteSourceWithFolder(*source) ||
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
    CReportStream stream;
    int error = 0;
    CReportReader reader;
    std::size_t entries = 0;
    bool staged = false;
    std::vector<CReportEntry> files;
    std::deque<std::string> fileTexts; // what `files` points into
    std::string logText;
    CCatalogueStore::ReadOutcome outcome;
    if (!stream.Open(path, error)) {
        outcome.m_state = SourceState::Unreadable;
        m_arrWarnings.push_back(path + ": " + std::strerror(error));
    } else {
        outcome.m_strFileSystem = m_pScanner->FileSystemOfFile(path);
        logText = m_pStore->LogFor(id, path);
        reader.SetLog(logText);
        m_pEntries->StageReport(id, path);
        // Streamed: stops at the first line that cannot belong to a report.
        staged = stream.Read(reader, [&](const CReportEntry& entry) {
            m_pEntries->StageEntry(entry);
            KeepFileForDigests(entry, files, fileTexts);
            ++entries;
        });
        if (!staged) {
            m_pEntries->AbandonReport();
            files.clear();
            CFileVersion version;
            version.m_nSize = stream.Size();
            version.m_nModifiedNs = stream.ModifiedNs();
            const auto trial = m_mapOnTrial.find(id);
            if (stream.ReadError() == 0 && trial != m_mapOnTrial.end()) {
                return DropNonReport(*row, version, trial->second, reader.Reason());
            }
            outcome.m_state = SourceState::Unreadable;
            m_arrWarnings.push_back(path + ": " +
                                    (stream.ReadError() != 0 ? std::string(std::strerror(stream.ReadError()))
                                                             : "not a report (" + reader.Reason() + ")"));
        } else if (reader.Layout() == ReportLayout::ArchiveLog) {
            m_pEntries->AbandonReport();
            staged = false;
            outcome.m_bLog = true;
            for (const auto& [tag, folder] : reader.LogLines()) {
                outcome.m_strLogText += tag + "\t" + folder + "\n";
            }
        }
    }
    // The identity as the scanner sees it, so that the next add compares like with like.
    CFileVersion seen;
    const bool looked = m_pFileSystem->Stat(path, seen) == 0;
    outcome.m_nDevice = looked ? seen.m_nDevice : stream.Device();
    outcome.m_nInode = looked ? seen.m_nInode : stream.Inode();
    outcome.m_nSize = stream.Size();
    outcome.m_nModifiedNs = stream.ModifiedNs();
    outcome.m_nEntries = outcome.m_bLog ? reader.LogLines().size() : staged ? entries : 0;
    if (staged) {
        std::vector<std::optional<EntryDigest>> digests;
        if (m_fnDigests && !files.empty()) {
            digests = m_fnDigests({path, m_pStore->ManifestOf(path), reader.Layout(), logText, files});
        }
        CCopyDigests kept;
        for (std::size_t i = 0; i < files.size() && i < digests.size(); ++i) {
            if (digests[i]) {
                kept.Add(files[i].m_nLine, *digests[i]);
            }
        }
        // Stored with the segment that holds its entries.
        m_arrPending.push_back(
            {id, std::make_unique<CCatalogueStore::ReadOutcome>(std::move(outcome)), kept.Bytes()});
        return !m_pEntries->StagedFull() || CommitStaged();
    }
    CTransaction transaction(m_pStore->Db());
    if (!transaction.Open() || !m_pEntries->DropEntries(id) || !m_pCopyKeys->Drop(id) ||
        !m_pStore->SetRead(id, outcome)) {
        return EntriesFailed();
    }
    return transaction.Commit() || DatabaseFailed();
}

// A source on trial that proved no report: a file named to be added is
// refused, one found in a folder is remembered as no report.
bool CCatalogue::DropNonReport(const CSourceRow& row, const CFileVersion& version, const std::string& namedAs,
                               const std::string& reason) {
    CTransaction transaction(m_pStore->Db());
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
            break;
        }
        if (row.m_kind != SourceKind::Folder && row.m_state == SourceState::Changed && !ReadSource(row.m_nId)) {
            return false;
        }
    }
    return CommitStaged();
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
    CSourceScanner::CFileSystems fileSystems;
    for (const CSourceRow& row : rows) {
        const CSourceScanner::CCheck check = m_pScanner->Check(row, fileSystems);
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
            if (!m_pEntries->DropEntries(row.m_nId) || !m_pCopyKeys->Drop(row.m_nId) ||
                !m_pStore->DeleteSource(row.m_nId) || !transaction.Commit()) {
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
            return CommitStaged();
        }
        if (!ReadSource(toRead[done])) {
            return false;
        }
    }
    // What was read goes in, then only merges that keep the next search quick.
    if (!CommitStaged() || (!toRead.empty() && !m_pEntries->Merge(CMergePolicy::Occasion::Add))) {
        return EntriesFailed();
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
    return checked && (m_bCancel || m_pEntries->Merge(CMergePolicy::Occasion::Refresh) || EntriesFailed());
}

bool CCatalogue::Compact() {
    std::lock_guard lock(m_mutex);
    const CCancellable cancellable(*this);
    return m_pEntries->Merge(CMergePolicy::Occasion::Compact) || EntriesFailed();
}

std::vector<CSourceInfo> CCatalogue::Sources() {
    std::lock_guard lock(m_mutex);
    if (CheckWindowPassed()) {
        CheckSources(false);
    }
    return m_pStore->List();
}

CFindResult CCatalogue::Find(const CFindQuery& query, std::size_t limit, std::size_t offset) {
    return Find(query, limit, offset, FindHitSink());
}

CFindResult CCatalogue::Find(const CFindQuery& query, std::size_t limit, std::size_t offset, const FindHitSink& sink) {
    std::lock_guard lock(m_mutex);
    const CCancellable cancellable(*this);
    if (!(CheckWindowPassed() ? CheckSources(true) : ReadChanged())) {
        CFindResult result;
        result.m_bCancelled = m_bCancel;
        result.m_bFailed = !m_bCancel;
        return result;
    }
    // Files on one medium only are the files found, less those with copies elsewhere.
    const bool oneMedium = query.m_kinds == FindKinds::OneMediumOnly;
    CFindQuery asked = query;
    asked.m_kinds = oneMedium ? FindKinds::Files : query.m_kinds;
    // Copy counts are set on the hits kept; without them the hits go straight to the sink.
    const bool counted = oneMedium || query.m_bCopies;
    const FindHitSink* streamed = sink && !counted ? &sink : nullptr;
    CFindResult result = m_pEntries->Search(asked, oneMedium ? SIZE_MAX : limit, oneMedium ? 0 : offset, m_bCancel,
                                            m_arrWarnings, streamed);
    if (result.m_bFailed) {
        DatabaseFailed();
    } else if ((oneMedium || query.m_bCopies) && !result.m_bCancelled) {
        const CCopyIndex* index = CurrentCopyIndex(false);
        if (index == nullptr) {
            result.m_bFailed = true;
            DatabaseFailed();
        } else {
            index->Count(result, oneMedium, limit, offset);
        }
    }
    if (sink && streamed == nullptr) {
        for (const CFindHit& hit : result.m_arrHits) {
            sink(hit);
        }
        result.m_arrHits.clear();
    }
    return result;
}

std::pair<std::int64_t, std::int64_t> CCatalogue::CopyIndexKey() {
    std::pair<std::int64_t, std::int64_t> key{-1, -1};
    CSqliteStatement meta(m_pStore->Db().Handle(),
                          "SELECT (SELECT value FROM meta WHERE key='catalogue'), "
                          "(SELECT value FROM meta WHERE key='generation')");
    if (meta.Step()) {
        key = {meta.Int(0), meta.Int(1)};
    }
    return key;
}

bool CCatalogue::CopiesReady() {
    std::lock_guard lock(m_mutex);
    if (!m_pCopyIndex || !m_pStore || m_pCopyIndex->ByName()) {
        return false;
    }
    const auto key = CopyIndexKey();
    return key == m_copyIndexKey && key.second >= 0;
}

const CCopyIndex* CCatalogue::CurrentCopyIndex(bool byName) {
    const std::pair<std::int64_t, std::int64_t> key = CopyIndexKey();
    if (m_pCopyIndex && key == m_copyIndexKey && key.second >= 0 && m_pCopyIndex->ByName() == byName) {
        return m_pCopyIndex.get();
    }
    m_pCopyIndex.reset();
    m_pCopyEntries = m_pEntries->CopyKeys(m_arrWarnings);
    if (!m_pCopyEntries) {
        return nullptr;
    }
    auto index = std::make_unique<CCopyIndex>(byName);
    {
        CSqliteStatement entries(m_pStore->Db().Handle(), "SELECT total(entries) FROM sources WHERE kind=0");
        if (entries.Step()) {
            index->Reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(entries.Int(0), 0, INT32_MAX)));
        }
    }
    // Each report's source and digests; the source below reads them on the index's second thread.
    std::unordered_map<std::string, std::pair<std::int64_t, std::string>> reports;
    std::vector<std::string> paths;
    const bool read = m_pCopyKeys->ForEach([&](std::int64_t source, std::string_view path, std::string_view blob) {
        paths.emplace_back(path);
        reports[paths.back()] = {source, std::string(blob)};
    });
    if (!read) {
        return nullptr;
    }
    const CCopyIndex::CKeysSource keys = [&](const std::string& path, const CCopyIndex::CKeySink& sink) {
        const auto& [source, blob] = reports.at(path);
        CCopyDigests digests;
        return digests.FromStored(blob) && m_pCopyEntries->Read(source, digests, sink);
    };
    for (const std::string& path : index->AddReports(paths, keys)) {
        m_arrWarnings.push_back(path + ": damaged entries in the catalogue; refresh it");
    }
    index->Group();
    m_pCopyIndex = std::move(index);
    m_copyIndexKey = key;
    return m_pCopyIndex.get();
}

CCopiesResult CCatalogue::Copies(const CCopiesQuery& query, bool summary,
                                 const std::function<void(const CCopyGroup&)>& onGroup) {
    std::lock_guard lock(m_mutex);
    const CCancellable cancellable(*this);
    CCopiesResult result;
    if (!(CheckWindowPassed() ? CheckSources(true) : ReadChanged())) {
        result.m_bCancelled = m_bCancel;
        result.m_bFailed = !m_bCancel;
        return result;
    }
    // The answer reads the names of what it gives from the keys it grouped.
    const CReadSnapshot snapshot(m_pStore->Db());
    const CCopyIndex* index = CurrentCopyIndex(query.m_bByName);
    if (index == nullptr) {
        result.m_bCancelled = m_bCancel;
        result.m_bFailed = !m_bCancel;
        if (result.m_bFailed) {
            DatabaseFailed();
        }
        return result;
    }
    const CCopyIndex::CKeysSource source = [this](const std::string& path, const CCopyIndex::CKeySink& sink) {
        std::int64_t id = 0;
        std::string blob;
        CCopyDigests digests;
        return m_pCopyKeys->Read(path, id, blob) && digests.FromStored(blob) && m_pCopyEntries->Read(id, digests, sink);
    };
    const CCopyIndex::CGroupSink none = [](const CCopyGroup&) {};
    result = summary ? index->Summary(query, source, m_bCancel) : index->Groups(query, source, onGroup ? onGroup : none, m_bCancel);
    for (std::string& warning : result.m_arrWarnings) {
        if (std::find(m_arrWarnings.begin(), m_arrWarnings.end(), warning) == m_arrWarnings.end()) {
            m_arrWarnings.push_back(std::move(warning));
        }
    }
    result.m_arrWarnings.clear();
    return result;
}

std::vector<std::uint32_t> CCatalogue::CopiesOf(const std::vector<std::pair<std::string, std::uint64_t>>& places) {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint32_t> copies(places.size(), 0);
    const CCopyIndex* index = m_pCopyKeys ? CurrentCopyIndex(false) : nullptr;
    if (index != nullptr) {
        for (std::size_t i = 0; i < places.size(); ++i) {
            copies[i] = index->CopiesOf(places[i].first, places[i].second);
        }
    }
    return copies;
}
