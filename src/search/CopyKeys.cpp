#include "CopyKeys.h"

#include "CaseFold.h"
#include "Windows1252.h"

namespace {

// A 64-bit hash (FNV-1a, then mixed).
struct CKeyHash {
    std::uint64_t m_nValue = 0xcbf29ce484222325ULL;
    void Add(std::string_view text) {
        for (const char c : text) {
            m_nValue = (m_nValue ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        m_nValue = (m_nValue ^ 0xff) * 0x100000001b3ULL; // ends the field: "ab","c" is not "a","bc"
    }
    void Add(std::uint64_t number) {
        char bytes[8];
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<char>(number >> (8 * i));
        }
        Add(std::string_view(bytes, 8));
    }
    std::uint64_t Value() const {
        std::uint64_t z = m_nValue + 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
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

void SetGroupingKeys(CCopyKey& key, std::string_view date, std::string_view time) {
    CKeyHash nameSize;
    nameSize.Add(key.m_strFolded);
    nameSize.Add(key.m_nSize);
    CKeyHash nameStamp = nameSize;
    nameStamp.Add(date);
    nameStamp.Add(time);
    key.m_nNameSize = nameSize.Value();
    key.m_nNameStamp = nameStamp.Value();
}
