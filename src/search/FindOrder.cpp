#include "FindOrder.h"

#include "CaseFold.h"
#include "Windows1252.h"

#include <algorithm>

std::string FindOrder::FoldShown(std::string_view text, bool windows1252) {
    if (!windows1252) {
        return CaseFold::Fold(text);
    }
    std::string utf8;
    Windows1252::AppendUtf8(utf8, text);
    return CaseFold::Fold(utf8);
}

void FindOrder::AppendFoldedName(std::string& out, std::string_view name, bool windows1252) {
    const std::size_t from = out.size();
    if (windows1252) {
        std::string utf8;
        Windows1252::AppendUtf8(utf8, name);
        CaseFold::Append(out, utf8);
    } else {
        CaseFold::Append(out, name);
    }
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\n', '?');
}

bool FindOrder::PlaceIsWindows1252(std::string_view medium, std::string_view folder) {
    return !Windows1252::IsValidUtf8(folder) || !Windows1252::IsValidUtf8(medium);
}
