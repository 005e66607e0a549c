#pragma once

#include <string>

// The causes of a file error as the report's messages number them (a
// message's string id is IDS_FILE_ERROR_FIRST plus the cause).
enum FileErrorCause : int {
    kCauseNone = 0,
    kCauseGeneric = 1,
    kCauseFileNotFound = 2,
    kCauseBadPath = 3,
    kCauseTooManyOpenFiles = 4,
    kCauseAccessDenied = 5,
    kCauseHardIO = 10,
    kCauseSharingViolation = 11,
    kCauseDiskFull = 13,
};

// The cause of a system error met while opening or writing `path`.
int FileErrorCauseOf(int error, const std::string& path);

// The message for a cause with "%1" replaced by the path ("an unnamed
// file" when empty), at most 259 characters long.
std::string FileErrorMessage(int cause, const std::string& path);
