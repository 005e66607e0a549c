#include "CopyKeys.h"

#include "CaseFold.h"
#include "Windows1252.h"

#include <bit>
#include <cstring>

namespace {

// Eight bytes at a time, each field ended by a word that holds its last
// bytes and their count, then mixed (splitmix64's finish).
class CFieldHash {
public:
    void Add(std::string_view text) {
        while (text.size() >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data(), 8);
            Mix(word);
            text.remove_prefix(8);
        }
        std::uint64_t tail = 0;
        if (!text.empty()) {
            std::memcpy(&tail, text.data(), text.size());
        }
        Mix(tail ^ (static_cast<std::uint64_t>(text.size()) << 56));
    }
    void Add(std::uint64_t number) { Mix(number); }
    std::uint64_t Value() const {
        std::uint64_t z = m_nValue + 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

private:
    void Mix(std::uint64_t word) {
        word *= 0x87c37b91114253d5ULL;
        word = std::rotl(word, 31) * 0x4cf5ad432745937fULL;
        m_nValue = std::rotl(m_nValue ^ word, 27) * 5 + 0x52dce729;
    }
    std::uint64_t m_nValue = 0;
};

} // namespace

std::string FoldedName(std::string_view name, bool windows1252) {
    if (!windows1252) {
        return CaseFold::Fold(name);
    }
    std::string utf8;
    Windows1252::AppendUtf8(utf8, name);
    return CaseFold::Fold(utf8);
}

std::uint64_t GroupingKey(const CCopyKey& key, bool byName) {
    CFieldHash hash;
    hash.Add(key.m_strFolded);
    hash.Add(key.m_nSize);
    if (!byName) {
        hash.Add(key.m_strDate);
        hash.Add(key.m_strTime);
    }
    return hash.Value();
}
