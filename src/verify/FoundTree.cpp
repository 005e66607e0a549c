#include "FoundTree.h"

#include "BasePath.h"
#include "DropPath.h"
#include "HugePages.h"
#include "ManifestPath.h"
#include "Utf8.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr std::size_t kProgressEvery = 4096;

} // namespace

CFoundTree::CFoundTree(CLocaleFormat& locale, const COptionsSnapshot& options)
    : m_locale(locale), m_options(options) {}

std::string CFoundTree::BaseOf(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return "/";
    }
    return DropPath::IsRootDrop(paths) ? paths.front() : DropPath::ParentOf(paths.front());
}

std::string CFoundTree::ReportFormOf(std::string_view path) const {
    std::string form;
    if (m_options.IsListing()) {
        m_locale.AppendUpper(form, Utf8::Printable(path));
    } else {
        Utf8::AppendPrintable(form, path);
    }
    return form;
}

std::string CFoundTree::ShownPathAt(std::size_t j) const { return Utf8::Printable(RelativePath(m_arrEntries[j])); }

void CFoundTree::TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const {
    if (m_options.IsListing()) {
        m_locale.UpperDateTimeText(m_arrEntries[j].m_nLastWrite, date, time);
    } else {
        m_locale.DateTimeText(m_arrEntries[j].m_nLastWrite, date, time);
    }
}

bool CFoundTree::Walk(const std::vector<std::string>& paths, std::size_t entries, std::size_t nameBytes,
                      const std::atomic<bool>& cancel, const ProgressFn& progress) {
    m_arrEntries.reserve(entries);
    m_strNames.reserve(nameBytes);
    PreferHugePages(m_arrEntries.data(), m_arrEntries.capacity() * sizeof(CFoundEntry));
    PreferHugePages(m_strNames.data(), m_strNames.capacity());
    m_pCancel = &cancel;
    m_pProgress = &progress;
    m_strBase = BaseOf(paths);
    m_strReportBase = ReportFormOf(m_strBase);
    const bool rootDrop = DropPath::IsRootDrop(paths);
    // Entries only: the folder records of a listing are not needed here.
    COptionsSnapshot walkOptions = m_options;
    walkOptions[Option::ProcessType] = kProcessArchive;
    CFolderWalker walker(*this);
    for (const std::string& path : paths) {
        m_strArchive = m_options.IsListing() ? std::string() : ReportFormOf(BasePath::Strip(m_strBase, path));
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            m_nMissingError = errno;
            m_strMissing = path;
            return false;
        }
        const bool folder = S_ISDIR(info.st_mode);
        if (rootDrop) {
            if (!walker.WalkFolder(path, walkOptions)) {
                m_nMissingError = errno != 0 ? errno : EACCES;
                m_strMissing = path;
                return false;
            }
            continue;
        }
        const std::string_view name = DropPath::NameOf(path);
        if (m_options.ExcludeHidden() && IsHiddenName(name)) {
            continue;
        }
        if (folder && !m_options.ExcludeSubFolders()) {
            walker.WalkFolder(path, walkOptions);
        }
        const std::string parent = DropPath::ParentOf(path);
        m_strArchive.clear();
        CFindData item;
        item.m_strName = name;
        item.m_bDirectory = folder;
        item.m_bRegular = S_ISREG(info.st_mode);
        item.m_nSize = folder ? 0 : static_cast<std::uint64_t>(info.st_size);
        item.m_nLastWrite = info.st_mtim.tv_sec;
        item.m_nDevice = info.st_dev;
        item.m_strFolder = parent;
        AddEntry(item, nullptr);
    }
    if (progress) {
        progress(m_arrEntries.size());
    }
    return true;
}

std::uint32_t CFoundTree::FolderOf(std::string_view diskFolder) {
    if (m_nLastFolder != UINT32_MAX && m_arrFolders[m_nLastFolder].m_strDiskPath == diskFolder) {
        return m_nLastFolder;
    }
    CFoundFolder& folder = m_arrFolders.emplace_back();
    folder.m_strDiskPath.assign(diskFolder);
    folder.m_strReportPath = m_options.IsListing()
                                 ? std::string(BasePath::Strip(m_strReportBase, ReportFormOf(diskFolder)))
                                 : m_strArchive;
    m_nLastFolder = static_cast<std::uint32_t>(m_arrFolders.size() - 1);
    return m_nLastFolder;
}

void CFoundTree::AddEntry(const CFindData& entry, CFolderRecord* record) {
    (void)record;
    if (m_pCancel->load(std::memory_order_relaxed)) {
        throw Cancelled{};
    }
    CFoundEntry& found = m_arrEntries.emplace_back();
    found.m_nFolder = FolderOf(entry.m_strFolder);
    found.m_bFolder = entry.m_bDirectory;
    found.m_bRegular = entry.m_bRegular;
    found.m_nSize = entry.m_nSize;
    found.m_nLastWrite = entry.m_nLastWrite;
    found.m_nDevice = entry.m_nDevice;
    found.m_nNameAt = m_strNames.size();
    if (m_options.IsListing()) {
        m_strScratch.clear();
        Utf8::AppendPrintable(m_strScratch, entry.m_strName);
        m_locale.AppendUpper(m_strNames, m_strScratch);
    } else {
        Utf8::AppendPrintable(m_strNames, entry.m_strName);
    }
    found.m_nNameLength = static_cast<std::uint32_t>(m_strNames.size() - found.m_nNameAt);
    if (std::string_view(m_strNames).substr(found.m_nNameAt) == entry.m_strName) {
        found.m_nDiskNameAt = found.m_nNameAt;
    } else {
        found.m_nDiskNameAt = m_strNames.size();
        m_strNames.append(entry.m_strName);
    }
    found.m_nDiskNameLength = static_cast<std::uint32_t>(entry.m_strName.size());
    if (*m_pProgress && m_arrEntries.size() % kProgressEvery == 0) {
        (*m_pProgress)(m_arrEntries.size());
    }
}

std::unique_ptr<CFolderRecord> CFoundTree::NewRecord(const std::string& path) {
    (void)path;
    return nullptr;
}

void CFoundTree::AppendRecord(std::unique_ptr<CFolderRecord> record) { (void)record; }

std::string CFoundTree::OpenPath(const CFoundEntry& entry) const {
    std::string path = m_arrFolders[entry.m_nFolder].m_strDiskPath;
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    path += DiskNameOf(entry);
    return path;
}

std::string CFoundTree::RelativePath(const CFoundEntry& entry) const {
    return ManifestRelativePath(m_strBase, OpenPath(entry));
}
