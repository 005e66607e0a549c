#pragma once

#include "AtomicFile.h"
#include "ChecksumStage.h"
#include "Sha256.h"

#include <string>
#include <string_view>
#include <vector>

// The line sha256sum (GNU coreutils 9.1) writes for a file: 64 lower-case
// hex digits, two spaces, the path, LF. A path holding a backslash, a line
// feed or a carriage return is written with "\\", "\n" and "\r" in their
// places, and the line then starts with a backslash. `path` is not empty.
std::string ManifestLine(const Sha256Digest& digest, std::string_view path);

// Writes a manifest atomically and durably: readers see the old file or the
// whole new one, never a part. Used from one thread.
class CManifestWriter {
public:
    // Creates the temporary file beside `target`; false with LastError().
    bool Open(const std::string& target);
    bool Add(const Sha256Digest& digest, std::string_view path);
    // Adds a hashing stage's files in its order, leaving out those that
    // failed (the caller names them from the same results).
    bool AddResults(const std::vector<CChecksumFile>& files, const std::vector<CChecksumResult>& results);
    // Flushes to disk and puts the manifest in place.
    bool Commit();
    // Leaves the target as it was (also done by the destructor).
    void Abandon();
    int LastError() const { return m_nError != 0 ? m_nError : m_file.LastError(); }

private:
    bool Flush();

    CAtomicFile m_file;
    std::string m_strPending; // lines not yet written
    int m_nError = 0;
};
