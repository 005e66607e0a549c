#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A real folder tree under a fresh temporary folder, removed again at the
// end. Times are exact (utimensat); a folder's time is applied by Finish(),
// after everything inside it exists.
class CTempTree {
public:
    CTempTree();
    ~CTempTree();
    CTempTree(const CTempTree&) = delete;
    CTempTree& operator=(const CTempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const;

    // Sizes are made sparse (ftruncate), so gigabytes cost nothing.
    void File(const std::string& relative, std::uint64_t size, std::int64_t mtime);
    void Folder(const std::string& relative, std::int64_t mtime);
    void Symlink(const std::string& relative, const std::string& target, std::int64_t mtime);
    void WriteText(const std::string& relative, const std::string& text);
    std::string ReadText(const std::string& relative) const;
    void Finish();

    static std::string ReadFile(const std::string& path);
    static bool Exists(const std::string& path);

private:
    struct FolderTime {
        std::string path;
        std::int64_t mtime;
    };
    std::string m_root;
    std::vector<FolderTime> m_folderTimes;
};

// The text with its ASCII letters in upper case, as the listings show names
// in the C and en_US locales.
std::string UpperAscii(std::string text);

// Seconds since the epoch of a local time in the test time zone.
std::int64_t LocalTime(int year, int month, int day, int hour, int minute, int second);

// Fixes the time zone of the test process (Central European, with its
// summer time rule written out, so no time zone data is needed).
void UseTestTimeZone();
