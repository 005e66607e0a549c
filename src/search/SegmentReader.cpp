#include "SegmentReader.h"

#include "EntryBlock.h"
#include "MappedFile.h"
#include "RoaringBitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace SegmentFormat;

namespace {

// A text stored as its length then its bytes, read at `at` within `bytes`,
// `at` moved past it; empty, and `at` at the end, when it does not fit.
std::string_view TextAt(std::string_view bytes, std::uint64_t& at) {
    std::uint64_t length = 0;
    if (at > bytes.size() || bytes.size() - at < sizeof length) {
        at = bytes.size();
        return {};
    }
    std::memcpy(&length, bytes.data() + at, sizeof length);
    at += sizeof length;
    const std::string_view text = bytes.substr(at, length);
    at += text.size();
    return text;
}

std::uint64_t NumberIn(std::string_view bytes, std::uint64_t& at) {
    std::uint64_t value = 0;
    if (at <= bytes.size() && bytes.size() - at >= sizeof value) {
        std::memcpy(&value, bytes.data() + at, sizeof value);
    }
    at += sizeof value;
    return value;
}

} // namespace

CSegmentReader::~CSegmentReader() = default;

std::unique_ptr<CSegmentReader> CSegmentReader::Open(const std::string& path) {
    auto mapping = std::make_unique<CMappedFile>();
    if (!mapping->Open(path)) {
        return nullptr;
    }
    std::unique_ptr<CSegmentReader> reader(new CSegmentReader());
    reader->m_bytes = mapping->Bytes();
    reader->m_pMapping = std::move(mapping);
    Header& header = reader->m_header;
    const std::string_view bytes = reader->m_bytes;
    if (bytes.size() < sizeof header) {
        return nullptr;
    }
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.m_magic, kMagic, sizeof kMagic) != 0 || header.m_nByteOrder != kByteOrder ||
        header.m_nNameBlock != kNameBlock || header.m_nDataBlock != kDataBlock || header.m_nEntries >= UINT32_MAX ||
        header.m_nPlaces > header.m_nEntries || header.m_nReports > bytes.size()) {
        return nullptr;
    }
    for (const Range& range : header.m_sections) {
        if (range.m_nOffset > bytes.size() || range.m_nSize > bytes.size() - range.m_nOffset) {
            return nullptr;
        }
    }
    const auto arrayOf = [&](Section section, std::uint64_t count, std::uint64_t unit) {
        return header.m_sections[section].m_nSize == count * unit;
    };
    const std::uint64_t nameBlocks = reader->Blocks(kNameBlock);
    const std::uint64_t dataBlocks = reader->Blocks(kDataBlock);
    if (!arrayOf(kNameStarts, nameBlocks + 1, 8) || !arrayOf(kDataIndex, dataBlocks + 1, 8) ||
        !arrayOf(kPlaceStarts, header.m_nPlaces + 1, 8) || !arrayOf(kPlaceIndex, header.m_nPlaces, 8) ||
        !arrayOf(kReportIndex, header.m_nReports, 8) || header.m_sections[kTrigrams].m_nSize % sizeof(TrigramSlot) != 0) {
        return nullptr;
    }
    return reader;
}

std::string_view CSegmentReader::SectionBytes(Section section) const {
    const Range& range = m_header.m_sections[section];
    return m_bytes.substr(range.m_nOffset, range.m_nSize);
}

std::uint64_t CSegmentReader::NumberAt(Section section, std::uint64_t index) const {
    std::uint64_t at = index * 8;
    return index < SectionBytes(section).size() / 8 ? NumberIn(SectionBytes(section), at) : 0;
}

std::string_view CSegmentReader::NameBlock(std::uint64_t block) const {
    const std::string_view folded = SectionBytes(kFolded);
    const std::uint64_t from = NumberAt(kNameStarts, block);
    const std::uint64_t to = NumberAt(kNameStarts, block + 1);
    if (block >= NameBlocks() || from > to || to > folded.size()) {
        return {};
    }
    return folded.substr(from, to - from);
}

bool CSegmentReader::Postings(std::uint32_t trigram, CRoaringBitmap& blocks) const {
    const std::string_view directory = SectionBytes(kTrigrams);
    std::uint64_t lo = 0;
    std::uint64_t hi = directory.size() / sizeof(TrigramSlot);
    TrigramSlot slot{};
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        std::memcpy(&slot, directory.data() + mid * sizeof slot, sizeof slot);
        if (slot.m_nTrigram == trigram) {
            const std::string_view postings = SectionBytes(kPostings);
            if (slot.m_nOffset > postings.size() || slot.m_nSize > postings.size() - slot.m_nOffset) {
                blocks = CRoaringBitmap();
                return true; // damaged: found, but holding nothing
            }
            blocks.FromBytes(postings.substr(slot.m_nOffset, slot.m_nSize));
            return true;
        }
        (slot.m_nTrigram < trigram ? lo : hi) = slot.m_nTrigram < trigram ? mid + 1 : mid;
    }
    return false;
}

std::uint64_t CSegmentReader::PlaceStart(std::uint64_t place) const { return NumberAt(kPlaceStarts, place); }

std::uint64_t CSegmentReader::PlaceOf(std::uint64_t entry) const {
    // The last place starting at or before the entry.
    std::uint64_t lo = 0;
    std::uint64_t hi = Places();
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (PlaceStart(mid) <= entry) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo == 0 ? Places() : lo - 1;
}

CSegmentReader::Place CSegmentReader::PlaceAt(std::uint64_t place) const {
    Place result;
    if (place >= Places()) {
        return result;
    }
    const std::string_view records = SectionBytes(kPlaces);
    std::uint64_t at = NumberAt(kPlaceIndex, place);
    result.m_medium = TextAt(records, at);
    result.m_folder = TextAt(records, at);
    result.m_foldedMedium = TextAt(records, at);
    result.m_foldedFolder = TextAt(records, at);
    result.m_bWindows1252 = NumberIn(records, at) != 0;
    return result;
}

CSegmentReader::Report CSegmentReader::ReportAt(std::uint64_t report) const {
    Report result;
    if (report >= Reports()) {
        return result;
    }
    const std::string_view records = SectionBytes(kReports);
    std::uint64_t at = NumberAt(kReportIndex, report);
    result.m_nSource = static_cast<std::int64_t>(NumberIn(records, at));
    result.m_nEntries = NumberIn(records, at);
    result.m_path = TextAt(records, at);
    result.m_entries = TextAt(records, at);
    return result;
}

bool CSegmentReader::Folders(CRoaringBitmap& folders) const { return folders.FromBytes(SectionBytes(kFolders)); }

void CSegmentReader::ReleasePages() const { m_pMapping->ReleasePages(); }

bool CSegmentReader::DataBlock(std::uint64_t block, CEntryBlock& entries, std::vector<std::string_view>* names) const {
    const std::string_view data = SectionBytes(kData);
    const std::uint64_t from = NumberAt(kDataIndex, block);
    const std::uint64_t to = NumberAt(kDataIndex, block + 1);
    std::vector<std::string_view> own;
    std::vector<std::string_view>& folded = names != nullptr ? *names : own;
    folded.clear();
    if (block < Blocks(kDataBlock) && from <= to && to <= data.size()) {
        // The folded names of the block's entries, within one name block.
        static_assert(kNameBlock % kDataBlock == 0);
        std::string_view text = NameBlock(block * kDataBlock / kNameBlock);
        for (std::uint64_t skip = block * kDataBlock % kNameBlock; skip > 0 && !text.empty(); --skip) {
            text.remove_prefix(std::min(text.size(), text.find('\n') + 1));
        }
        while (!text.empty() && folded.size() < kDataBlock) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            folded.push_back(text.substr(0, end));
            text.remove_prefix(std::min(text.size(), end + 1));
        }
    }
    return entries.Decode(from <= to && to <= data.size() ? data.substr(from, to - from) : std::string_view(), folded);
}
