#pragma once

#include "ChecksumStage.h"
#include "WalkedFile.h"

#include <string>
#include <utility>
#include <vector>

// A file that could not be read for its checksum.
struct CUnreadableFile {
    std::string m_strPath; // absolute
    int m_nError = 0;      // errno
};

// The checksums of one drop for both front ends: its files hashed under the
// paths their manifest gives them (relative to the drop's base), then the
// manifest written beside the report.
//
// Threads: Run() blocks its caller; Cancel() from any thread at any time.
class CDropChecksums {
public:
    explicit CDropChecksums(CDropFiles files, CChecksumLimits limits = {});

    // False when cancelled. Call once.
    bool Run(const CChecksumStage::ProgressFn& progress = {});
    void Cancel() { m_stage.Cancel(); }

    // Writes the manifest atomically and durably, the files that could not
    // be read left out. 0 or the errno of the failure (the target is then
    // left as it was). After a finished Run().
    int WriteManifest(const std::string& path) const;
    // The files that could not be read, in manifest order.
    std::vector<CUnreadableFile> Unreadable() const;

private:
    CChecksumStage m_stage;
};
