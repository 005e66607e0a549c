#pragma once

// Exit statuses of stowlist-cli and of every one of its commands.
enum ExitStatus : int {
    kExitOk = 0,
    kExitNothing = 1,  // nothing found, differences, something did not fit, no files to catalogue
    kExitBadUsage = 2,
    kExitFailed = 3,   // a path or file that cannot be read or written
    kExitChecksumsIncomplete = 4, // the report written, files left out of its manifest as unreadable

    // The report run's own words for the same statuses.
    kExitReportWritten = kExitOk,
    kExitNoFiles = kExitNothing,
};
