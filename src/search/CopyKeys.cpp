#include "CopyKeys.h"

#include "CaseFold.h"
#include "Varint.h"
#include "Windows1252.h"

#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kMagic = "SCK1";
constexpr std::uint8_t kNameWindows1252 = 1;
constexpr std::uint8_t kHasDigest = 2;

using Varint::GetText;
using Varint::PutText;

void PutFixed64(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<char>(value >> (8 * i)));
    }
}

bool GetFixed64(std::string_view& in, std::uint64_t& value) {
    if (in.size() < 8) {
        return false;
    }
    value = 0;
    for (int i = 0; i < 8; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    }
    in.remove_prefix(8);
    return true;
}

// A stable 64-bit hash (FNV-1a, then mixed): the keys are stored.
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

std::uint32_t CCopyKeysWriter::Place(std::string_view tag, std::string_view folder, bool windows1252) {
    std::string key;
    key.reserve(tag.size() + folder.size() + 2);
    key.append(tag).push_back('\t');
    key.append(folder).push_back(windows1252 ? '1' : '0');
    const auto [at, inserted] = m_mapPlaces.emplace(std::move(key), m_nPlaces);
    if (inserted) {
        ++m_nPlaces;
        m_strPlaces.push_back(windows1252 ? 1 : 0);
        PutText(m_strPlaces, tag);
        PutText(m_strPlaces, folder);
    }
    return at->second;
}

void CCopyKeysWriter::Add(const CReportEntry& entry, const std::optional<EntryDigest>& digest) {
    if (entry.m_bFolder) {
        return;
    }
    const bool folderWindows1252 = !Windows1252::IsValidUtf8(entry.m_strFolder);
    const std::string folded = FoldedName(entry.m_strName, entry.m_bWindows1252);
    CKeyHash nameSize;
    nameSize.Add(folded);
    nameSize.Add(entry.m_nSize);
    CKeyHash nameStamp = nameSize;
    nameStamp.Add(entry.m_strDate);
    nameStamp.Add(entry.m_strTime);
    Varint::Put(m_strRecords, Place(entry.m_strMedium, entry.m_strFolder, folderWindows1252));
    Varint::Put(m_strRecords, entry.m_nLine);
    Varint::Put(m_strRecords, entry.m_nSize);
    PutFixed64(m_strRecords, nameStamp.Value());
    PutFixed64(m_strRecords, nameSize.Value());
    m_strRecords.push_back(static_cast<char>((entry.m_bWindows1252 ? kNameWindows1252 : 0) | (digest ? kHasDigest : 0)));
    PutText(m_strRecords, entry.m_strName);
    if (digest) {
        m_strRecords.append(reinterpret_cast<const char*>(digest->data()), digest->size());
    }
    ++m_nCount;
}

std::string CCopyKeysWriter::Finish() {
    std::string blob(kMagic);
    Varint::Put(blob, m_nPlaces);
    blob += m_strPlaces;
    Varint::Put(blob, m_nCount);
    blob += m_strRecords;
    return blob;
}

bool ReadCopyKeys(std::string_view in, const std::function<void(const CCopyKey&)>& sink) {
    if (in.substr(0, kMagic.size()) != kMagic) {
        return false;
    }
    in.remove_prefix(kMagic.size());
    std::uint64_t places = 0;
    if (!Varint::Get(in, places) || places > in.size()) {
        return false;
    }
    struct CPlace {
        std::string_view tag, folder;
        bool windows1252;
    };
    std::vector<CPlace> table;
    table.reserve(places);
    for (std::uint64_t i = 0; i < places; ++i) {
        CPlace place{};
        if (in.empty()) {
            return false;
        }
        place.windows1252 = in.front() != 0;
        in.remove_prefix(1);
        if (!GetText(in, place.tag) || !GetText(in, place.folder)) {
            return false;
        }
        table.push_back(place);
    }
    std::uint64_t count = 0;
    if (!Varint::Get(in, count)) {
        return false;
    }
    EntryDigest digest{};
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t place = 0, line = 0;
        CCopyKey key;
        if (!Varint::Get(in, place) || place >= table.size() || !Varint::Get(in, line) || line > UINT32_MAX ||
            !Varint::Get(in, key.m_nSize) || !GetFixed64(in, key.m_nNameStamp) || !GetFixed64(in, key.m_nNameSize) ||
            in.empty()) {
            return false;
        }
        const auto flags = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
        if (!GetText(in, key.m_strName)) {
            return false;
        }
        if ((flags & kHasDigest) != 0) {
            if (in.size() < digest.size()) {
                return false;
            }
            std::memcpy(digest.data(), in.data(), digest.size());
            in.remove_prefix(digest.size());
            key.m_pDigest = &digest;
        }
        key.m_strTag = table[place].tag;
        key.m_strFolder = table[place].folder;
        key.m_bFolderWindows1252 = table[place].windows1252;
        key.m_nPlace = static_cast<std::uint32_t>(place);
        key.m_bWindows1252 = (flags & kNameWindows1252) != 0;
        key.m_nLine = static_cast<std::uint32_t>(line);
        sink(key);
    }
    return in.empty();
}
