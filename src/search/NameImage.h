#pragma once

#include "FindQuery.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CMappedFile;

// Every entry of the catalogue in the order Find shows them (medium tag,
// folder, name, each case-folded, then report and line), with the folded
// names laid end to end in one buffer that a query scans on every core.
// Built once on one thread; Search may then run on any thread at once.
// Saved as one file, it is mapped again by the next process rather than
// rebuilt (its large parts are used in place).
class CNameImage {
public:
    struct Entry {
        std::uint64_t m_nNameOffset; // into the names as written
        std::uint32_t m_nNameLength;
        std::uint32_t m_nPlace;      // medium tag and folder
        std::uint32_t m_nStamp;      // date and time
        std::uint32_t m_nReport;
        std::uint32_t m_nLine;
        std::uint8_t m_nFlags;       // kFolder, kWindows1252
        std::uint64_t m_nSize;
    };
    static constexpr std::uint8_t kFolder = 1;
    static constexpr std::uint8_t kWindows1252 = 2;

    // Builds from entries in any order; takes the lists it is given.
    class CBuilder {
    public:
        std::uint32_t Report(const std::string& path);
        // A folder that is not valid UTF-8 is shown as Windows-1252.
        std::uint32_t Place(std::string_view medium, std::string_view folder);
        std::uint32_t Stamp(std::string_view date, std::string_view time);
        void Add(std::string_view name, std::uint32_t place, std::uint32_t stamp, std::uint32_t report,
                 std::uint32_t line, bool folder, bool windows1252, std::uint64_t size);
        std::unique_ptr<CNameImage> Build();

    private:
        std::vector<Entry> m_arrEntries;
        std::string m_strNames;
        std::vector<std::string> m_arrReports;
        std::vector<std::pair<std::string, std::string>> m_arrPlaces;
        std::vector<std::uint8_t> m_arrPlaceWindows1252;
        std::vector<std::pair<std::string, std::string>> m_arrStamps;
        std::unordered_map<std::string, std::uint32_t> m_mapPlaces; // medium "\t" folder
        std::unordered_map<std::string, std::uint32_t> m_mapStamps; // date "\t" time
    };

    // What a saved image belongs to: the catalogue and its state of entries.
    struct Key {
        std::uint64_t m_nCatalogue = 0;
        std::uint64_t m_nGeneration = 0;
    };

    CNameImage(const CNameImage&) = delete; // views into its own storage
    CNameImage& operator=(const CNameImage&) = delete;
    ~CNameImage();

    // Writes the image to a temporary file beside path and renames it into
    // place, so a reader maps the old image or the new one. False on failure.
    bool Save(const std::string& path, const Key& key) const;
    // The image saved at path under the same key, or null when there is
    // none, its key differs or it is plainly damaged. Costs no pass over the
    // file: what is not checked up front is bounded where it is read.
    static std::unique_ptr<CNameImage> Load(const std::string& path, const Key& key);

    std::size_t Size() const { return m_nEntries; }
    std::size_t ReportCount() const { return m_arrReportAt.size(); }

    // The hits of the query in order: `limit` of them from number `offset`
    // on (only those are read from their entries), and the exact count.
    // Stops early, with m_bCancelled, once cancel is set.
    CFindResult Search(const CFindQuery& query, std::size_t limit, const std::atomic<bool>& cancel,
                       std::size_t offset = 0) const;

    // The hit of entry i, texts as the report holds them.
    CFindHit Hit(std::size_t i) const;

private:
    struct Place {
        std::string_view m_medium, m_folder, m_foldedMedium;
        bool m_bWindows1252 = false;
    };

    CNameImage() = default;
    void PointAtOwnStorage();
    bool IndexTables();
    bool Plausible() const;
    std::string_view TextAt(std::uint64_t& at) const;
    Place PlaceAt(std::size_t i) const;

    // The large parts, in the owned storage below or in the mapped file.
    const Entry* m_pEntries = nullptr;
    std::size_t m_nEntries = 0;
    const std::uint64_t* m_pFoldedStart = nullptr; // m_nEntries + 1 of them
    std::string_view m_names;
    std::string_view m_folded; // folded names, each followed by '\n'
    // Reports, places and stamps as saved: counted, texts length-prefixed.
    // Read where they are used, through the offsets of their items.
    std::string_view m_tables;

    std::vector<Entry> m_arrEntries;
    std::string m_strNames;
    std::string m_strFolded;
    std::vector<std::uint64_t> m_arrFoldedStart;
    std::string m_strTables;
    std::unique_ptr<CMappedFile> m_pMapping;

    std::vector<std::uint64_t> m_arrReportAt;
    std::vector<std::uint64_t> m_arrPlaceAt;
    std::vector<std::uint64_t> m_arrStampAt;
};
