#include "NameImage.h"

#include "CaseFold.h"
#include "GlobPattern.h"
#include "MappedFile.h"
#include "Windows1252.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <thread>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

std::string FoldShown(std::string_view text, bool windows1252) {
    if (!windows1252) {
        return CaseFold::Fold(text);
    }
    std::string utf8;
    Windows1252::AppendUtf8(utf8, text);
    return CaseFold::Fold(utf8);
}

// Names never hold a line end (reports show control characters as "?"), so
// '\n' ends each folded name in the scanned buffer; a stray one becomes "?".
void AppendFoldedName(std::string& out, std::string_view name, bool windows1252) {
    const std::size_t from = out.size();
    if (windows1252) {
        std::string utf8;
        Windows1252::AppendUtf8(utf8, name);
        CaseFold::Append(out, utf8);
    } else {
        CaseFold::Append(out, name);
    }
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\n', '?');
    out.push_back('\n');
}

// The saved image: this header, the entries, the folded name starts, the
// names, the folded names, then the small tables (counted, length-prefixed).
struct FileHeader {
    char m_magic[8];
    std::uint32_t m_nEntrySize;
    std::uint32_t m_nByteOrder;
    std::uint64_t m_nCatalogue;
    std::uint64_t m_nGeneration;
    std::uint64_t m_nEntries;
    std::uint64_t m_nNames;
    std::uint64_t m_nFolded;
    std::uint64_t m_nTables;
};
constexpr char kMagic[8] = {'S', 'T', 'O', 'W', 'N', 'A', 'M', '1'};
constexpr std::uint32_t kByteOrder = 0x01020304;
static_assert(sizeof(FileHeader) % 8 == 0);

void PutNumber(std::string& out, std::uint64_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
    PutNumber(out, text.size());
    out.append(text);
}

// Walks the tables once; every step is checked against their end.
class CTableReader {
public:
    explicit CTableReader(std::string_view bytes) : m_bytes(bytes) {}
    bool Number(std::uint64_t& value) {
        if (Left() < sizeof value) {
            return false;
        }
        std::memcpy(&value, m_bytes.data() + m_nAt, sizeof value);
        m_nAt += sizeof value;
        return true;
    }
    bool SkipText() {
        std::uint64_t length = 0;
        if (!Number(length) || length > Left()) {
            return false;
        }
        m_nAt += length;
        return true;
    }
    // A count of items of at least `least` bytes each, so a damaged count cannot ask for more than there is.
    bool Count(std::uint64_t& count, std::size_t least) { return Number(count) && count <= Left() / least; }
    std::uint64_t At() const { return m_nAt; }
    bool AtEnd() const { return m_nAt == m_bytes.size(); }

private:
    std::size_t Left() const { return m_bytes.size() - m_nAt; }

    std::string_view m_bytes;
    std::size_t m_nAt = 0;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::uint32_t CNameImage::CBuilder::Report(const std::string& path) {
    m_arrReports.push_back(path);
    return static_cast<std::uint32_t>(m_arrReports.size() - 1);
}

std::uint32_t CNameImage::CBuilder::Place(std::string_view medium, std::string_view folder) {
    std::string key(medium);
    key.push_back('\t');
    key.append(folder);
    const auto [it, added] = m_mapPlaces.emplace(std::move(key), static_cast<std::uint32_t>(m_arrPlaces.size()));
    if (added) {
        m_arrPlaces.emplace_back(std::string(medium), std::string(folder));
        m_arrPlaceWindows1252.push_back(Windows1252::IsValidUtf8(folder) && Windows1252::IsValidUtf8(medium) ? 0 : 1);
    }
    return it->second;
}

std::uint32_t CNameImage::CBuilder::Stamp(std::string_view date, std::string_view time) {
    std::string key(date);
    key.push_back('\t');
    key.append(time);
    const auto [it, added] = m_mapStamps.emplace(std::move(key), static_cast<std::uint32_t>(m_arrStamps.size()));
    if (added) {
        m_arrStamps.emplace_back(std::string(date), std::string(time));
    }
    return it->second;
}

void CNameImage::CBuilder::Add(std::string_view name, std::uint32_t place, std::uint32_t stamp,
                               std::uint32_t report, std::uint32_t line, bool folder, bool windows1252,
                               std::uint64_t size) {
    Entry entry{};
    entry.m_nNameOffset = m_strNames.size();
    entry.m_nNameLength = static_cast<std::uint32_t>(name.size());
    entry.m_nPlace = place;
    entry.m_nStamp = stamp;
    entry.m_nReport = report;
    entry.m_nLine = line;
    entry.m_nFlags = static_cast<std::uint8_t>((folder ? kFolder : 0) | (windows1252 ? kWindows1252 : 0));
    entry.m_nSize = size;
    m_strNames.append(name);
    m_arrEntries.push_back(entry);
}

std::unique_ptr<CNameImage> CNameImage::CBuilder::Build() {
    std::unique_ptr<CNameImage> image(new CNameImage());
    const std::size_t count = m_arrEntries.size();

    // Ranks of places and reports, so that entries sort on numbers first.
    std::vector<std::string> foldedMediums(m_arrPlaces.size());
    std::vector<std::string> foldedFolders(m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        foldedMediums[i] = FoldShown(m_arrPlaces[i].first, m_arrPlaceWindows1252[i] != 0);
        foldedFolders[i] = FoldShown(m_arrPlaces[i].second, m_arrPlaceWindows1252[i] != 0);
    }
    std::vector<std::uint32_t> order(m_arrPlaces.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::tie(foldedMediums[a], foldedFolders[a], m_arrPlaces[a]) <
               std::tie(foldedMediums[b], foldedFolders[b], m_arrPlaces[b]);
    });
    std::vector<std::uint32_t> placeRank(m_arrPlaces.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        placeRank[order[r]] = static_cast<std::uint32_t>(r);
    }
    order.resize(m_arrReports.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return m_arrReports[a] < m_arrReports[b]; });
    std::vector<std::uint32_t> reportRank(m_arrReports.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        reportRank[order[r]] = static_cast<std::uint32_t>(r);
    }

    // Folded names in the order given, then the entries sorted.
    std::string folded;
    folded.reserve(m_strNames.size() + count);
    std::vector<std::uint64_t> foldedStart(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        foldedStart[i] = folded.size();
        const Entry& e = m_arrEntries[i];
        AppendFoldedName(folded, std::string_view(m_strNames).substr(e.m_nNameOffset, e.m_nNameLength),
                         (e.m_nFlags & kWindows1252) != 0);
    }
    foldedStart[count] = folded.size();
    const auto foldedName = [&](std::size_t i) {
        return std::string_view(folded).substr(foldedStart[i], foldedStart[i + 1] - foldedStart[i] - 1);
    };
    std::vector<std::uint32_t> sorted(count);
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Entry& x = m_arrEntries[a];
        const Entry& y = m_arrEntries[b];
        if (x.m_nPlace != y.m_nPlace && placeRank[x.m_nPlace] != placeRank[y.m_nPlace]) {
            return placeRank[x.m_nPlace] < placeRank[y.m_nPlace];
        }
        const int byName = foldedName(a).compare(foldedName(b));
        if (byName != 0) {
            return byName < 0;
        }
        if (x.m_nReport != y.m_nReport) {
            return reportRank[x.m_nReport] < reportRank[y.m_nReport];
        }
        return x.m_nLine < y.m_nLine;
    });

    image->m_arrEntries.reserve(count);
    image->m_strFolded.reserve(folded.size());
    image->m_arrFoldedStart.reserve(count + 1);
    for (const std::uint32_t i : sorted) {
        image->m_arrEntries.push_back(m_arrEntries[i]);
        image->m_arrFoldedStart.push_back(image->m_strFolded.size());
        image->m_strFolded.append(folded, foldedStart[i], foldedStart[i + 1] - foldedStart[i]);
    }
    image->m_arrFoldedStart.push_back(image->m_strFolded.size());
    image->m_strNames = std::move(m_strNames);
    std::string& tables = image->m_strTables;
    PutNumber(tables, m_arrReports.size());
    for (const std::string& report : m_arrReports) {
        PutText(tables, report);
    }
    PutNumber(tables, m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        PutText(tables, m_arrPlaces[i].first);
        PutText(tables, m_arrPlaces[i].second);
        PutText(tables, foldedMediums[i]);
        PutNumber(tables, m_arrPlaceWindows1252[i]);
    }
    PutNumber(tables, m_arrStamps.size());
    for (const auto& [date, time] : m_arrStamps) {
        PutText(tables, date);
        PutText(tables, time);
    }
    *this = CBuilder();
    image->PointAtOwnStorage();
    image->IndexTables();
    return image;
}

CNameImage::~CNameImage() = default;

void CNameImage::PointAtOwnStorage() {
    m_pEntries = m_arrEntries.data();
    m_nEntries = m_arrEntries.size();
    m_pFoldedStart = m_arrFoldedStart.data();
    m_names = m_strNames;
    m_folded = m_strFolded;
    m_tables = m_strTables;
}

// Where each report, place and stamp starts in the tables; false when they
// do not hold together.
bool CNameImage::IndexTables() {
    CTableReader reader(m_tables);
    std::uint64_t count = 0;
    bool ok = reader.Count(count, sizeof(std::uint64_t));
    m_arrReportAt.reserve(ok ? count : 0);
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        m_arrReportAt.push_back(reader.At());
        ok = reader.SkipText();
    }
    ok = ok && reader.Count(count, 4 * sizeof(std::uint64_t));
    m_arrPlaceAt.reserve(ok ? count : 0);
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        m_arrPlaceAt.push_back(reader.At());
        std::uint64_t windows1252 = 0;
        ok = reader.SkipText() && reader.SkipText() && reader.SkipText() && reader.Number(windows1252);
    }
    ok = ok && reader.Count(count, 2 * sizeof(std::uint64_t));
    m_arrStampAt.reserve(ok ? count : 0);
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        m_arrStampAt.push_back(reader.At());
        ok = reader.SkipText() && reader.SkipText();
    }
    return ok && reader.AtEnd();
}

// The text at `at` in the tables, and `at` moved past it. Bounded again
// here: the tables are read in place, in a file mapped, not copied.
std::string_view CNameImage::TextAt(std::uint64_t& at) const {
    std::uint64_t length = 0;
    if (at > m_tables.size() || m_tables.size() - at < sizeof length) {
        at = m_tables.size();
        return {};
    }
    std::memcpy(&length, m_tables.data() + at, sizeof length);
    at += sizeof length;
    const std::string_view text = m_tables.substr(at, length);
    at += text.size();
    return text;
}

CNameImage::Place CNameImage::PlaceAt(std::size_t i) const {
    std::uint64_t at = m_arrPlaceAt[i];
    Place place;
    place.m_medium = TextAt(at);
    place.m_folder = TextAt(at);
    place.m_foldedMedium = TextAt(at);
    std::uint64_t windows1252 = 0;
    if (at <= m_tables.size() && m_tables.size() - at >= sizeof windows1252) {
        std::memcpy(&windows1252, m_tables.data() + at, sizeof windows1252);
    }
    place.m_bWindows1252 = windows1252 != 0;
    return place;
}

// Indices and offsets of a mapped image are bounded here, where they are
// read, rather than all checked before use: a damaged one gives empty texts.
CFindHit CNameImage::Hit(std::size_t i) const {
    const Entry& e = m_pEntries[i];
    CFindHit hit;
    if (e.m_nPlace < m_arrPlaceAt.size()) {
        const Place place = PlaceAt(e.m_nPlace);
        hit.m_strMedium = place.m_medium;
        hit.m_strFolder = place.m_folder;
        hit.m_bFolderWindows1252 = place.m_bWindows1252;
    }
    hit.m_strName = m_names.substr(std::min<std::uint64_t>(e.m_nNameOffset, m_names.size()), e.m_nNameLength);
    hit.m_bFolder = (e.m_nFlags & kFolder) != 0;
    hit.m_nSize = e.m_nSize;
    if (e.m_nStamp < m_arrStampAt.size()) {
        std::uint64_t at = m_arrStampAt[e.m_nStamp];
        hit.m_strDate = TextAt(at);
        hit.m_strTime = TextAt(at);
    }
    if (e.m_nReport < m_arrReportAt.size()) {
        std::uint64_t at = m_arrReportAt[e.m_nReport];
        hit.m_strReport = TextAt(at);
    }
    hit.m_nLine = e.m_nLine;
    hit.m_bWindows1252 = (e.m_nFlags & kWindows1252) != 0;
    return hit;
}

namespace {

struct CPartResult {
    std::vector<std::uint32_t> m_arrHits;
    std::uint64_t m_nTotal = 0;
};

// The first place in [from, from + size) where needle (not empty) starts,
// or null. Compares the needle's first and last bytes at 32 places at once
// and the rest only where both agree: about three times glibc's memmem on
// folded names, whose bytes repeat too much for its skips to pay.
const char* FindText(const char* from, std::size_t size, std::string_view needle) {
    const std::size_t length = needle.size();
    if (length == 1) {
        return static_cast<const char*>(std::memchr(from, needle[0], size));
    }
    if (size < length) {
        return nullptr;
    }
    const std::size_t places = size - length + 1;
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[length - 1]);
    const auto matches = [&](std::size_t i) {
        const auto* a = reinterpret_cast<const __m128i*>(from + i);
        const auto* b = reinterpret_cast<const __m128i*>(from + i + length - 1);
        const __m128i low = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a), first),
                                          _mm_cmpeq_epi8(_mm_loadu_si128(b), last));
        const __m128i high = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a + 1), first),
                                           _mm_cmpeq_epi8(_mm_loadu_si128(b + 1), last));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
    };
    // The bytes between the first and the last; most texts are short, and a
    // call of memcmp would cost more than the loop.
    const auto middleAgrees = [&](const char* candidate) {
        for (std::size_t k = 1; k + 1 < length; ++k) {
            if (candidate[k] != needle[k]) {
                return false;
            }
        }
        return true;
    };
    for (; at + 32 <= places; at += 32) {
        for (std::uint32_t mask = matches(at); mask != 0; mask &= mask - 1) {
            const char* candidate = from + at + static_cast<unsigned>(__builtin_ctz(mask));
            if (middleAgrees(candidate)) {
                return candidate;
            }
        }
    }
#endif
    for (; at < places; ++at) {
        if (from[at] == needle[0] && std::memcmp(from + at, needle.data(), length) == 0) {
            return from + at;
        }
    }
    return nullptr;
}

// The last entry in [idx, hi) that starts at or before `at`, galloping from
// idx; never one before idx, so that a scan over damaged starts still ends.
std::size_t EntryAt(const std::uint64_t* starts, std::size_t idx, std::size_t hi, std::uint64_t at) {
    std::size_t step = 1;
    while (idx + step < hi && starts[idx + step] <= at) {
        step *= 2;
    }
    std::size_t lo = idx + step / 2;
    std::size_t top = std::min(idx + step, hi);
    while (top - lo > 1) {
        const std::size_t mid = lo + (top - lo) / 2;
        (starts[mid] <= at ? lo : top) = mid;
    }
    return lo;
}

} // namespace

CFindResult CNameImage::Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel,
                               std::size_t offset) const {
    // Each part keeps the places of its first `kept` hits: enough for hits
    // offset to offset + limit whichever parts they fall in.
    const std::size_t kept = limit > SIZE_MAX - offset ? SIZE_MAX : offset + limit;
    std::vector<std::string> texts;
    for (const std::string& text : query.m_arrTexts) {
        texts.push_back(CaseFold::Fold(text));
    }
    const bool useGlob = !query.m_strGlob.empty();
    const CGlobPattern glob(CaseFold::Fold(query.m_strGlob));
    std::string needle;
    if (useGlob) {
        needle = glob.LongestLiteral();
    } else {
        for (const std::string& text : texts) {
            if (text.size() > needle.size()) {
                needle = text;
            }
        }
    }
    const std::string mediumPrefix = CaseFold::Fold(query.m_strMediumPrefix);
    std::vector<std::uint8_t> placeOk(m_arrPlaceAt.size(), 1);
    for (std::size_t i = 0; !mediumPrefix.empty() && i < placeOk.size(); ++i) {
        placeOk[i] = PlaceAt(i).m_foldedMedium.compare(0, mediumPrefix.size(), mediumPrefix) == 0 ? 1 : 0;
    }
    // Only a hit to be shown or filtered needs its entry; the others are
    // counted from the folded names alone, each of which ends in '\n'.
    const bool filtered = !mediumPrefix.empty() || query.m_kinds != FindKinds::All;
    const auto matches = [&](std::string_view name) {
        if (useGlob) {
            return glob.Matches(name);
        }
        return std::all_of(texts.begin(), texts.end(),
                           [name](const std::string& text) { return name.find(text) != std::string_view::npos; });
    };

    const std::string_view buffer = m_folded;
    const char* const base = buffer.data();
    const auto scan = [&](std::size_t lo, std::size_t hi, CPartResult& part) {
        // Starts are clamped to the buffer wherever they are read, and the
        // scan only moves forward, so damaged ones cannot take it outside.
        const std::size_t end = std::min<std::uint64_t>(m_pFoldedStart[hi], buffer.size());
        std::size_t pos = std::min<std::uint64_t>(m_pFoldedStart[lo], end);
        std::size_t idx = lo;
        std::uint64_t checked = 0;
        while (pos < end) {
            if ((++checked & 0xFFF) == 0 && cancel.load(std::memory_order_relaxed)) {
                return;
            }
            std::size_t found = pos;
            if (!needle.empty()) {
                const char* hit = FindText(base + pos, end - pos, needle);
                if (hit == nullptr) {
                    return;
                }
                found = static_cast<std::size_t>(hit - base);
            }
            std::string_view name;
            std::size_t i = 0;
            const bool placed = filtered || part.m_arrHits.size() < kept;
            if (placed) {
                if (idx >= hi) {
                    return;
                }
                i = EntryAt(m_pFoldedStart, idx, hi, found);
                idx = i + 1;
                const std::size_t from = std::min<std::uint64_t>(m_pFoldedStart[i], end);
                const std::size_t next = std::min<std::uint64_t>(m_pFoldedStart[i + 1], end);
                if (next > from) {
                    name = buffer.substr(from, next - from - 1);
                }
                pos = std::max(found + 1, next);
            } else {
                const void* before = memrchr(base + pos, '\n', found - pos);
                const std::size_t from =
                    before == nullptr ? pos : static_cast<std::size_t>(static_cast<const char*>(before) - base) + 1;
                const void* after = std::memchr(base + found, '\n', end - found);
                const std::size_t to = after == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(after) - base);
                name = buffer.substr(from, to - from);
                pos = to + 1;
            }
            if (filtered) {
                const Entry& e = m_pEntries[i];
                const bool folder = (e.m_nFlags & kFolder) != 0;
                if (e.m_nPlace >= placeOk.size() || !placeOk[e.m_nPlace] ||
                    (query.m_kinds == FindKinds::Files && folder) || (query.m_kinds == FindKinds::Folders && !folder)) {
                    continue;
                }
            }
            if (matches(name)) {
                ++part.m_nTotal;
                if (part.m_arrHits.size() < kept) {
                    part.m_arrHits.push_back(static_cast<std::uint32_t>(i));
                }
            }
        }
    };

    const std::size_t count = m_nEntries;
    const unsigned threads = count < 100000 ? 1u : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<CPartResult> parts(threads);
    {
        std::vector<std::jthread> workers;
        for (unsigned t = 1; t < threads; ++t) {
            workers.emplace_back([&, t] { scan(count * t / threads, count * (t + 1) / threads, parts[t]); });
        }
        scan(0, count / threads, parts[0]);
    }
    CFindResult result;
    result.m_nReports = m_arrReportAt.size();
    result.m_bCancelled = cancel.load();
    std::size_t skipped = 0;
    for (const CPartResult& part : parts) {
        result.m_nTotal += part.m_nTotal;
        for (const std::uint32_t i : part.m_arrHits) {
            if (skipped < offset) {
                ++skipped;
            } else if (result.m_arrHits.size() < limit) {
                result.m_arrHits.push_back(Hit(i));
            }
        }
    }
    return result;
}

bool CNameImage::Save(const std::string& path, const Key& key) const {
    FileHeader header{};
    std::memcpy(header.m_magic, kMagic, sizeof kMagic);
    header.m_nEntrySize = sizeof(Entry);
    header.m_nByteOrder = kByteOrder;
    header.m_nCatalogue = key.m_nCatalogue;
    header.m_nGeneration = key.m_nGeneration;
    header.m_nEntries = m_nEntries;
    header.m_nNames = m_names.size();
    header.m_nFolded = m_folded.size();
    header.m_nTables = m_tables.size();

    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, &header, sizeof header) &&
                         WriteAll(fd, m_pEntries, m_nEntries * sizeof(Entry)) &&
                         WriteAll(fd, m_pFoldedStart, (m_nEntries + 1) * sizeof(std::uint64_t)) &&
                         WriteAll(fd, m_names.data(), m_names.size()) &&
                         WriteAll(fd, m_folded.data(), m_folded.size()) && WriteAll(fd, m_tables.data(), m_tables.size());
    if (close(fd) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<CNameImage> CNameImage::Load(const std::string& path, const Key& key) {
    auto mapping = std::make_unique<CMappedFile>();
    if (!mapping->Open(path)) {
        return nullptr;
    }
    std::string_view bytes = mapping->Bytes();
    FileHeader header{};
    if (bytes.size() < sizeof header) {
        return nullptr;
    }
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.m_magic, kMagic, sizeof kMagic) != 0 || header.m_nEntrySize != sizeof(Entry) ||
        header.m_nByteOrder != kByteOrder || header.m_nCatalogue != key.m_nCatalogue ||
        header.m_nGeneration != key.m_nGeneration) {
        return nullptr;
    }
    bytes.remove_prefix(sizeof header);
    // Each part must fit in what is left; together they fill the file exactly.
    const auto take = [&bytes](std::uint64_t count, std::size_t unit, std::string_view& part) {
        if (count > bytes.size() / unit) {
            return false;
        }
        part = bytes.substr(0, count * unit);
        bytes.remove_prefix(part.size());
        return true;
    };
    std::string_view entries, starts, names, folded, tables;
    if (header.m_nEntries >= bytes.size() || !take(header.m_nEntries, sizeof(Entry), entries) ||
        !take(header.m_nEntries + 1, sizeof(std::uint64_t), starts) || !take(header.m_nNames, 1, names) ||
        !take(header.m_nFolded, 1, folded) || !take(header.m_nTables, 1, tables) || !bytes.empty()) {
        return nullptr;
    }
    std::unique_ptr<CNameImage> image(new CNameImage());
    image->m_tables = tables;
    if (!image->IndexTables()) {
        return nullptr;
    }
    image->m_pEntries = reinterpret_cast<const Entry*>(entries.data());
    image->m_nEntries = header.m_nEntries;
    image->m_pFoldedStart = reinterpret_cast<const std::uint64_t*>(starts.data());
    image->m_names = names;
    image->m_folded = folded;
    image->m_pMapping = std::move(mapping);
    return image->Plausible() ? std::move(image) : nullptr;
}

// What can be checked without reading the image through: the name starts
// run from 0 to the end of the folded names, which end in '\n', and a few
// entries spread over the file hold in full (starts rising, each name ended,
// indices within their tables). Small images are thus checked whole. The
// rest is bounded where it is read (Search, Hit), so damage missed here
// gives wrong hits, never a read outside the file.
bool CNameImage::Plausible() const {
    const std::size_t count = m_nEntries;
    if (m_pFoldedStart[0] != 0 || m_pFoldedStart[count] != m_folded.size() ||
        (count > 0 && m_folded.back() != '\n')) {
        return false;
    }
    constexpr std::size_t kSamples = 16;
    const std::size_t samples = std::min(count, kSamples);
    std::uint64_t reached = 0;
    for (std::size_t k = 0; k < samples; ++k) {
        const std::size_t i = samples < 2 ? 0 : (count - 1) * k / (samples - 1);
        const Entry& e = m_pEntries[i];
        const std::uint64_t from = m_pFoldedStart[i];
        const std::uint64_t to = m_pFoldedStart[i + 1];
        if (from < reached || from >= to || to > m_folded.size() || m_folded[to - 1] != '\n' ||
            e.m_nNameOffset > m_names.size() || e.m_nNameLength > m_names.size() - e.m_nNameOffset ||
            e.m_nPlace >= m_arrPlaceAt.size() || e.m_nStamp >= m_arrStampAt.size() ||
            e.m_nReport >= m_arrReportAt.size()) {
            return false;
        }
        reached = to;
    }
    return true;
}
