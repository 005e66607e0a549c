#include "SegmentSearch.h"

#include "CaseFold.h"
#include "EntryBlock.h"
#include "FindOrder.h"
#include "GlobPattern.h"
#include "RoaringBitmap.h"
#include "SegmentPlaces.h"
#include "SegmentReader.h"
#include "TextScan.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

using SegmentFormat::kDataBlock;
using SegmentFormat::kNameBlock;

struct CSegmentSearch::Segment {
    std::shared_ptr<const CSegmentReader> m_pReader;
    CRoaringBitmap m_dead;
    bool m_bAnyDead = false;
    std::once_flag m_foldersRead;
    CRoaringBitmap m_folders;

    const CRoaringBitmap& Folders() {
        std::call_once(m_foldersRead, [this] { m_pReader->Folders(m_folders); });
        return m_folders;
    }
};

namespace {

// The query as the segments are searched with it.
struct Prepared {
    std::vector<std::string> m_arrTexts; // folded
    bool m_bGlob = false;
    std::unique_ptr<CGlobPattern> m_pGlob;
    std::string m_strNeedle;               // every matching name holds it
    std::vector<std::uint32_t> m_arrTrigrams; // of the texts, or the glob's literal
    std::string m_strMediumPrefix;         // folded
    FindKinds m_kinds = FindKinds::All;

    bool Matches(std::string_view name) const {
        if (m_bGlob) {
            return m_pGlob->Matches(name);
        }
        return std::all_of(m_arrTexts.begin(), m_arrTexts.end(),
                           [name](const std::string& text) { return name.find(text) != std::string_view::npos; });
    }
};

void AddTrigrams(std::vector<std::uint32_t>& out, std::string_view text) {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        out.push_back(static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << 16 |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(text[i + 1])) << 8 |
                      static_cast<unsigned char>(text[i + 2]));
    }
}

Prepared Prepare(const CFindQuery& query) {
    Prepared p;
    p.m_bGlob = !query.m_strGlob.empty();
    if (p.m_bGlob) {
        p.m_pGlob = std::make_unique<CGlobPattern>(CaseFold::Fold(query.m_strGlob));
        p.m_strNeedle = p.m_pGlob->LongestLiteral();
        AddTrigrams(p.m_arrTrigrams, p.m_strNeedle);
    } else {
        for (const std::string& text : query.m_arrTexts) {
            p.m_arrTexts.push_back(CaseFold::Fold(text));
            AddTrigrams(p.m_arrTrigrams, p.m_arrTexts.back());
            if (p.m_arrTexts.back().size() > p.m_strNeedle.size()) {
                p.m_strNeedle = p.m_arrTexts.back();
            }
        }
    }
    std::sort(p.m_arrTrigrams.begin(), p.m_arrTrigrams.end());
    p.m_arrTrigrams.erase(std::unique(p.m_arrTrigrams.begin(), p.m_arrTrigrams.end()), p.m_arrTrigrams.end());
    p.m_strMediumPrefix = CaseFold::Fold(query.m_strMediumPrefix);
    p.m_kinds = query.m_kinds;
    return p;
}

struct Hit {
    std::uint32_t m_nEntry;
    std::string_view m_folded;
};

// The hits of one run of a segment's candidate blocks.
struct Chunk {
    std::size_t m_nSegment = 0;
    std::size_t m_nFrom = 0, m_nTo = 0; // into the segment's candidate blocks
    std::uint64_t m_nTotal = 0;
    std::vector<Hit> m_arrHits; // the first ones, in order
};

struct Plan {
    std::uint64_t m_nLow = 0, m_nHigh = 0; // entries whose medium fits
    std::vector<std::uint32_t> m_arrBlocks;  // name blocks that may hold hits
};

// Places are in Find's order, so those whose folded medium starts with the
// prefix are one run, and so are their entries.
void EntriesOfMedium(const CSegmentReader& reader, std::string_view prefix, Plan& plan) {
    plan.m_nLow = 0;
    plan.m_nHigh = reader.Entries();
    if (prefix.empty()) {
        return;
    }
    const auto firstWhere = [&](auto&& before) {
        std::uint64_t lo = 0, hi = reader.Places();
        while (lo < hi) {
            const std::uint64_t mid = lo + (hi - lo) / 2;
            if (before(reader.PlaceAt(mid).m_foldedMedium)) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return lo;
    };
    const std::uint64_t first = firstWhere([&](std::string_view medium) { return medium < prefix; });
    const std::uint64_t last = firstWhere([&](std::string_view medium) {
        return medium < prefix || medium.compare(0, prefix.size(), prefix) == 0;
    });
    const auto startOf = [&](std::uint64_t place) {
        return place >= reader.Places() ? reader.Entries() : std::min(reader.PlaceStart(place), reader.Entries());
    };
    plan.m_nLow = startOf(first);
    plan.m_nHigh = std::max(plan.m_nLow, startOf(last));
}

Plan MakePlan(const CSegmentReader& reader, const Prepared& query) {
    Plan plan;
    EntriesOfMedium(reader, query.m_strMediumPrefix, plan);
    if (plan.m_nLow >= plan.m_nHigh) {
        return plan;
    }
    const auto firstBlock = static_cast<std::uint32_t>(plan.m_nLow / kNameBlock);
    const auto endBlock = static_cast<std::uint32_t>((plan.m_nHigh + kNameBlock - 1) / kNameBlock);
    if (query.m_arrTrigrams.empty()) {
        for (std::uint32_t b = firstBlock; b < endBlock; ++b) {
            plan.m_arrBlocks.push_back(b);
        }
        return plan;
    }
    // The rarest lists are not known before they are read; all are read
    // and intersected, stopping once nothing is left.
    CRoaringBitmap blocks;
    for (std::size_t i = 0; i < query.m_arrTrigrams.size(); ++i) {
        CRoaringBitmap list;
        if (!reader.Postings(query.m_arrTrigrams[i], list)) {
            return plan;
        }
        if (i == 0) {
            blocks = std::move(list);
        } else {
            blocks.IntersectWith(list);
        }
        if (blocks.Empty()) {
            return plan;
        }
    }
    plan.m_arrBlocks = blocks.Values(firstBlock, endBlock);
    return plan;
}

// Confirms the names of the chunk's blocks; keeps the first `kept` hits.
void SearchChunk(CSegmentSearch::Segment& segment, const Plan& plan, const Prepared& query, std::size_t kept,
                 const std::atomic<bool>& cancel, Chunk& chunk) {
    const CSegmentReader& reader = *segment.m_pReader;
    const bool kinds = query.m_kinds != FindKinds::All;
    const CRoaringBitmap* folders = kinds ? &segment.Folders() : nullptr;
    for (std::size_t k = chunk.m_nFrom; k < chunk.m_nTo; ++k) {
        if (cancel.load(std::memory_order_relaxed)) {
            return;
        }
        const std::uint32_t block = plan.m_arrBlocks[k];
        const std::string_view names = reader.NameBlock(block);
        const std::uint64_t first = std::uint64_t{block} * kNameBlock;
        const std::uint64_t end = std::min<std::uint64_t>(first + kNameBlock, plan.m_nHigh);
        // From one place of the needle to the next: names between them are
        // only counted, by their line ends.
        std::uint64_t entry = first;
        std::size_t at = 0; // where that entry's name starts
        while (entry < end && at < names.size()) {
            std::size_t found = at;
            if (!query.m_strNeedle.empty()) {
                const char* hit = TextScan::Find(names.data() + at, names.size() - at, query.m_strNeedle);
                if (hit == nullptr) {
                    break;
                }
                found = static_cast<std::size_t>(hit - names.data());
                for (const void* stop; (stop = std::memchr(names.data() + at, '\n', found - at)) != nullptr;) {
                    at = static_cast<std::size_t>(static_cast<const char*>(stop) - names.data()) + 1;
                    ++entry;
                }
            }
            const void* stop = std::memchr(names.data() + found, '\n', names.size() - found);
            const std::size_t to = stop == nullptr ? names.size() : static_cast<std::size_t>(static_cast<const char*>(stop) - names.data());
            const std::string_view name = names.substr(at, to - at);
            const std::uint64_t current = entry++;
            at = to + 1;
            if (current >= end) {
                break;
            }
            if (current < plan.m_nLow || !query.Matches(name)) {
                continue;
            }
            const auto ordinal = static_cast<std::uint32_t>(current);
            if (segment.m_bAnyDead && segment.m_dead.Contains(ordinal)) {
                continue;
            }
            if (kinds && folders->Contains(ordinal) != (query.m_kinds == FindKinds::Folders)) {
                continue;
            }
            ++chunk.m_nTotal;
            if (chunk.m_arrHits.size() < kept) {
                chunk.m_arrHits.push_back({ordinal, name});
            }
        }
    }
}

// The entries' fields, one decoded block kept per segment.
class CBlockCache {
public:
    explicit CBlockCache(const CSegmentReader& reader) : m_reader(reader) {}
    const CBlockEntry* Entry(std::uint32_t entry) {
        const std::uint64_t block = entry / kDataBlock;
        if (block != m_nBlock) {
            m_nBlock = block;
            m_reader.DataBlock(block, m_block);
        }
        const std::size_t i = entry % kDataBlock;
        return i < m_block.Size() ? &m_block[i] : nullptr;
    }

private:
    const CSegmentReader& m_reader;
    std::uint64_t m_nBlock = UINT64_MAX;
    CEntryBlock m_block;
};

// One segment's hits as the merge walks them.
struct Cursor {
    const CSegmentReader* m_pReader = nullptr;
    const std::vector<Hit>* m_pHits = nullptr;
    std::size_t m_nAt = 0;
    std::unique_ptr<CSegmentPlaces> m_pPlaces;
    std::unique_ptr<CBlockCache> m_pCache;

    bool Done() const { return m_nAt >= m_pHits->size(); }
    const Hit& Head() const { return (*m_pHits)[m_nAt]; }
    // The place of the head entry.
    const CSegmentReader::Place& Place() {
        m_pPlaces->Of(Head().m_nEntry);
        return m_pPlaces->Shown();
    }
    FindOrder::PlaceKey Key() {
        const CSegmentReader::Place& place = Place();
        return {place.m_foldedMedium, place.m_foldedFolder, place.m_medium, place.m_folder};
    }
    std::pair<std::string_view, std::uint64_t> ReportAndLine() {
        const CBlockEntry* e = m_pCache->Entry(Head().m_nEntry);
        if (e == nullptr) {
            return {};
        }
        return {m_pReader->ReportAt(e->m_nReport).m_path, e->m_nLine};
    }
};

bool Before(Cursor& a, Cursor& b) {
    const FindOrder::PlaceKey x = a.Key();
    const FindOrder::PlaceKey y = b.Key();
    if (!(x == y)) {
        return x < y;
    }
    const int byName = a.Head().m_folded.compare(b.Head().m_folded);
    if (byName != 0) {
        return byName < 0;
    }
    return a.ReportAndLine() < b.ReportAndLine();
}

// Fills hit with the cursor's head in place: a hit reused for many keeps its strings' room.
void MakeHit(Cursor& cursor, CFindHit& hit) {
    const CSegmentReader& reader = *cursor.m_pReader;
    const std::uint32_t entry = cursor.Head().m_nEntry;
    const CSegmentReader::Place& place = cursor.Place();
    CBlockCache& cache = *cursor.m_pCache;
    hit.m_strMedium = place.m_medium;
    hit.m_strFolder = place.m_folder;
    hit.m_bFolderWindows1252 = place.m_bWindows1252;
    if (const CBlockEntry* e = cache.Entry(entry)) {
        hit.m_strName = e->m_strName;
        hit.m_bFolder = e->m_bFolder;
        hit.m_nSize = e->m_nSize;
        hit.m_strDate = e->m_strDate;
        hit.m_strTime = e->m_strTime;
        hit.m_strReport = reader.ReportAt(e->m_nReport).m_path;
        hit.m_nLine = e->m_nLine;
        hit.m_bWindows1252 = e->m_bWindows1252;
    } else {
        hit.m_strName.clear();
        hit.m_bFolder = false;
        hit.m_nSize = 0;
        hit.m_strDate.clear();
        hit.m_strTime.clear();
        hit.m_strReport.clear();
        hit.m_nLine = 0;
        hit.m_bWindows1252 = false;
    }
}

} // namespace

CSegmentSearch::CSegmentSearch(std::vector<CLiveSegment> segments) {
    for (CLiveSegment& live : segments) {
        if (!live.m_pReader) {
            continue;
        }
        auto segment = std::make_unique<Segment>();
        segment->m_pReader = std::move(live.m_pReader);
        const CSegmentReader& reader = *segment->m_pReader;
        std::sort(live.m_arrDeleted.begin(), live.m_arrDeleted.end());
        std::uint64_t dead = 0;
        for (std::uint64_t r = 0; r < reader.Reports(); ++r) {
            const CSegmentReader::Report report = reader.ReportAt(r);
            if (!std::binary_search(live.m_arrDeleted.begin(), live.m_arrDeleted.end(), report.m_nSource)) {
                ++m_nReports;
                continue;
            }
            CRoaringBitmap entries;
            entries.FromBytes(report.m_entries);
            segment->m_dead.UniteWith(entries);
            segment->m_bAnyDead = true;
            dead += entries.Count();
        }
        m_nLiveEntries += reader.Entries() - std::min(dead, reader.Entries());
        m_arrSegments.push_back(std::move(segment));
    }
}

CSegmentSearch::~CSegmentSearch() = default;

CFindResult CSegmentSearch::Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel,
                                   std::size_t offset, const FindHitSink* sink) const {
    const std::size_t kept = limit > SIZE_MAX - offset ? SIZE_MAX : offset + limit;
    const Prepared prepared = Prepare(query);
    std::vector<Plan> plans;
    std::vector<Chunk> chunks;
    std::uint64_t candidates = 0;
    constexpr std::size_t kChunkBlocks = 1024;
    for (std::size_t s = 0; s < m_arrSegments.size(); ++s) {
        plans.push_back(MakePlan(*m_arrSegments[s]->m_pReader, prepared));
        const std::size_t blocks = plans.back().m_arrBlocks.size();
        candidates += blocks;
        for (std::size_t from = 0; from < blocks; from += kChunkBlocks) {
            Chunk chunk;
            chunk.m_nSegment = s;
            chunk.m_nFrom = from;
            chunk.m_nTo = std::min(blocks, from + kChunkBlocks);
            chunks.push_back(std::move(chunk));
        }
    }

    // Chunks are taken in turn by as many threads as pay.
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t c = next++; c < chunks.size(); c = next++) {
            Chunk& chunk = chunks[c];
            SearchChunk(*m_arrSegments[chunk.m_nSegment], plans[chunk.m_nSegment], prepared, kept, cancel, chunk);
        }
    };
    const unsigned threads = candidates * kNameBlock < 100000 || chunks.size() < 2
                                 ? 1u
                                 : std::max(1u, std::min({8u, std::thread::hardware_concurrency(),
                                                          static_cast<unsigned>(chunks.size())}));
    {
        std::vector<std::jthread> workers;
        for (unsigned t = 1; t < threads; ++t) {
            workers.emplace_back(work);
        }
        work();
    }

    CFindResult result;
    result.m_nReports = m_nReports;
    result.m_bCancelled = cancel.load();
    std::vector<std::vector<Hit>> hits(m_arrSegments.size());
    for (const Chunk& chunk : chunks) {
        result.m_nTotal += chunk.m_nTotal;
        std::vector<Hit>& own = hits[chunk.m_nSegment];
        const std::size_t take = std::min(chunk.m_arrHits.size(), kept - std::min(kept, own.size()));
        own.insert(own.end(), chunk.m_arrHits.begin(), chunk.m_arrHits.begin() + static_cast<std::ptrdiff_t>(take));
    }

    std::vector<Cursor> cursors;
    for (std::size_t s = 0; s < m_arrSegments.size(); ++s) {
        if (!hits[s].empty()) {
            Cursor cursor;
            cursor.m_pReader = m_arrSegments[s]->m_pReader.get();
            cursor.m_pHits = &hits[s];
            cursor.m_pPlaces = std::make_unique<CSegmentPlaces>(*cursor.m_pReader);
            cursor.m_pCache = std::make_unique<CBlockCache>(*cursor.m_pReader);
            cursors.push_back(std::move(cursor));
        }
    }
    CFindHit streamed;
    for (std::size_t n = 0; n < kept && !cursors.empty(); ++n) {
        std::size_t best = 0;
        for (std::size_t c = 1; c < cursors.size(); ++c) {
            if (Before(cursors[c], cursors[best])) {
                best = c;
            }
        }
        Cursor& cursor = cursors[best];
        if (n >= offset) {
            if (sink != nullptr) {
                MakeHit(cursor, streamed);
                (*sink)(streamed);
            } else {
                MakeHit(cursor, result.m_arrHits.emplace_back());
            }
        }
        ++cursor.m_nAt;
        if (cursor.Done()) {
            cursors.erase(cursors.begin() + static_cast<std::ptrdiff_t>(best));
        }
    }
    return result;
}
