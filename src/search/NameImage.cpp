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
    image->m_arrReports = std::move(m_arrReports);
    image->m_arrPlaces = std::move(m_arrPlaces);
    image->m_arrFoldedMediums = std::move(foldedMediums);
    image->m_arrPlaceWindows1252 = std::move(m_arrPlaceWindows1252);
    image->m_arrStamps = std::move(m_arrStamps);
    *this = CBuilder();
    image->PointAtOwnStorage();
    return image;
}

CNameImage::~CNameImage() = default;

void CNameImage::PointAtOwnStorage() {
    m_pEntries = m_arrEntries.data();
    m_nEntries = m_arrEntries.size();
    m_pFoldedStart = m_arrFoldedStart.data();
    m_names = m_strNames;
    m_folded = m_strFolded;
}

CFindHit CNameImage::Hit(std::size_t i) const {
    const Entry& e = m_pEntries[i];
    CFindHit hit;
    hit.m_strMedium = m_arrPlaces[e.m_nPlace].first;
    hit.m_strFolder = m_arrPlaces[e.m_nPlace].second;
    hit.m_bFolderWindows1252 = m_arrPlaceWindows1252[e.m_nPlace] != 0;
    hit.m_strName = m_names.substr(e.m_nNameOffset, e.m_nNameLength);
    hit.m_bFolder = (e.m_nFlags & kFolder) != 0;
    hit.m_nSize = e.m_nSize;
    hit.m_strDate = m_arrStamps[e.m_nStamp].first;
    hit.m_strTime = m_arrStamps[e.m_nStamp].second;
    hit.m_strReport = m_arrReports[e.m_nReport];
    hit.m_nLine = e.m_nLine;
    hit.m_bWindows1252 = (e.m_nFlags & kWindows1252) != 0;
    return hit;
}

namespace {

struct CPartResult {
    std::vector<std::uint32_t> m_arrHits;
    std::uint64_t m_nTotal = 0;
};

} // namespace

CFindResult CNameImage::Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel) const {
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
    std::vector<std::uint8_t> placeOk(m_arrPlaces.size());
    for (std::size_t i = 0; i < placeOk.size(); ++i) {
        placeOk[i] = m_arrFoldedMediums[i].compare(0, mediumPrefix.size(), mediumPrefix) == 0 ? 1 : 0;
    }

    const std::string_view buffer = m_folded;
    const auto scan = [&](std::size_t lo, std::size_t hi, CPartResult& part) {
        std::size_t idx = lo;
        std::uint64_t checked = 0;
        while (idx < hi) {
            if ((++checked & 0xFFF) == 0 && cancel.load(std::memory_order_relaxed)) {
                return;
            }
            if (!needle.empty()) {
                const std::size_t from = m_pFoldedStart[idx];
                const std::size_t to = m_pFoldedStart[hi];
                // glibc's memmem skips through the buffer far faster than a
                // search that stops at every byte equal to the first.
                const void* hit = memmem(buffer.data() + from, to - from, needle.data(), needle.size());
                if (hit == nullptr) {
                    return;
                }
                const std::size_t found = static_cast<std::size_t>(static_cast<const char*>(hit) - buffer.data());
                // Gallop to the entry that holds the hit.
                std::size_t step = 1;
                while (idx + step < hi && m_pFoldedStart[idx + step] <= found) {
                    step *= 2;
                }
                const std::uint64_t* first = m_pFoldedStart + idx + step / 2;
                const std::uint64_t* last = m_pFoldedStart + std::min(idx + step, hi);
                idx = static_cast<std::size_t>(std::upper_bound(first, last, found) - m_pFoldedStart) - 1;
            }
            const std::size_t i = idx++;
            const Entry& e = m_pEntries[i];
            if (!placeOk[e.m_nPlace]) {
                continue;
            }
            const bool folder = (e.m_nFlags & kFolder) != 0;
            if ((query.m_kinds == FindKinds::Files && folder) || (query.m_kinds == FindKinds::Folders && !folder)) {
                continue;
            }
            const std::string_view name =
                buffer.substr(m_pFoldedStart[i], m_pFoldedStart[i + 1] - m_pFoldedStart[i] - 1);
            bool ok = true;
            if (useGlob) {
                ok = glob.Matches(name);
            } else {
                for (const std::string& text : texts) {
                    if (name.find(text) == std::string_view::npos) {
                        ok = false;
                        break;
                    }
                }
            }
            if (ok) {
                ++part.m_nTotal;
                if (part.m_arrHits.size() < limit) {
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
    result.m_nReports = m_arrReports.size();
    result.m_bCancelled = cancel.load();
    for (const CPartResult& part : parts) {
        result.m_nTotal += part.m_nTotal;
        for (const std::uint32_t i : part.m_arrHits) {
            if (result.m_arrHits.size() < limit) {
                result.m_arrHits.push_back(Hit(i));
            }
        }
    }
    return result;
}

namespace {

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

// Reads the tables back; every read is checked against the end.
class CTableReader {
public:
    explicit CTableReader(std::string_view bytes) : m_bytes(bytes) {}
    bool Number(std::uint64_t& value) {
        if (m_bytes.size() < sizeof value) {
            return false;
        }
        std::memcpy(&value, m_bytes.data(), sizeof value);
        m_bytes.remove_prefix(sizeof value);
        return true;
    }
    bool Text(std::string& text) {
        std::uint64_t length = 0;
        if (!Number(length) || length > m_bytes.size()) {
            return false;
        }
        text.assign(m_bytes.substr(0, length));
        m_bytes.remove_prefix(length);
        return true;
    }
    // A count of items of at least `least` bytes each, so a damaged count cannot ask for more than there is.
    bool Count(std::uint64_t& count, std::size_t least) { return Number(count) && count <= m_bytes.size() / least; }
    bool AtEnd() const { return m_bytes.empty(); }

private:
    std::string_view m_bytes;
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

bool CNameImage::Save(const std::string& path, const Key& key) const {
    std::string tables;
    PutNumber(tables, m_arrReports.size());
    for (const std::string& report : m_arrReports) {
        PutText(tables, report);
    }
    PutNumber(tables, m_arrPlaces.size());
    for (std::size_t i = 0; i < m_arrPlaces.size(); ++i) {
        PutText(tables, m_arrPlaces[i].first);
        PutText(tables, m_arrPlaces[i].second);
        PutText(tables, m_arrFoldedMediums[i]);
        PutNumber(tables, m_arrPlaceWindows1252[i]);
    }
    PutNumber(tables, m_arrStamps.size());
    for (const auto& [date, time] : m_arrStamps) {
        PutText(tables, date);
        PutText(tables, time);
    }
    FileHeader header{};
    std::memcpy(header.m_magic, kMagic, sizeof kMagic);
    header.m_nEntrySize = sizeof(Entry);
    header.m_nByteOrder = kByteOrder;
    header.m_nCatalogue = key.m_nCatalogue;
    header.m_nGeneration = key.m_nGeneration;
    header.m_nEntries = m_nEntries;
    header.m_nNames = m_names.size();
    header.m_nFolded = m_folded.size();
    header.m_nTables = tables.size();

    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, &header, sizeof header) &&
                         WriteAll(fd, m_pEntries, m_nEntries * sizeof(Entry)) &&
                         WriteAll(fd, m_pFoldedStart, (m_nEntries + 1) * sizeof(std::uint64_t)) &&
                         WriteAll(fd, m_names.data(), m_names.size()) &&
                         WriteAll(fd, m_folded.data(), m_folded.size()) && WriteAll(fd, tables.data(), tables.size());
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
    CTableReader reader(tables);
    std::uint64_t count = 0;
    bool ok = reader.Count(count, sizeof(std::uint64_t));
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        ok = reader.Text(image->m_arrReports.emplace_back());
    }
    ok = ok && reader.Count(count, 4 * sizeof(std::uint64_t));
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        auto& [medium, folder] = image->m_arrPlaces.emplace_back();
        std::uint64_t windows1252 = 0;
        ok = reader.Text(medium) && reader.Text(folder) && reader.Text(image->m_arrFoldedMediums.emplace_back()) &&
             reader.Number(windows1252);
        image->m_arrPlaceWindows1252.push_back(windows1252 != 0 ? 1 : 0);
    }
    ok = ok && reader.Count(count, 2 * sizeof(std::uint64_t));
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        auto& [date, time] = image->m_arrStamps.emplace_back();
        ok = reader.Text(date) && reader.Text(time);
    }
    if (!ok || !reader.AtEnd()) {
        return nullptr;
    }
    image->m_pEntries = reinterpret_cast<const Entry*>(entries.data());
    image->m_nEntries = header.m_nEntries;
    image->m_pFoldedStart = reinterpret_cast<const std::uint64_t*>(starts.data());
    image->m_names = names;
    image->m_folded = folded;
    image->m_pMapping = std::move(mapping);
    return image->Check() ? std::move(image) : nullptr;
}

// Every offset and index of a loaded image within its parts.
bool CNameImage::Check() const {
    if (m_pFoldedStart[0] != 0 || m_pFoldedStart[m_nEntries] != m_folded.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_nEntries; ++i) {
        const Entry& e = m_pEntries[i];
        if (m_pFoldedStart[i] >= m_pFoldedStart[i + 1] || m_pFoldedStart[i + 1] > m_folded.size() ||
            m_folded[m_pFoldedStart[i + 1] - 1] != '\n' ||
            e.m_nNameOffset > m_names.size() || e.m_nNameLength > m_names.size() - e.m_nNameOffset ||
            e.m_nPlace >= m_arrPlaces.size() || e.m_nStamp >= m_arrStamps.size() ||
            e.m_nReport >= m_arrReports.size()) {
            return false;
        }
    }
    return true;
}
