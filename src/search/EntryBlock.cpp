#include "EntryBlock.h"

#include "Varint.h"

#include <cstdint>
#include <memory>
#include <zstd.h>

namespace {

// A damaged frame cannot make a reader allocate more than this.
constexpr unsigned long long kLargestBlock = 192ull << 20;
constexpr int kLevel = 3;

// The name's form in its column: kSameName, kXorName (the name's bytes
// XOR the folded name's), or kRawName plus the length of the name as is.
constexpr std::uint64_t kSameName = 0;
constexpr std::uint64_t kXorName = 1;
constexpr std::uint64_t kRawName = 2;

// zstd's contexts, one a thread, kept: making one costs more than a block.
struct ContextFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

ZSTD_CCtx* CompressContext() {
    thread_local std::unique_ptr<ZSTD_CCtx, ContextFree> context(ZSTD_createCCtx());
    return context.get();
}

ZSTD_DCtx* DecompressContext() {
    thread_local std::unique_ptr<ZSTD_DCtx, ContextFree> context(ZSTD_createDCtx());
    return context.get();
}

} // namespace

void CEntryBlock::Add(const CBlockEntry& entry, std::string_view folded) {
    m_columns[kFlags].push_back(static_cast<char>((entry.m_bFolder ? 1 : 0) | (entry.m_bWindows1252 ? 2 : 0)));
    Varint::Put(m_columns[kLines], entry.m_nLine);
    Varint::Put(m_columns[kSizes], entry.m_nSize);
    Varint::Put(m_columns[kReports], entry.m_nReport);
    const std::string_view name = entry.m_strName;
    if (name == folded) {
        Varint::Put(m_columns[kNameForms], kSameName);
    } else if (name.size() == folded.size()) {
        Varint::Put(m_columns[kNameForms], kXorName);
        for (std::size_t i = 0; i < name.size(); ++i) {
            m_columns[kNames].push_back(static_cast<char>(name[i] ^ folded[i]));
        }
    } else {
        Varint::Put(m_columns[kNameForms], kRawName + name.size());
        m_columns[kNames].append(name);
    }
    Varint::Put(m_columns[kDateLengths], entry.m_strDate.size());
    Varint::Put(m_columns[kTimeLengths], entry.m_strTime.size());
    m_columns[kDates].append(entry.m_strDate);
    m_columns[kTimes].append(entry.m_strTime);
    ++m_nAdded;
}

std::string CEntryBlock::Finish() {
    std::string raw;
    Varint::Put(raw, m_nAdded);
    for (std::string& column : m_columns) {
        Varint::Put(raw, column.size());
        raw.append(column);
        column.clear();
    }
    m_nAdded = 0;
    std::string compressed(ZSTD_compressBound(raw.size()), '\0');
    const std::size_t size =
        ZSTD_compressCCtx(CompressContext(), compressed.data(), compressed.size(), raw.data(), raw.size(), kLevel);
    compressed.resize(ZSTD_isError(size) ? 0 : size);
    return compressed;
}

bool CEntryBlock::Decode(std::string_view compressed, const std::vector<std::string_view>& folded) {
    m_arrEntries.clear();
    m_strDecoded.clear();
    const unsigned long long size = ZSTD_getFrameContentSize(compressed.data(), compressed.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN || size > kLargestBlock) {
        return false;
    }
    m_strDecoded.resize(size);
    const std::size_t got = ZSTD_decompressDCtx(DecompressContext(), m_strDecoded.data(), m_strDecoded.size(),
                                                compressed.data(), compressed.size());
    if (ZSTD_isError(got) || got != size) {
        m_strDecoded.clear();
        return false;
    }
    std::string_view in = m_strDecoded;
    std::uint64_t count = 0;
    std::string_view columns[kColumns];
    bool ok = Varint::Get(in, count) && count <= in.size();
    for (std::string_view& column : columns) {
        std::uint64_t length = 0;
        ok = ok && Varint::Get(in, length) && length <= in.size();
        if (ok) {
            column = in.substr(0, length);
            in.remove_prefix(length);
        }
    }
    ok = ok && in.empty() && columns[kFlags].size() == count && count <= folded.size();
    // Names stored against their folded names are made again here.
    std::size_t names = 0;
    std::vector<std::uint64_t> forms(ok ? count : 0);
    for (std::size_t i = 0; ok && i < count; ++i) {
        ok = Varint::Get(columns[kNameForms], forms[i]) && forms[i] <= UINT32_MAX;
        names += forms[i] == kSameName ? 0 : forms[i] == kXorName ? folded[i].size() : forms[i] - kRawName;
    }
    ok = ok && names == columns[kNames].size();
    std::string& made = m_strNames;
    made.clear();
    for (std::size_t i = 0; ok && i < count; ++i) {
        if (forms[i] == kSameName) {
            made.append(folded[i]);
        } else if (forms[i] == kXorName) {
            for (std::size_t k = 0; k < folded[i].size(); ++k) {
                made.push_back(static_cast<char>(columns[kNames][k] ^ folded[i][k]));
            }
            columns[kNames].remove_prefix(folded[i].size());
        } else {
            made.append(columns[kNames].substr(0, forms[i] - kRawName));
            columns[kNames].remove_prefix(forms[i] - kRawName);
        }
    }
    std::string_view madeNames = made;
    m_arrEntries.resize(ok ? count : 0);
    for (std::size_t i = 0; ok && i < count; ++i) {
        CBlockEntry& e = m_arrEntries[i];
        const auto flags = static_cast<unsigned char>(columns[kFlags][i]);
        e.m_bFolder = (flags & 1) != 0;
        e.m_bWindows1252 = (flags & 2) != 0;
        std::uint64_t report = 0, date = 0, time = 0;
        const std::size_t name = forms[i] == kSameName ? folded[i].size()
                                 : forms[i] == kXorName ? folded[i].size()
                                                        : forms[i] - kRawName;
        ok = Varint::Get(columns[kLines], e.m_nLine) && Varint::Get(columns[kSizes], e.m_nSize) &&
             Varint::Get(columns[kReports], report) && report <= UINT32_MAX &&
             Varint::Get(columns[kDateLengths], date) && date <= columns[kDates].size() &&
             Varint::Get(columns[kTimeLengths], time) && time <= columns[kTimes].size();
        if (ok) {
            e.m_nReport = static_cast<std::uint32_t>(report);
            e.m_strName = madeNames.substr(0, name);
            madeNames.remove_prefix(name);
            e.m_strDate = columns[kDates].substr(0, date);
            columns[kDates].remove_prefix(date);
            e.m_strTime = columns[kTimes].substr(0, time);
            columns[kTimes].remove_prefix(time);
        }
    }
    if (!ok) {
        m_arrEntries.clear();
        m_strDecoded.clear();
    }
    return ok;
}
