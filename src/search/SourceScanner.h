#pragma once

#include "CatalogueSource.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

// What the catalogue learns from the file system about its sources: which
// files under a folder are reports or archive logs, what kind a file is, and
// what became of a source's file since it was read. Reads files and folders,
// never the database.
//
// Threads: one thread at a time.
class CSourceScanner {
public:
    // The catalogue's own database file is never taken for a report.
    explicit CSourceScanner(std::string cataloguePath);

    // A log or a report (or something unreadable, kept as a report).
    static SourceKind SniffKind(const std::string& path);

    struct CFound {
        std::string m_strPath;
        SourceKind m_kind = SourceKind::Report;
    };
    // Reports and logs under folder (recursively, links not followed) for
    // which known(path) is false. Stops early once cancel is set.
    std::vector<CFound> FindNew(const std::string& folder, const std::function<bool(const std::string&)>& known,
                                const std::atomic<bool>& cancel) const;

    enum class Verdict {
        Unchanged,   // nothing to do
        Read,        // changed, new or back: read it
        Delete,      // gone for good: forget it and its entries
        MarkMissing, // gone from where it can be seen: keep it
        MarkOk,      // a folder that is there
    };
    Verdict Check(const CSourceRow& row) const;

private:
    std::string m_strCataloguePath;
};
