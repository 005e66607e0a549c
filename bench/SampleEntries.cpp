#include "SampleEntries.h"

#include <iterator>
#include <string_view>

namespace {

constexpr std::string_view kWords[] = {
    "report", "Backup", "photo", "IMG",    "invoice", "Übersicht", "año",    "naïve",  "Ærøskøbing", "Škoda",
    "Jürgen", "Straße", "εικόνα", "Москва", "данные",  "final",     "old",    "Q3",     "notes",      "Zürich",
    "a",      "x",      "readme", "build",  "music",   "scan",      "tape 2", "été",    "projekt",    "mix",
};
constexpr std::string_view kExtensions[] = {".txt", ".jpg", ".pdf", ".tar.gz", ".mp3", "", ".iso"};

std::uint64_t Next(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

CSampleEntries::CSampleEntries(std::size_t count, std::uint64_t seed) {
    m_names.reserve(count);
    m_entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const bool folder = Next(seed) % 10 == 0;
        std::string name;
        const auto words = 1 + Next(seed) % 5;
        for (std::uint64_t w = 0; w < words; ++w) {
            if (w > 0) {
                name += Next(seed) % 3 == 0 ? "_" : " ";
            }
            name += kWords[Next(seed) % std::size(kWords)];
        }
        name += ' ' + std::to_string(i);
        if (!folder) {
            name += kExtensions[Next(seed) % std::size(kExtensions)];
        }
        m_names.push_back(std::move(name));
        CFindData entry;
        entry.m_bDirectory = folder;
        entry.m_nSize = folder ? 0 : Next(seed) % (4u << 20);
        entry.m_nLastWrite = 946684800 + static_cast<std::int64_t>(Next(seed) % (26ULL * 365 * 86400));
        m_entries.push_back(entry);
    }
    for (std::size_t i = 0; i < count; ++i) {
        m_entries[i].m_strName = m_names[i]; // after the last push_back: the views stay valid
    }
}
