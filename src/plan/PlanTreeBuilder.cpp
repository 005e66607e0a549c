#include "PlanTreeBuilder.h"

#include "DropPath.h"
#include "PlanDrop.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A directory stream that is closed on every way out.
class CDirStream {
public:
    explicit CDirStream(int fd) : m_pDir(fd >= 0 ? fdopendir(fd) : nullptr) {
        if (fd >= 0 && m_pDir == nullptr) {
            close(fd);
        }
    }
    ~CDirStream() {
        if (m_pDir != nullptr) {
            closedir(m_pDir);
        }
    }
    CDirStream(const CDirStream&) = delete;
    CDirStream& operator=(const CDirStream&) = delete;
    DIR* Get() const { return m_pDir; }

private:
    DIR* m_pDir;
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

CPlanTreeBuilder::CPlanTreeBuilder(bool bExcludeHidden, bool bNoSubfolders)
    : m_bExcludeHidden(bExcludeHidden), m_bNoSubfolders(bNoSubfolders) {}

bool CPlanTreeBuilder::Build(const std::vector<std::string>& paths, CPlanTree& tree) {
    const bool rootDrop = DropPath::IsRootDrop(paths);
    for (const std::string& path : paths) {
        if (rootDrop) {
            const std::string base = PlanDrop::RootFolder(path);
            const int fd = open(base.c_str(), kFolderFlags);
            if (fd < 0) {
                continue;
            }
            tree.AddBase(base);
            WalkContents(fd, CPlanTree::kNoNode, tree);
            continue;
        }
        const PlanDrop::CItem item = PlanDrop::AddItem(path, m_bExcludeHidden, tree);
        if (!item.m_bExists) {
            m_strMissing = path;
            return false;
        }
        if (item.m_bSkipped) {
            continue;
        }
        ++m_nEntries;
        if (item.m_kind != EPlanKind::kFolder) {
            continue;
        }
        const int fd = m_bNoSubfolders ? -1 : open(path.c_str(), kFolderFlags);
        if (fd < 0) {
            tree.MarkIncomplete(item.m_nNode);
            continue;
        }
        WalkContents(fd, item.m_nNode, tree);
    }
    return true;
}

void CPlanTreeBuilder::WalkContents(int folderFd, std::uint32_t parent, CPlanTree& tree) {
    CDirStream dir(folderFd);
    if (dir.Get() == nullptr) {
        if (parent != CPlanTree::kNoNode) {
            tree.MarkIncomplete(parent);
        }
        return;
    }
    const int fd = dirfd(dir.Get());
    while (const dirent* entry = readdir(dir.Get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || entry->d_ino == 0) {
            continue;
        }
        struct stat info {};
        const bool hidden = name.front() == '.';
        if ((m_bExcludeHidden && hidden) || fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (parent != CPlanTree::kNoNode) {
                tree.MarkIncomplete(parent);
            }
            continue;
        }
        const EPlanKind kind = PlanDrop::KindOf(info);
        const std::uint32_t node = tree.Add(parent, std::string(name), kind, static_cast<std::uint64_t>(info.st_size));
        ++m_nEntries;
        if (kind != EPlanKind::kFolder) {
            continue;
        }
        const int child = m_bNoSubfolders ? -1 : openat(fd, entry->d_name, kFolderFlags);
        if (child < 0) {
            tree.MarkIncomplete(node);
            continue;
        }
        WalkContents(child, node, tree);
    }
}
