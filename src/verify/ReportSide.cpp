#include "ReportSide.h"

#include "BasePath.h"
#include "DropPath.h"
#include "FindData.h"
#include "HugePages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The first lines of a large report that give the options of the walk.
constexpr std::size_t kGuessBytes = std::size_t{1} << 18;
// The end of a report read before it: its last line, a listing's summary.
constexpr std::size_t kTailBytes = std::size_t{1} << 16;
// Blocks of kept texts: large enough for whole huge pages inside each.
constexpr std::size_t kBlockBytes = std::size_t{8} << 20;
constexpr std::size_t kMostEntriesReserved = std::size_t{1} << 20;

// pread() of up to count bytes at offset; false on a read error.
bool ReadAt(int fd, std::uint64_t offset, std::size_t count, std::string& into) {
    into.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, into.data() + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got < 0) {
                return false;
            }
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    into.resize(done);
    return true;
}

// The entries of a sample read whole, as ResolveOptions reads them.
class CSampleEntries {
public:
    explicit CSampleEntries(const std::vector<CReportEntry>& entries) : m_entries(entries) {}
    std::size_t Count() const { return m_entries.size(); }
    bool IsFolder(std::size_t i) const { return m_entries[i].m_bFolder; }
    std::string_view NameOf(std::size_t i) const { return m_entries[i].m_strName; }
    std::string_view FolderOf(std::size_t i) const { return m_entries[i].m_strFolder; }
    // The whole path of a folders-only line (the reader splits it).
    std::string_view WholePath(std::size_t i) const {
        const CReportEntry& entry = m_entries[i];
        if (entry.m_strFolder.empty()) {
            return entry.m_strName;
        }
        return {entry.m_strFolder.data(),
                static_cast<std::size_t>(entry.m_strName.data() + entry.m_strName.size() - entry.m_strFolder.data())};
    }

private:
    const std::vector<CReportEntry>& m_entries;
};

} // namespace

CReportSide::CReportSide(const CVerifyRequest& request) : m_request(request) {}

bool CReportSide::Load() {
    int error = 0;
    const std::string& path = m_request.m_strReportPath;
    if (!m_stream.Open(path, error)) {
        m_strError = path + ": " + std::strerror(error);
        return false;
    }
    const std::uint64_t size = m_stream.Size();
    const std::uint64_t tailAt = size > kTailBytes ? size - kTailBytes : 0;
    if (!ReadAt(m_stream.Descriptor(), 0, kGuessBytes, m_strHead) ||
        !ReadAt(m_stream.Descriptor(), tailAt, static_cast<std::size_t>(size - tailAt), m_strTail)) {
        m_strError = path + ": " + std::strerror(errno);
        return false;
    }
    const std::size_t headLines = static_cast<std::size_t>(std::count(m_strHead.begin(), m_strHead.end(), '\n')) + 1;
    const double perByte = m_strHead.empty() ? 0.0 : static_cast<double>(headLines) / static_cast<double>(m_strHead.size());
    m_nLines = size <= m_strHead.size() ? headLines
                                        : static_cast<std::size_t>(std::min(
                                              perByte * static_cast<double>(size), double(kMostLinesGuessed)));
    m_nLines = std::max<std::size_t>(m_nLines, 1);
    return true;
}

bool CReportSide::OfWholeMedium() const {
    const auto firstLine = [](std::string_view text) {
        text = text.substr(0, text.find('\n'));
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        return text;
    };
    const auto isRoot = [](std::string_view path) {
        return path.size() > 1 && (path.back() == '/' || path.back() == '\\');
    };
    if (isRoot(firstLine(m_strHead))) {
        return true;
    }
    std::string_view tag, folder;
    return m_request.m_logText && CReportReader::ParseLogLine(firstLine(*m_request.m_logText), tag, folder) &&
           isRoot(folder);
}

std::string_view CReportSide::Copy(std::string_view text) {
    if (text.size() > m_nFree) {
        const std::size_t size = std::max(kBlockBytes, text.size());
        m_pFree = m_arrBlocks.emplace_back(new char[size]).get();
        m_nFree = size;
        PreferHugePages(m_pFree, size);
    }
    std::memcpy(m_pFree, text.data(), text.size());
    const std::string_view copy(m_pFree, text.size());
    m_pFree += text.size();
    m_nFree -= text.size();
    return copy;
}

void CReportSide::Keep(const CReportEntry& entry) {
    // The entry's name points into the reader's line, its folder into the
    // line (a folder list), its record's folder header or the log: the name
    // is copied, the whole line when the folder is in it too, and the
    // entries of one record share one copy of their folder.
    const std::string_view line = m_reader.CurrentLine();
    const auto inLine = [&](std::string_view view) {
        return !view.empty() && view.data() >= line.data() && view.data() + view.size() <= line.data() + line.size();
    };
    std::string_view name = entry.m_strName;
    std::string_view folder = entry.m_strFolder;
    const bool inOneLine = inLine(folder) && inLine(name) && folder.data() < name.data();
    if (inLine(folder)) {
        const std::string_view copy = Copy(line);
        const auto rebased = [&](std::string_view view) {
            return inLine(view) ? copy.substr(static_cast<std::size_t>(view.data() - line.data()), view.size())
                                : std::string_view();
        };
        name = rebased(name);
        folder = rebased(folder);
    } else {
        name = name.empty() ? std::string_view() : Copy(name);
        if (m_reader.RecordLine() != 0 && !folder.empty()) {
            if (m_reader.RecordLine() != m_nKeptRecord) {
                m_nKeptRecord = m_reader.RecordLine();
                m_strKeptFolder = Copy(folder);
            }
            folder = m_strKeptFolder;
        }
    }
    if (m_arrFolders.empty() || m_arrFolders.back().data() != folder.data() ||
        m_arrFolders.back().size() != folder.size()) {
        m_arrFolders.push_back(folder);
    }
    CKeptEntry& kept = m_arrEntries.emplace_back();
    kept.m_pName = name.data();
    kept.m_nName = static_cast<std::uint32_t>(name.size()) | (entry.m_bFolder ? kFolderBit : 0) |
                   (inOneLine ? kInOneLineBit : 0);
    kept.m_nSize = entry.m_nSize;
    kept.m_nDate = m_dates.Number(entry.m_strDate);
    kept.m_nTime = m_times.Number(entry.m_strTime);
    kept.m_nFolder = static_cast<std::uint32_t>(m_arrFolders.size() - 1);
}

// The folder and name as their line shows them together; where they are
// not in one line (a damaged folder list), the folder alone.
std::string_view CReportSide::WholePath(std::size_t entry) const {
    const std::string_view folder = FolderOf(entry);
    const std::string_view name = NameOf(entry);
    if (folder.empty()) {
        return name;
    }
    if ((m_arrEntries[entry].m_nName & kInOneLineBit) == 0) {
        return folder;
    }
    return {folder.data(), static_cast<std::size_t>(name.data() + name.size() - folder.data())};
}

bool CReportSide::Read() {
    if (m_request.m_logText) {
        m_reader.SetLog(*m_request.m_logText);
        m_bLogKnown = !m_request.m_logText->empty();
    }
    m_arrEntries.reserve(std::min(m_nLines, kMostEntriesReserved));
    PreferHugePages(m_arrEntries.data(), m_arrEntries.capacity() * sizeof(CKeptEntry));
    const bool read = m_stream.Read(m_reader, [&](const CReportEntry& entry) { Keep(entry); });
    m_layout = m_reader.Layout();
    if (!read) {
        m_strError = m_request.m_strReportPath + ": " +
                     (m_stream.ReadError() != 0 ? std::string(std::strerror(m_stream.ReadError()))
                                                : "not a report (" + m_reader.Reason() + ")");
        return false;
    }
    if (m_layout == ReportLayout::ArchiveLog) {
        m_strError = m_request.m_strReportPath + ": an archive log, not a report";
        return false;
    }
    m_dates.Seal();
    m_times.Seal();
    m_options = ResolveOptions(m_layout, *this, m_bFoldersOnlyWithSub);
    FindGroups();
    return true;
}

std::optional<COptionsSnapshot> CReportSide::GuessWalk(std::size_t readFirstBytes) const {
    if (m_stream.Size() <= readFirstBytes || m_stream.Size() <= m_strHead.size()) {
        return std::nullopt; // read whole before the walk: it costs little
    }
    const std::string_view head = m_strHead;
    const std::size_t cut = head.rfind('\n');
    std::string_view last = m_strTail;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) {
        last.remove_suffix(1);
    }
    const std::size_t lastStart = last.rfind('\n');
    if (cut == std::string_view::npos || lastStart == std::string_view::npos) {
        return std::nullopt;
    }
    last.remove_prefix(lastStart + 1);
    // The first lines and the last (a listing's summary), with or without a
    // blank line between them: one of the two reads as a report.
    for (const char* between : {"\r\n", ""}) {
        const std::string sample = std::string(head.substr(0, cut + 1)) + between + std::string(last);
        CReportReader reader;
        std::vector<CReportEntry> entries;
        if (!reader.Read(sample, [&](const CReportEntry& entry) { entries.push_back(entry); }) ||
            reader.Layout() == ReportLayout::ArchiveLog) {
            continue;
        }
        const ReportLayout layout = reader.Layout();
        bool foldersOnlyWithSub = false;
        COptionsSnapshot options = ResolveOptions(layout, CSampleEntries(entries), foldersOnlyWithSub);
        // What the first lines cannot tell, the first and last bytes may: a
        // hidden name starts an entry line (or a folder list's name), and a
        // listing of several records has more than two blank lines.
        const bool folderList = layout == ReportLayout::FoldersOnly;
        bool hiddenName = head.front() == '.';
        for (const std::string_view bytes : {head, std::string_view(m_strTail)}) {
            hiddenName = hiddenName || bytes.find(folderList ? "/." : "\n.") != std::string_view::npos ||
                         (!folderList && bytes.find("\t.") != std::string_view::npos);
        }
        if (!m_request.m_excludeHidden && hiddenName) {
            options[Option::ExcludeHiddenSystemInfo] = 0;
        }
        if (!m_request.m_excludeSubFolders &&
            (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded)) {
            std::size_t blanks = 0;
            for (const std::string_view bytes : {head, std::string_view(m_strTail)}) {
                for (std::size_t at = bytes.find('\n'); at != std::string_view::npos && blanks <= 2;
                     at = bytes.find('\n', at + 1)) {
                    const std::size_t next = at + 1;
                    blanks += next < bytes.size() && (bytes[next] == '\n' || bytes.substr(next, 2) == "\r\n") ? 1 : 0;
                }
            }
            if (blanks > 2) {
                options[Option::ExcludeSubFolders] = 0;
            }
        }
        return options;
    }
    return std::nullopt;
}

template <class EntryList>
COptionsSnapshot CReportSide::ResolveOptions(ReportLayout layout, const EntryList& entries,
                                             bool& foldersOnlyWithSub) const {
    COptionsSnapshot options = m_request.m_settings;
    const bool listing = layout != ReportLayout::ArchiveReport;
    options[Option::ProcessType] = listing ? kProcessListing : kProcessArchive;
    if (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded) {
        options[Option::OutputFormat] = layout == ReportLayout::ListingTabbed ? 0 : 1;
        options[Option::DirectoryOnly] = 0;
    } else if (layout == ReportLayout::FoldersOnly) {
        options[Option::DirectoryOnly] = 1;
    }
    std::optional<bool> reportExcludesHidden;
    for (std::size_t i = 0; i < entries.Count(); ++i) {
        if (IsHiddenName(entries.NameOf(i))) {
            reportExcludesHidden = false;
            break;
        }
    }
    // Sub-folders were walked when a listing has a record below the first;
    // not when its only record lists sub-folders; a folder list walked them
    // when its first line is the folder of every other line.
    std::optional<bool> reportExcludesSubFolders;
    foldersOnlyWithSub = false;
    if (layout == ReportLayout::ListingTabbed || layout == ReportLayout::ListingPadded) {
        bool severalRecords = false, folderLine = false;
        for (std::size_t i = 0; i < entries.Count(); ++i) {
            severalRecords = severalRecords || entries.FolderOf(i).data() != entries.FolderOf(0).data();
            folderLine = folderLine || entries.IsFolder(i);
        }
        if (severalRecords) {
            reportExcludesSubFolders = false;
        } else if (folderLine) {
            reportExcludesSubFolders = true;
        }
    } else if (layout == ReportLayout::FoldersOnly && entries.Count() >= 2) {
        const std::string_view first = entries.WholePath(0);
        foldersOnlyWithSub = true;
        for (std::size_t i = 1; i < entries.Count() && foldersOnlyWithSub; ++i) {
            const std::string_view path = entries.WholePath(i);
            foldersOnlyWithSub = BasePath::Strip(first, path) != path;
        }
        reportExcludesSubFolders = !foldersOnlyWithSub;
    }
    const auto resolve = [&](Option option, const std::optional<bool>& given, const std::optional<bool>& report) {
        if (given) {
            options[option] = *given ? 1 : 0;
        } else if (report) {
            options[option] = *report ? 1 : 0;
        }
    };
    resolve(Option::ExcludeHiddenSystemInfo, m_request.m_excludeHidden, reportExcludesHidden);
    resolve(Option::ExcludeSubFolders, m_request.m_excludeSubFolders, reportExcludesSubFolders);
    resolve(Option::ExcludeEmptyFolders, m_request.m_excludeEmptyFolders, std::nullopt);
    if (layout == ReportLayout::FoldersOnly && entries.Count() == 1) {
        foldersOnlyWithSub = !options.ExcludeSubFolders();
    }
    return options;
}

void CReportSide::FindGroups() {
    if (m_arrEntries.empty()) {
        return;
    }
    switch (m_layout) {
    case ReportLayout::ListingTabbed:
    case ReportLayout::ListingPadded:
        m_strBase = FolderOf(0);
        break;
    case ReportLayout::FoldersOnly:
        if (m_bFoldersOnlyWithSub) {
            m_strBase = WholePath(0);
            m_nFirstEntry = 1;
        } else {
            m_strBase = FolderOf(0);
        }
        break;
    default:
        if (m_bLogKnown) {
            // The first archive's folder: the dropped folder, or the medium.
            std::string_view text = *m_request.m_logText;
            while (!text.empty() && m_strBase.empty()) {
                const std::size_t end = text.find('\n');
                std::string_view line = text.substr(0, end);
                if (!line.empty() && line.back() == '\r') {
                    line.remove_suffix(1);
                }
                std::string_view tag, folder;
                if (CReportReader::ParseLogLine(line, tag, folder)) {
                    m_strBase = folder;
                }
                text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            }
            if (!DropPath::IsRootDrop(m_request.m_arrPaths)) {
                m_strBase = std::string(BasePath::FolderOf(m_strBase));
            }
        }
        break;
    }
    // Each folder's group: relative to the base, with "/" between names.
    m_arrFolderGroups.resize(m_arrFolders.size());
    if (m_layout == ReportLayout::ArchiveReport && !m_bLogKnown) {
        return;
    }
    for (std::size_t k = 0; k < m_arrFolders.size(); ++k) {
        std::string_view group = BasePath::Strip(m_strBase, m_arrFolders[k]);
        if (group.find('\\') != std::string_view::npos) {
            std::string& text = m_arrGroupTexts.emplace_back(group);
            std::replace(text.begin(), text.end(), '\\', '/');
            group = text;
        }
        m_arrFolderGroups[k] = group;
    }
}
