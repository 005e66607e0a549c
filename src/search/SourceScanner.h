#pragma once

#include "CatalogueSource.h"
#include "ReportStream.h"
#include "SourceFileSystem.h"

#include <atomic>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// What the catalogue learns from the file system about its sources: which
// files under a folder may be reports or archive logs (a sniff of their
// first bytes), and what became of a source's file since it was
// read, by the rules that keep offline media: a file that is gone is
// deleted only when its folder is there on the file system where it was
// seen; otherwise it is missing, and a file that cannot be looked at is
// unreadable. Reads files and folders, never the database.
//
// Threads: one thread at a time.
class CSourceScanner {
public:
    // How much of a file the sniff reads: its first few KiB.
    static constexpr std::size_t kSniffBytes = CReportStream::kSniffBytes;

    // The catalogue's own database file is never taken for a report.
    // fileSystem outlives the scanner.
    CSourceScanner(std::string cataloguePath, ISourceFileSystem& fileSystem);

    ISourceFileSystem& FileSystem() { return m_fileSystem; }

    struct CSniff {
        bool m_bReport = false;
        SourceKind m_kind = SourceKind::Report;
        std::string m_strReason; // why it is not a report, one line
    };
    // Whether the file may be a report or a log, from a few KiB of it:
    // refuses what plainly is not one; a full read has the last word.
    CSniff Sniff(const std::string& path);

    struct CFound {
        std::string m_strPath;
        SourceKind m_kind = SourceKind::Report;
        CFileVersion m_version;
    };
    struct CFolderScan {
        std::vector<CFound> m_arrReports;    // may be reports or logs
        std::vector<CFound> m_arrNonReports; // plainly not
    };
    // The files under folder (recursively, links not followed) that are not
    // known(path) and not remembered(path, version) as non-reports, sniffed.
    // Stops early once cancel is set.
    CFolderScan ScanFolder(const std::string& folder, const std::function<bool(const std::string&)>& known,
                           const std::function<bool(const std::string&, const CFileVersion&)>& remembered,
                           const std::atomic<bool>& cancel);

    enum class Verdict {
        Unchanged,      // nothing to do
        Read,           // changed, new or back: read it
        Delete,         // gone from a folder that is there on its own file system: forget it
        MarkMissing,    // gone from where it can be seen (an unmounted medium): keep it
        MarkUnreadable, // cannot be looked at (permission, I/O error): keep it
        MarkOk,         // a folder that is there
    };
    struct CCheck {
        Verdict m_verdict = Verdict::Unchanged;
        std::string m_strFileSystem; // where its folder lies, when the file is there
        int m_nError = 0;            // errno of a file that cannot be looked at
    };
    // Folders' file systems as one pass of checks found them: a folder
    // holding many reports is looked at once a pass.
    using CFileSystems = std::unordered_map<std::string, std::string>;
    CCheck Check(const CSourceRow& row, CFileSystems& seen);
    // The file system of the folder a file lies in.
    std::string FileSystemOfFile(const std::string& path);

private:
    std::string m_strCataloguePath;
    ISourceFileSystem& m_fileSystem;
};
