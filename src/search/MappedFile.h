#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A whole file mapped read-only, unmapped when it goes. Files that are
// replaced by rename stay valid for as long as the mapping lives.
class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // False when the file cannot be opened or mapped (an empty file maps to no bytes).
    bool Open(const std::string& path);
    std::string_view Bytes() const { return {static_cast<const char*>(m_pData), m_nSize}; }
    // Gives the pages read so far back (they stay in the page cache and
    // are read again from there when touched); the bytes do not change.
    void ReleasePages() const;

private:
    void* m_pData = nullptr;
    std::size_t m_nSize = 0;
};
