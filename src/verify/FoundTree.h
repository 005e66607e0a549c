#pragma once

#include "FolderWalker.h"
#include "FoundEntries.h"
#include "LocaleFormat.h"
#include "OptionsSnapshot.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <sys/types.h>

// One entry found on the medium now; its names are kept by the tree
// (CFoundTree::NameOf, DiskNameOf).
struct CFoundEntry {
    std::uint32_t m_nFolder = 0; // index into CFoundTree::Folders()
    std::uint32_t m_nNameLength = 0;
    std::uint32_t m_nDiskNameLength = 0;
    bool m_bFolder = false;
    bool m_bRegular = false;
    std::uint64_t m_nNameAt = 0;
    std::uint64_t m_nDiskNameAt = 0;
    std::uint64_t m_nSize = 0;
    std::int64_t m_nLastWrite = 0;
    dev_t m_nDevice = 0;
};

// A folder that entries were found in.
struct CFoundFolder {
    std::string m_strDiskPath; // absolute, as the walk spelled it
    // Relative to the base as the report writes paths; for an archive
    // report, the dropped path (the archive) it was found under.
    std::string m_strReportPath;
};

// Walks dropped paths as a drop does (a root drop walks each path whole;
// otherwise each dropped item is an entry of the base and a dropped folder
// is walked unless sub-folders are excluded) and keeps every entry with its
// name as the report in the given layout writes it.
//
// Threads: the caller's; the walk may read ahead on a helper thread of its
// own. Walk() throws CFoundTree::Cancelled when `cancel` becomes true.
class CFoundTree : public CFoundEntries, private IWalkSink {
public:
    struct Cancelled {};
    using ProgressFn = std::function<void(std::size_t entries)>;

    CFoundTree(CLocaleFormat& locale, const COptionsSnapshot& options);

    // The folder that report paths are relative to: the first path of a root
    // drop, otherwise the folder of the first dropped item.
    static std::string BaseOf(const std::vector<std::string>& paths);

    // False with the path in Missing() when a dropped item does not exist
    // (or, in a root drop, cannot be opened). `entries` and `nameBytes`:
    // about how many entries there will be, and how long their names.
    bool Walk(const std::vector<std::string>& paths, std::size_t entries, std::size_t nameBytes,
              const std::atomic<bool>& cancel, const ProgressFn& progress);
    const std::string& Missing() const { return m_strMissing; }
    int MissingError() const { return m_nMissingError; }

    const std::vector<CFoundEntry>& Entries() const { return m_arrEntries; }
    // The name as the report writes it (upper case in a listing, "?" for
    // control characters), and as the file system has it. Valid after Walk().
    std::string_view NameOf(const CFoundEntry& entry) const {
        return std::string_view(m_strNames).substr(entry.m_nNameAt, entry.m_nNameLength);
    }
    std::string_view DiskNameOf(const CFoundEntry& entry) const {
        return std::string_view(m_strNames).substr(entry.m_nDiskNameAt, entry.m_nDiskNameLength);
    }
    const std::deque<CFoundFolder>& Folders() const { return m_arrFolders; }
    // The path of an entry relative to the base, as on disk and as a
    // manifest names it ("../" for an item outside the base).
    std::string RelativePath(const CFoundEntry& entry) const;
    // The path that opens the entry.
    std::string OpenPath(const CFoundEntry& entry) const;
    // A name or path as the report in this layout writes it.
    std::string ReportFormOf(std::string_view path) const;

    // CFoundEntries: the walk's entries, names and dates as the report in
    // this layout writes them.
    std::size_t Count() const override { return m_arrEntries.size(); }
    bool IsFolder(std::size_t j) const override { return m_arrEntries[j].m_bFolder; }
    std::uint64_t SizeOf(std::size_t j) const override { return m_arrEntries[j].m_nSize; }
    std::string_view NameAt(std::size_t j) const override { return NameOf(m_arrEntries[j]); }
    std::string_view FolderAt(std::size_t j) const override {
        return m_arrFolders[m_arrEntries[j].m_nFolder].m_strReportPath;
    }
    std::string ShownPathAt(std::size_t j) const override;
    void TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const override;
    CLocaleFormat* WalkLocale() const override { return &m_locale; }
    std::int64_t LastWriteAt(std::size_t j) const override { return m_arrEntries[j].m_nLastWrite; }

private:
    void AddEntry(const CFindData& entry, CFolderRecord* record) override;
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override;
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override;
    std::uint32_t FolderOf(std::string_view diskFolder);

    CLocaleFormat& m_locale;
    COptionsSnapshot m_options;
    std::string m_strBase;
    std::string m_strReportBase;
    std::string m_strArchive; // report form of the archive being walked (archive reports)
    std::vector<CFoundEntry> m_arrEntries;
    std::string m_strNames; // every entry's names, end to end
    std::string m_strScratch;
    std::deque<CFoundFolder> m_arrFolders;
    std::uint32_t m_nLastFolder = UINT32_MAX;
    const std::atomic<bool>* m_pCancel = nullptr;
    const ProgressFn* m_pProgress = nullptr;
    std::string m_strMissing;
    int m_nMissingError = 0;
};
