#include "SegmentWriter.h"

#include "FindOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

void AppendNumber(std::string& out, std::uint64_t value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }

void AppendText(std::string& out, std::string_view text) {
    AppendNumber(out, text.size());
    out.append(text);
}

template <typename T> std::string_view BytesOf(const std::vector<T>& values) {
    return {reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T)};
}

} // namespace

void CSegmentWriter::FreeSlots::operator()(std::uint32_t* slots) const { std::free(slots); }

CSegmentWriter::CSegmentWriter(std::string path)
    : m_strPath(std::move(path)), m_pSlots(static_cast<std::uint32_t*>(std::calloc(1u << 24, sizeof(std::uint32_t)))) {}

CSegmentWriter::~CSegmentWriter() {
    if (m_fd >= 0) {
        close(m_fd);
        if (!m_bFinished) {
            unlink(m_strPath.c_str());
        }
    }
}

bool CSegmentWriter::Fail(const std::string& what) {
    if (m_strError.empty()) {
        m_strError = m_strPath + ": " + what;
    }
    return false;
}

bool CSegmentWriter::Open() {
    m_fd = open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        return Fail(std::strerror(errno));
    }
    // The header is written last, over these zeros: a file cut short has no magic.
    m_strBuffer.assign(sizeof(SegmentFormat::Header), '\0');
    return true;
}

bool CSegmentWriter::Put(const void* data, std::size_t size) {
    m_strBuffer.append(static_cast<const char*>(data), size);
    return m_strBuffer.size() < kBufferBytes || Flush();
}

bool CSegmentWriter::Flush() {
    const char* bytes = m_strBuffer.data();
    std::size_t left = m_strBuffer.size();
    while (left > 0) {
        const ssize_t n = write(m_fd, bytes, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail(std::strerror(n < 0 ? errno : ENOSPC));
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
        m_nWritten += static_cast<std::uint64_t>(n);
    }
    m_strBuffer.clear();
    return true;
}

std::uint32_t CSegmentWriter::AddReport(std::int64_t source, std::string_view path) {
    m_arrReports.push_back(Report{source, std::string(path), 0, CRoaringBitmap()});
    return static_cast<std::uint32_t>(m_arrReports.size() - 1);
}

bool CSegmentWriter::Add(const CSegmentEntry& entry) {
    if (m_fd < 0 || !m_pSlots || entry.m_fields.m_nReport >= m_arrReports.size() || m_nEntries >= UINT32_MAX - 1) {
        return Fail("entry out of range");
    }
    const auto ordinal = static_cast<std::uint32_t>(m_nEntries);
    if (ordinal % SegmentFormat::kNameBlock == 0) {
        m_arrNameStarts.push_back(m_strFolded.size());
    }
    const std::uint32_t block = ordinal / SegmentFormat::kNameBlock;
    if (m_arrPlaceStarts.empty() || entry.m_strMedium != m_strMedium || entry.m_strFolder != m_strFolder) {
        m_strMedium = entry.m_strMedium;
        m_strFolder = entry.m_strFolder;
        const bool windows1252 = FindOrder::PlaceIsWindows1252(m_strMedium, m_strFolder);
        m_arrPlaceStarts.push_back(ordinal);
        m_arrPlaceIndex.push_back(m_strPlaces.size());
        AppendText(m_strPlaces, m_strMedium);
        AppendText(m_strPlaces, m_strFolder);
        AppendText(m_strPlaces, FindOrder::FoldShown(m_strMedium, windows1252));
        AppendText(m_strPlaces, FindOrder::FoldShown(m_strFolder, windows1252));
        AppendNumber(m_strPlaces, windows1252 ? 1 : 0);
    }
    const std::string_view folded = entry.m_strFolded;
    for (std::size_t i = 0; i + 3 <= folded.size(); ++i) {
        AddTrigram(static_cast<std::uint32_t>(static_cast<unsigned char>(folded[i])) << 16 |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(folded[i + 1])) << 8 |
                                     static_cast<unsigned char>(folded[i + 2]), block);
    }
    m_strFolded.append(folded);
    m_strFolded.push_back('\n');
    Report& report = m_arrReports[entry.m_fields.m_nReport];
    report.m_entries.Add(ordinal);
    ++report.m_nEntries;
    if (entry.m_fields.m_bFolder) {
        m_folders.Add(ordinal);
    }
    m_block.Add(entry.m_fields, folded);
    ++m_nEntries;
    return m_block.Size() < SegmentFormat::kDataBlock || FlushDataBlock();
}

bool CSegmentWriter::FlushDataBlock() {
    if (m_arrDataIndex.empty()) {
        m_arrDataIndex.push_back(0);
    }
    const std::string compressed = m_block.Finish();
    if (compressed.empty()) {
        return Fail("cannot compress entries");
    }
    m_arrDataIndex.push_back(m_arrDataIndex.back() + compressed.size());
    return Put(compressed.data(), compressed.size());
}

void CSegmentWriter::AddTrigram(std::uint32_t trigram, std::uint32_t block) {
    std::uint32_t& slot = m_pSlots[trigram];
    if (slot == 0) {
        m_arrPostings.emplace_back();
        m_arrTrigrams.push_back(trigram);
        slot = static_cast<std::uint32_t>(m_arrPostings.size());
    }
    std::vector<std::uint32_t>& list = m_arrPostings[slot - 1];
    if (list.empty() || list.back() != block) {
        list.push_back(block);
    }
}

// Writes a section at the file's end (8-aligned) and records where it is.
bool CSegmentWriter::Section(SegmentFormat::Section section, std::string_view bytes) {
    static const char kZeros[8] = {};
    const std::uint64_t at = m_nWritten + m_strBuffer.size();
    if (!Put(kZeros, (8 - at % 8) % 8)) {
        return false;
    }
    m_header.m_sections[section] = {m_nWritten + m_strBuffer.size(), bytes.size()};
    return Put(bytes.data(), bytes.size());
}

bool CSegmentWriter::Finish() {
    if (m_fd < 0) {
        return Fail("not open");
    }
    using namespace SegmentFormat;
    const std::uint64_t dataAt = sizeof(Header);
    if ((m_block.Size() > 0 && !FlushDataBlock()) || !Flush()) {
        return false;
    }
    if (m_arrDataIndex.empty()) {
        m_arrDataIndex.push_back(0);
    }
    m_header.m_sections[kData] = {dataAt, m_arrDataIndex.back()};
    m_arrNameStarts.push_back(m_strFolded.size());
    m_arrPlaceStarts.push_back(m_nEntries);

    std::string reports;
    std::vector<std::uint64_t> reportIndex;
    for (Report& report : m_arrReports) {
        reportIndex.push_back(reports.size());
        AppendNumber(reports, static_cast<std::uint64_t>(report.m_nSource));
        AppendNumber(reports, report.m_nEntries);
        AppendText(reports, report.m_strPath);
        AppendText(reports, report.m_entries.Bytes());
        report.m_entries = CRoaringBitmap();
    }
    bool ok = Section(kFolded, m_strFolded) && Section(kNameStarts, BytesOf(m_arrNameStarts)) &&
              Section(kDataIndex, BytesOf(m_arrDataIndex)) && Section(kPlaceStarts, BytesOf(m_arrPlaceStarts)) &&
              Section(kPlaceIndex, BytesOf(m_arrPlaceIndex)) && Section(kPlaces, m_strPlaces) &&
              Section(kReportIndex, BytesOf(reportIndex)) && Section(kReports, reports) &&
              Section(kFolders, m_folders.Bytes());
    std::string().swap(m_strFolded);

    // The posting lists, then their directory, by rising trigram.
    std::vector<std::uint32_t> trigrams = m_arrTrigrams;
    std::sort(trigrams.begin(), trigrams.end());
    std::vector<TrigramSlot> slots;
    slots.reserve(trigrams.size());
    ok = ok && Section(kPostings, {});
    const std::uint64_t postingsAt = m_header.m_sections[kPostings].m_nOffset;
    for (std::size_t i = 0; ok && i < trigrams.size(); ++i) {
        std::vector<std::uint32_t>& list = m_arrPostings[m_pSlots[trigrams[i]] - 1];
        CRoaringBitmap blocks;
        blocks.AddMany(list);
        std::vector<std::uint32_t>().swap(list);
        const std::string bytes = blocks.Bytes();
        slots.push_back({trigrams[i], static_cast<std::uint32_t>(bytes.size()),
                         m_nWritten + m_strBuffer.size() - postingsAt});
        ok = Put(bytes.data(), bytes.size());
    }
    m_header.m_sections[kPostings].m_nSize = m_nWritten + m_strBuffer.size() - postingsAt;
    ok = ok && Section(kTrigrams, BytesOf(slots)) && Flush();

    std::memcpy(m_header.m_magic, kMagic, sizeof kMagic);
    m_header.m_nByteOrder = kByteOrder;
    m_header.m_nNameBlock = kNameBlock;
    m_header.m_nDataBlock = kDataBlock;
    m_header.m_nEntries = m_nEntries;
    m_header.m_nPlaces = m_arrPlaceIndex.size();
    m_header.m_nReports = m_arrReports.size();
    // Written from a copy of its bytes: some optimisers take the address of the
    // header for that of its first field and warn of a read past it.
    char headerBytes[sizeof m_header];
    std::memcpy(headerBytes, &m_header, sizeof headerBytes);
    if (!ok || pwrite(m_fd, headerBytes, sizeof headerBytes, 0) != static_cast<ssize_t>(sizeof headerBytes) ||
        fdatasync(m_fd) != 0) {
        return Fail(std::strerror(errno));
    }
    m_bFinished = true;
    const int fd = m_fd;
    m_fd = -1;
    return close(fd) == 0 || Fail(std::strerror(errno));
}
