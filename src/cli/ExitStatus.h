#pragma once

// Exit statuses of stowlist-cli and of every one of its commands.
enum ExitStatus : int {
    kExitOk = 0,
    // Nothing found, differences, something did not fit, no files to catalogue.
    kExitNothing = 1,
    kExitBadUsage = 2,
    // A path or file that cannot be read or written.
    kExitFailed = 3,
    // The report written, files left out of its manifest as unreadable.
    kExitChecksumsIncomplete = 4,

    // The report run's own words for the same statuses.
    kExitReportWritten = kExitOk,
    kExitNoFiles = kExitNothing,
};
