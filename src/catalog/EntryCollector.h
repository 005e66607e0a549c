#pragma once

#include "ArchiveSettings.h"
#include "CatalogHost.h"
#include "CatalogSession.h"
#include "EntryFormatter.h"
#include "FolderWalker.h"
#include "OptionsSnapshot.h"
#include "TextFormat.h"

#include <chrono>
#include <memory>
#include <string>

// Turns the entries of a drop into catalogue lines: builds each line in the
// drop's layout, stores it in the session and counts it, and shows
// "Processing file: N" in the status line at most once per interval.
// One thread: the one that drives the drop.
class CEntryCollector : public IWalkSink {
public:
    CEntryCollector(CCatalogSession& session, CLocaleFormat& locale, const CArchiveSettings& tags,
                    ICatalogHost& host, std::chrono::milliseconds statusInterval);

    // Starts a drop with its options.
    void Begin(const COptionsSnapshot& options);

    // Stores the entry's line: in its folder's record for a listing, in the
    // flat list for an archive report (files only). Counts only what was
    // stored, so the summary says what the report holds; memory running out
    // is shown once per drop.
    void AddEntry(const CFindData& entry, CFolderRecord* record) override;
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override;
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override;

    // "Processing file: N", at most once per status interval unless forced
    // (and then only when a count is still unshown).
    void ShowProcessing(bool force);

private:
    // Keeps a regular file's path, device and size for the checksums.
    void KeepFile(const CFindData& entry, std::vector<CWalkedFile>& files);

    CCatalogSession& m_session;
    CLocaleFormat& m_locale;
    const CArchiveSettings& m_tags;
    ICatalogHost& m_host;
    std::chrono::milliseconds m_statusInterval;
    CEntryFormatter m_formatter;
    CTextFormat m_processingFormat;
    COptionsSnapshot m_options;
    std::string m_strLine;
    bool m_bOutOfMemoryShown = false;
    bool m_bProcessingPending = false;
    unsigned m_nEntriesSinceClock = 0;
    std::chrono::steady_clock::time_point m_lastProcessingShown{};
};
