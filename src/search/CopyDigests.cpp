#include "CopyDigests.h"

#include "Varint.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kMagic = "SCD1";
constexpr std::string_view kFormerMagic = "SCK1";
constexpr std::uint8_t kFormerHasDigest = 2;

bool TakeDigest(std::string_view& in, EntryDigest& digest) {
    if (in.size() < digest.size()) {
        return false;
    }
    std::memcpy(digest.data(), in.data(), digest.size());
    in.remove_prefix(digest.size());
    return true;
}

bool Skip(std::string_view& in, std::size_t bytes) {
    if (in.size() < bytes) {
        return false;
    }
    in.remove_prefix(bytes);
    return true;
}

} // namespace

// Kept in order of line: lines come rising, so this appends.
void CCopyDigests::Add(std::uint64_t line, const EntryDigest& digest) {
    const auto at = std::upper_bound(m_arrDigests.begin(), m_arrDigests.end(), line,
                                     [](std::uint64_t l, const auto& item) { return l < item.first; });
    m_arrDigests.emplace(at, line, digest);
}

const EntryDigest* CCopyDigests::Find(std::uint64_t line) const {
    const auto at = std::lower_bound(m_arrDigests.begin(), m_arrDigests.end(), line,
                                     [](const auto& item, std::uint64_t l) { return item.first < l; });
    return at != m_arrDigests.end() && at->first == line ? &at->second : nullptr;
}

// The magic, the count, then per digest its line less the previous line, and its 32 bytes.
std::string CCopyDigests::Bytes() const {
    std::string blob(kMagic);
    Varint::Put(blob, m_arrDigests.size());
    std::uint64_t previous = 0;
    for (const auto& [line, digest] : m_arrDigests) {
        Varint::Put(blob, line - previous);
        blob.append(reinterpret_cast<const char*>(digest.data()), digest.size());
        previous = line;
    }
    return blob;
}

bool CCopyDigests::FromBytes(std::string_view in) {
    m_arrDigests.clear();
    std::uint64_t count = 0;
    if (in.substr(0, kMagic.size()) != kMagic || !Skip(in, kMagic.size()) || !Varint::Get(in, count) ||
        count > in.size() / 33) {
        return false;
    }
    m_arrDigests.reserve(count);
    std::uint64_t line = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t step = 0;
        EntryDigest digest{};
        if (!Varint::Get(in, step) || step > UINT64_MAX - line || !TakeDigest(in, digest)) {
            m_arrDigests.clear();
            return false;
        }
        line += step;
        m_arrDigests.emplace_back(line, digest);
    }
    if (!in.empty()) {
        m_arrDigests.clear();
        return false;
    }
    return true;
}

bool CCopyDigests::IsFormerKeys(std::string_view blob) { return blob.substr(0, kFormerMagic.size()) == kFormerMagic; }

// The former form: the magic; its places (a flag byte, tag and folder); the
// count; per file its place, line, size, two 64-bit keys, a flag byte, its
// name and, when the flag says so, its digest.
bool CCopyDigests::FromFormerKeys(std::string_view in) {
    m_arrDigests.clear();
    std::uint64_t places = 0;
    if (!IsFormerKeys(in) || !Skip(in, kFormerMagic.size()) || !Varint::Get(in, places) || places > in.size()) {
        return false;
    }
    std::string_view text;
    for (std::uint64_t i = 0; i < places; ++i) {
        if (!Skip(in, 1) || !Varint::GetText(in, text) || !Varint::GetText(in, text)) {
            return false;
        }
    }
    std::uint64_t count = 0;
    bool ok = Varint::Get(in, count);
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        std::uint64_t place = 0, line = 0, size = 0;
        ok = Varint::Get(in, place) && place < places && Varint::Get(in, line) && Varint::Get(in, size) &&
             Skip(in, 16) && !in.empty();
        if (!ok) {
            break;
        }
        const auto flags = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
        ok = Varint::GetText(in, text);
        if (ok && (flags & kFormerHasDigest) != 0) {
            EntryDigest digest{};
            ok = TakeDigest(in, digest);
            Add(line, digest);
        }
    }
    if (!ok || !in.empty()) {
        m_arrDigests.clear();
        return false;
    }
    return true;
}
