#include "CatalogueEntries.h"

#include "EntryBlob.h"
#include "SegmentBuilder.h"
#include "SegmentCopyKeys.h"
#include "SegmentMerge.h"
#include "SegmentReader.h"
#include "SegmentSearch.h"
#include "SqliteDatabase.h"
#include "Transaction.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <unistd.h>

namespace {

// A segment is written once the gathered entries take this much memory.
constexpr std::size_t kSegmentBytes = 64u << 20;

const char* const kSegmentSchema = R"(
CREATE TABLE IF NOT EXISTS segments(name BLOB PRIMARY KEY, entries INTEGER NOT NULL, live INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS placement(source INTEGER PRIMARY KEY, segment BLOB NOT NULL, entries INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS hidden(segment BLOB NOT NULL, source INTEGER NOT NULL, PRIMARY KEY(segment, source));
INSERT OR IGNORE INTO meta VALUES('segment', 0);
)";

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

CCatalogueEntries::CCatalogueEntries(CSqliteDatabase& db, std::string cataloguePath)
    : m_db(db), m_strPath(std::move(cataloguePath)), m_pStaged(std::make_unique<CSegmentBuilder>()) {}

CCatalogueEntries::~CCatalogueEntries() = default;

bool CCatalogueEntries::Fail(const std::string& what) {
    m_strError = what;
    return false;
}

bool CCatalogueEntries::CreateTables() {
    if (!m_db.Exec(kSegmentSchema)) {
        return Fail(m_db.LastError());
    }
    bool former = false;
    {
        CSqliteStatement table(m_db.Handle(), "SELECT 1 FROM sqlite_master WHERE type='table' AND name='entries'");
        former = table.Step();
    }
    return !former || Migrate();
}

bool CCatalogueEntries::BumpGeneration() {
    return m_db.Exec("UPDATE meta SET value=value+1 WHERE key='generation'") || Fail(m_db.LastError());
}

// The entries table of the former form becomes segments, in one
// transaction: a crash leaves the former form whole, and the segments
// written so far as orphans for the next writer.
bool CCatalogueEntries::Migrate() {
    CTransaction transaction(m_db);
    if (!transaction.Open() || !RemoveOrphans()) {
        return Fail(m_db.LastError());
    }
    {
        CSqliteStatement again(m_db.Handle(), "SELECT 1 FROM sqlite_master WHERE type='table' AND name='entries'");
        if (!again.Step()) {
            return true; // another process converted it meanwhile
        }
    }
    bool read = false;
    {
        CSqliteStatement all(m_db.Handle(),
                             "SELECT s.id, s.path, e.data FROM sources s JOIN entries e ON e.source=s.id WHERE s.kind=0");
        while (all.Step()) {
            StageReport(all.Int(0), std::string(all.Blob(1)));
            if (!ReadEntryBlob(all.Blob(2), [this](const CReportEntry& e) { StageEntry(e); })) {
                // Damaged: the report is read again from its file.
                AbandonReport();
                CSqliteStatement mark(m_db.Handle(), "UPDATE sources SET state=1 WHERE id=?");
                mark.Bind(1, all.Int(0));
                mark.Run();
                continue;
            }
            if (StagedFull() && !CommitStaged()) {
                return false;
            }
        }
        read = all.Error() == 0;
    }
    if (!read || (HasStaged() && !CommitStaged()) ||
        !m_db.Exec("DROP TRIGGER IF EXISTS entries_added; DROP TRIGGER IF EXISTS entries_removed; "
                   "DROP TRIGGER IF EXISTS entries_changed; DROP TABLE entries;") ||
        !BumpGeneration() || !transaction.Commit()) {
        return Fail(m_strError.empty() ? m_db.LastError() : m_strError);
    }
    unlink((m_strPath + "-names").c_str());
    return true;
}

void CCatalogueEntries::StageReport(std::int64_t source, const std::string& path) {
    m_pStaged->AddReport(source, path);
    m_arrStaged.emplace_back(source, m_pStaged->Entries());
}

void CCatalogueEntries::StageEntry(const CReportEntry& entry) { m_pStaged->Add(entry); }

void CCatalogueEntries::AbandonReport() {
    if (!m_arrStaged.empty()) {
        m_pStaged->AbandonReport();
        m_arrStaged.pop_back();
    }
}

bool CCatalogueEntries::HasStaged() const { return !m_arrStaged.empty(); }

void CCatalogueEntries::DiscardStaged() {
    *m_pStaged = CSegmentBuilder();
    m_arrStaged.clear();
}

bool CCatalogueEntries::StagedFull() const { return m_pStaged->BufferedBytes() >= kSegmentBytes; }

// A name no listed segment has: the next number, counted in the database.
std::string CCatalogueEntries::NewSegmentPath() {
    CSqliteStatement bump(m_db.Handle(), "UPDATE meta SET value=value+1 WHERE key='segment'");
    CSqliteStatement number(m_db.Handle(), "SELECT value FROM meta WHERE key='segment'");
    if (!bump.Run() || !number.Step()) {
        return {};
    }
    return m_strPath + "-seg-" + std::to_string(number.Int(0));
}

// In a write transaction: the files named as segments of this catalogue
// that no committed transaction lists (a writer stopped before its commit).
bool CCatalogueEntries::RemoveOrphans() {
    const std::string prefix = BaseName(m_strPath) + "-seg-";
    const std::string folder = FolderOf(m_strPath);
    std::vector<std::string> found;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(folder + "/" + name);
            }
        }
        closedir(dir);
    }
    for (const std::string& path : found) {
        CSqliteStatement listed(m_db.Handle(), "SELECT 1 FROM segments WHERE name=?");
        listed.Bind(1, BaseName(path));
        if (!listed.Step()) {
            if (listed.Error() != 0) {
                return false;
            }
            unlink(path.c_str());
        }
    }
    return true;
}

bool CCatalogueEntries::ListSegment(const std::string& path,
                                    const std::vector<std::pair<std::int64_t, std::uint64_t>>& reports) {
    const auto reader = CSegmentReader::Open(path);
    if (!reader) {
        return Fail(path + ": the segment just written cannot be read");
    }
    CSqliteStatement insert(m_db.Handle(), "INSERT INTO segments(name, entries, live) VALUES(?,?,?)");
    insert.Bind(1, BaseName(path))
        .Bind(2, static_cast<std::int64_t>(reader->Entries()))
        .Bind(3, static_cast<std::int64_t>(reader->Entries()));
    if (!insert.Run()) {
        return Fail(m_db.LastError());
    }
    for (const auto& [source, entries] : reports) {
        CSqliteStatement place(m_db.Handle(), "INSERT OR REPLACE INTO placement(source, segment, entries) VALUES(?,?,?)");
        place.Bind(1, source).Bind(2, BaseName(path)).Bind(3, static_cast<std::int64_t>(entries));
        if (!place.Run()) {
            return Fail(m_db.LastError());
        }
    }
    return BumpGeneration();
}

bool CCatalogueEntries::CommitStaged() {
    if (!HasStaged()) {
        return true;
    }
    // Entries of each report: from where its entries started to the next's.
    std::vector<std::pair<std::int64_t, std::uint64_t>> reports = m_arrStaged;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const std::uint64_t end = i + 1 < reports.size() ? reports[i + 1].second : m_pStaged->Entries();
        reports[i].second = end - reports[i].second;
    }
    m_arrStaged.clear();
    const std::string path = NewSegmentPath();
    std::string error;
    if (path.empty() || !RemoveOrphans()) {
        *m_pStaged = CSegmentBuilder();
        return Fail(m_db.LastError());
    }
    if (!m_pStaged->Write(path, error)) {
        return Fail(error);
    }
    for (const auto& [source, entries] : reports) {
        if (!DropEntries(source)) {
            return false;
        }
    }
    return ListSegment(path, reports);
}

bool CCatalogueEntries::DropEntries(std::int64_t source) {
    CSqliteStatement where(m_db.Handle(), "SELECT segment, entries FROM placement WHERE source=?");
    where.Bind(1, source);
    if (!where.Step()) {
        return where.Error() == 0 || Fail(m_db.LastError());
    }
    const std::string segment(where.Blob(0));
    const std::int64_t entries = where.Int(1);
    CSqliteStatement hide(m_db.Handle(), "INSERT OR IGNORE INTO hidden(segment, source) VALUES(?,?)");
    hide.Bind(1, segment).Bind(2, source);
    CSqliteStatement live(m_db.Handle(), "UPDATE segments SET live=max(0, live-?) WHERE name=?");
    live.Bind(1, entries).Bind(2, segment);
    CSqliteStatement forget(m_db.Handle(), "DELETE FROM placement WHERE source=?");
    forget.Bind(1, source);
    return (hide.Run() && live.Run() && forget.Run() && BumpGeneration()) || Fail(m_db.LastError());
}

bool CCatalogueEntries::DropEntriesWithFolder(std::int64_t source) {
    std::vector<std::int64_t> sources{source};
    CSqliteStatement inFolder(m_db.Handle(), "SELECT id FROM sources WHERE folder=?");
    inFolder.Bind(1, source);
    while (inFolder.Step()) {
        sources.push_back(inFolder.Int(0));
    }
    return std::all_of(sources.begin(), sources.end(), [this](std::int64_t s) { return DropEntries(s); });
}

bool CCatalogueEntries::Merge(CMergePolicy::Occasion occasion) {
    {
        // What a writer stopped before its commit left, whether or not there is anything to merge.
        CTransaction transaction(m_db);
        if (!transaction.Open() || !RemoveOrphans() || !transaction.Commit()) {
            return Fail(m_db.LastError());
        }
    }
    for (;;) {
        std::vector<std::string> names;
        std::vector<CMergePolicy::Segment> sizes;
        {
            CSqliteStatement all(m_db.Handle(), "SELECT name, entries, live FROM segments ORDER BY name");
            while (all.Step()) {
                names.emplace_back(all.Blob(0));
                sizes.push_back({static_cast<std::uint64_t>(all.Int(1)), static_cast<std::uint64_t>(all.Int(2))});
            }
        }
        const auto groups = CMergePolicy::Choose(sizes, occasion);
        if (groups.empty()) {
            return true;
        }
        // One merge a round, in its own transaction: the write lock from
        // the new file to its commit.
        const std::vector<std::size_t>& group = groups.front();
        CTransaction transaction(m_db);
        std::uint64_t live = 0;
        for (const std::size_t i : group) {
            live += sizes[i].m_nLive;
        }
        if (live == 0) {
            // Nothing left in them: they only leave the list.
            for (const std::size_t i : group) {
                CSqliteStatement unhide(m_db.Handle(), "DELETE FROM hidden WHERE segment=?");
                unhide.Bind(1, names[i]);
                CSqliteStatement drop(m_db.Handle(), "DELETE FROM segments WHERE name=?");
                drop.Bind(1, names[i]);
                if (!transaction.Open() || !unhide.Run() || !drop.Run()) {
                    return Fail(m_db.LastError());
                }
            }
            if (!BumpGeneration() || !transaction.Commit()) {
                return Fail(m_db.LastError());
            }
            for (const std::size_t i : group) {
                m_mapReaders.erase(names[i]);
                unlink((FolderOf(m_strPath) + "/" + names[i]).c_str());
            }
            continue;
        }
        const std::string path = transaction.Open() ? NewSegmentPath() : std::string();
        if (path.empty() || !RemoveOrphans()) {
            return Fail(m_db.LastError());
        }
        std::vector<CLiveSegment> inputs;
        for (const std::size_t i : group) {
            CLiveSegment input{Reader(names[i]), {}};
            CSqliteStatement hidden(m_db.Handle(), "SELECT source FROM hidden WHERE segment=?");
            hidden.Bind(1, names[i]);
            while (hidden.Step()) {
                input.m_arrDeleted.push_back(hidden.Int(0));
            }
            if (!input.m_pReader) {
                return Fail(FolderOf(m_strPath) + "/" + names[i] + ": not a segment of this catalogue");
            }
            inputs.push_back(std::move(input));
        }
        std::string error;
        if (!SegmentMerge::Merge(inputs, path, error)) {
            return Fail(error);
        }
        const auto reader = CSegmentReader::Open(path);
        if (!reader) {
            return Fail(path + ": the segment just written cannot be read");
        }
        for (const std::size_t i : group) {
            CSqliteStatement move(m_db.Handle(), "UPDATE placement SET segment=? WHERE segment=?");
            move.Bind(1, BaseName(path)).Bind(2, names[i]);
            CSqliteStatement unhide(m_db.Handle(), "DELETE FROM hidden WHERE segment=?");
            unhide.Bind(1, names[i]);
            CSqliteStatement drop(m_db.Handle(), "DELETE FROM segments WHERE name=?");
            drop.Bind(1, names[i]);
            if (!move.Run() || !unhide.Run() || !drop.Run()) {
                return Fail(m_db.LastError());
            }
        }
        CSqliteStatement insert(m_db.Handle(), "INSERT INTO segments(name, entries, live) VALUES(?,?,?)");
        insert.Bind(1, BaseName(path))
            .Bind(2, static_cast<std::int64_t>(reader->Entries()))
            .Bind(3, static_cast<std::int64_t>(reader->Entries()));
        if (!insert.Run() || !BumpGeneration() || !transaction.Commit()) {
            return Fail(m_db.LastError());
        }
        // Gone from the list: a process that maps them keeps its mapping.
        for (const std::size_t i : group) {
            m_mapReaders.erase(names[i]);
            unlink((FolderOf(m_strPath) + "/" + names[i]).c_str());
        }
    }
}

// One read of the catalogue's identity and generation: what the entries
// are now, whoever changed them.
std::pair<std::int64_t, std::int64_t> CCatalogueEntries::CurrentKey() {
    CSqliteStatement meta(m_db.Handle(),
                          "SELECT (SELECT value FROM meta WHERE key='catalogue'), "
                          "(SELECT value FROM meta WHERE key='generation')");
    return meta.Step() ? std::pair(meta.Int(0), meta.Int(1)) : std::pair(std::int64_t(-1), std::int64_t(-1));
}

std::shared_ptr<const CSegmentReader> CCatalogueEntries::Reader(const std::string& name) {
    auto& reader = m_mapReaders[name];
    if (!reader) {
        reader = CSegmentReader::Open(FolderOf(m_strPath) + "/" + name);
    }
    return reader;
}

std::unique_ptr<CSegmentCopyKeys> CCatalogueEntries::CopyKeys(std::vector<std::string>& warnings) {
    auto keys = std::make_unique<CSegmentCopyKeys>();
    std::map<std::string, std::vector<std::int64_t>> placed; // sources by segment
    CSqliteStatement all(m_db.Handle(), "SELECT segment, source FROM placement");
    while (all.Step()) {
        placed[std::string(all.Blob(0))].push_back(all.Int(1));
    }
    if (all.Error() != 0) {
        return nullptr;
    }
    for (auto& [name, sources] : placed) {
        // A mapping of its own: Copies gives its pages back as it reads, Find keeps its own warm.
        std::shared_ptr<const CSegmentReader> segment = CSegmentReader::Open(FolderOf(m_strPath) + "/" + name);
        if (!segment) {
            segment = Reader(name);
        }
        if (!segment) {
            warnings.push_back(FolderOf(m_strPath) + "/" + name + ": a segment of the catalogue is missing or damaged");
            continue;
        }
        std::sort(sources.begin(), sources.end());
        for (std::uint64_t r = 0; r < segment->Reports(); ++r) {
            const std::int64_t source = segment->ReportAt(r).m_nSource;
            if (std::binary_search(sources.begin(), sources.end(), source)) {
                keys->AddReport(source, segment, r);
            }
        }
    }
    return keys;
}

// The listed segments and what each hides, read in one transaction.
bool CCatalogueEntries::Load(std::vector<std::string>& warnings) {
    m_searchKey = CurrentKey();
    std::vector<CLiveSegment> live;
    std::map<std::string, std::shared_ptr<const CSegmentReader>> kept;
    CSqliteStatement all(m_db.Handle(), "SELECT name FROM segments ORDER BY name");
    while (all.Step()) {
        const std::string name(all.Blob(0));
        CLiveSegment segment{Reader(name), {}};
        if (!segment.m_pReader) {
            warnings.push_back(FolderOf(m_strPath) + "/" + name + ": a segment of the catalogue is missing or damaged");
            continue;
        }
        CSqliteStatement hidden(m_db.Handle(), "SELECT source FROM hidden WHERE segment=?");
        hidden.Bind(1, name);
        while (hidden.Step()) {
            segment.m_arrDeleted.push_back(hidden.Int(0));
        }
        kept[name] = segment.m_pReader;
        live.push_back(std::move(segment));
    }
    if (all.Error() != 0) {
        return false;
    }
    m_mapReaders = std::move(kept);
    m_pSearch = std::make_unique<CSegmentSearch>(std::move(live));
    return true;
}

CFindResult CCatalogueEntries::Search(const CFindQuery& query, std::size_t limit, std::size_t offset,
                                      const std::atomic<bool>& cancel, std::vector<std::string>& warnings,
                                      const FindHitSink* sink) {
    if (m_pSearch && CurrentKey() != m_searchKey) {
        m_pSearch.reset(); // another catalogue object, maybe in another process, changed the entries
    }
    if (!m_pSearch) {
        m_db.Exec("BEGIN");
        const bool loaded = Load(warnings);
        m_db.Exec("COMMIT");
        if (!loaded) {
            CFindResult result;
            result.m_bCancelled = cancel;
            result.m_bFailed = !cancel;
            return result;
        }
    }
    return m_pSearch->Search(query, limit, cancel, offset, sink);
}
