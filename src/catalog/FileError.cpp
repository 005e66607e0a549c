#include "FileError.h"

#include "PathName.h"
#include "StringTable.h"
#include "Utf8.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

bool FolderExists(const std::string& path) {
    const std::string_view folder = PathName::FolderOf(path);
    if (folder.empty()) {
        return true; // the working folder
    }
    struct stat info {};
    return stat(std::string(folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

int FileErrorCauseOf(int error, const std::string& path) {
    switch (error) {
    case 0:
        return kCauseNone;
    case ENOENT:
        return FolderExists(path) ? kCauseFileNotFound : kCauseBadPath;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return kCauseBadPath;
    case EMFILE:
    case ENFILE:
        return kCauseTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kCauseAccessDenied;
    case EIO:
        return kCauseHardIO;
    case EBUSY:
    case ETXTBSY:
        return kCauseSharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kCauseDiskFull;
    default:
        return kCauseGeneric;
    }
}

std::string FileErrorMessage(int cause, const std::string& path) {
    std::string text = LoadString(IDS_FILE_ERROR_FIRST + cause);
    const std::string& name = path.empty() ? LoadString(IDS_UNNAMED_FILE) : path;
    const std::string shown = Utf8::Printable(name);
    for (auto at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + shown.size())) {
        text.replace(at, 2, shown);
    }
    return std::string(Utf8::LeftChars(text, 259));
}
