#pragma once

#include "ArchiveLog.h"
#include "ArchiveSettings.h"
#include "CatalogSession.h"
#include "EntryCollector.h"
#include "FolderWalker.h"
#include "OptionsSnapshot.h"

#include <string>
#include <vector>

// Takes the dropped paths in turn into the session: a folder (or, in a root
// drop, every path) is walked, a file goes straight to the collector, and
// with multiple archives each walked path is logged as an archive of its own
// and advances the archive number. A first path ending in "/" makes a root
// drop (a mounted medium): each path is then walked as a whole, without a
// line of its own.
class CDropProcessor {
public:
    CDropProcessor(CCatalogSession& session, const COptionsSnapshot& options, bool multipleArchives,
                   CArchiveSettings& tags, CArchiveLog& log, CEntryCollector& entries, CFolderWalker& walker);

    // False when a dropped path (outside a root drop) could not be found; it
    // is then PathNotFound() and the drop stops there.
    bool Collect(const std::vector<std::string>& paths);
    const std::string& PathNotFound() const { return m_strPathNotFound; }

private:
    // The record of the folder that holds the dropped items, made on first use.
    CFolderRecord* DropRecord(const std::string& droppedPath);
    void AppendLogLine(const std::string& droppedPath);

    CCatalogSession& m_session;
    const COptionsSnapshot& m_options;
    bool m_bMultipleArchives;
    CArchiveSettings& m_tags;
    CArchiveLog& m_log;
    CEntryCollector& m_entries;
    CFolderWalker& m_walker;
    CFolderRecord* m_pDropRecord = nullptr;
    std::string m_strPathNotFound;
};
