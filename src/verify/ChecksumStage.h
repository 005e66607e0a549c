#pragma once

#include "Sha256.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// One file of a drop to hash, as the walk found it.
struct CChecksumFile {
    std::string m_strOpenPath;     // absolute path that is opened
    std::string m_strManifestPath; // the path the manifest names it by
    dev_t m_nDevice = 0;           // st_dev: files of one device are read one after another
    std::uint64_t m_nSize = 0;     // for the progress only; the file is read to its end
};

// What became of one file.
struct CChecksumResult {
    Sha256Digest m_digest{};
    // 0 when m_digest holds the file's hash; otherwise the errno of the
    // failure (see CSequentialReader), ECANCELED for a file not finished
    // before a cancel.
    int m_nError = 0;
};

struct CChecksumLimits {
    unsigned m_nHashers = 0; // hashing threads; 0: one per processor
    std::size_t m_nBufferBytes = std::size_t{256} << 10; // small enough to be hashed while still in the cache
    std::size_t m_nBuffersPerFile = 8; // read ahead of the hashing, per file
};

// Hashes the files of a drop with SHA-256. Each device has one reading
// thread that reads its files in the given order in large sequential reads,
// a file at a time; the hashing threads (one per processor) each take one
// file and hash its buffers in order. Only when the hashers fall behind a
// device (the page cache, a solid-state disk: every file being read has
// its read-ahead full) is its next file opened beside the current one, so
// that two files' hashes are in flight at once; a slow device (a disc, a
// stick) is always read strictly one file after another. At most four
// files of a device are read at once. Memory: about devices x min(hashers,
// 4) x (buffers per file + 1) buffers, 4.5 MiB a device by default on two
// processors.
//
// Threads: Run() blocks its caller (never the user-interface thread) until
// every file is done or the run is cancelled. Cancel() may be called from
// any thread at any time; the workers notice it between buffers.
class CChecksumStage {
public:
    // Called with the percentage of bytes done (0..100, rising, 100 last
    // unless cancelled) from a worker thread, never two calls at once.
    using ProgressFn = std::function<void(int percent)>;

    explicit CChecksumStage(std::vector<CChecksumFile> files, CChecksumLimits limits = {});
    ~CChecksumStage();
    CChecksumStage(const CChecksumStage&) = delete;
    CChecksumStage& operator=(const CChecksumStage&) = delete;

    // Hashes every file once. False when cancelled. Call once.
    bool Run(const ProgressFn& progress = {});
    void Cancel();

    const std::vector<CChecksumFile>& Files() const { return m_arrFiles; }
    // One result per file, in the order of Files(); complete after Run().
    const std::vector<CChecksumResult>& Results() const { return m_arrResults; }

private:
    struct CState;

    std::vector<CChecksumFile> m_arrFiles;
    std::vector<CChecksumResult> m_arrResults;
    CChecksumLimits m_limits;
    std::unique_ptr<CState> m_state;
};
