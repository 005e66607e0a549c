#pragma once

#include <string>
#include <string_view>
#include <tuple>

// Find's order of entries: place (medium tag, then folder, both
// case-folded, then as written), then the case-folded name, then the
// report's path, then the line. Thread-safe.
namespace FindOrder {

// The case-folded text as shown: a text that is not valid UTF-8 is shown as Windows-1252.
std::string FoldShown(std::string_view text, bool windows1252);
// Appends the folded name; a line end in it (names hold none) becomes "?".
void AppendFoldedName(std::string& out, std::string_view name, bool windows1252);
// A place is shown as Windows-1252 when its medium or folder is not UTF-8.
bool PlaceIsWindows1252(std::string_view medium, std::string_view folder);

struct PlaceKey {
    std::string_view m_foldedMedium, m_foldedFolder, m_medium, m_folder;
    auto Tie() const { return std::tie(m_foldedMedium, m_foldedFolder, m_medium, m_folder); }
    bool operator<(const PlaceKey& other) const { return Tie() < other.Tie(); }
    bool operator==(const PlaceKey& other) const { return Tie() == other.Tie(); }
};

} // namespace FindOrder
