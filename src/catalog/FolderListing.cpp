#include "FolderListing.h"

#include <cerrno>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Enough for a few hundred names per system call.
constexpr std::size_t kBufferSize = 64 * 1024;

} // namespace

void CListingReader::ReadNames(int fd, CFolderListing& listing) {
    if (m_buffer.empty()) {
        m_buffer.resize(kBufferSize);
    }
    m_nameEnds.clear();
    for (;;) {
        const ssize_t length = getdents64(fd, m_buffer.data(), m_buffer.size());
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            return; // the end, or a failure: what was read so far stands
        }
        for (ssize_t offset = 0; offset < length;) {
            const char* record = m_buffer.data() + offset;
            unsigned short recordLength;
            std::memcpy(&recordLength, record + offsetof(dirent64, d_reclen), sizeof recordLength);
            ino64_t inode;
            std::memcpy(&inode, record + offsetof(dirent64, d_ino), sizeof inode);
            const char* name = record + offsetof(dirent64, d_name);
            offset += recordLength;
            if (inode == 0) {
                continue; // a deleted entry, which readdir would skip too
            }
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            const std::size_t nameLength = std::strlen(name);
            if (nameLength > UINT16_MAX || listing.names.size() + nameLength >= UINT32_MAX) {
                return; // beyond what any file system holds in one folder: the listing ends here
            }
            listing.names.append(name, nameLength);
            m_nameEnds.push_back(listing.names.size());
            listing.names.push_back('\0');
        }
    }
}

bool CListingReader::AddEntry(int fd, CFolderListing& listing, std::size_t start, std::size_t end) {
    struct stat info {};
    if (fstatat(fd, listing.names.data() + start, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno != EACCES;
    }
    CListedEntry entry;
    entry.nameOffset = static_cast<std::uint32_t>(start);
    entry.nameLength = static_cast<std::uint16_t>(end - start);
    entry.directory = S_ISDIR(info.st_mode);
    entry.regular = S_ISREG(info.st_mode);
    entry.size = entry.directory ? 0 : static_cast<std::uint64_t>(info.st_size);
    entry.lastWrite = info.st_mtim.tv_sec;
    entry.device = info.st_dev;
    entry.inode = info.st_ino;
    listing.entries.push_back(entry);
    return true;
}
