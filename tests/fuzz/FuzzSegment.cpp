// Segment files that Open must refuse, or search, merge, show and read for
// Copies within their bounds, and posting lists that must be refused or read whole.
// Three kinds from each input:
// - its bytes as a portable bitmap;
// - its bytes as a segment file (magic, byte order and block sizes set
//   right so that the rest is reached);
// - a sound segment built from names the input gives, then overwritten at
//   places the input chooses: Open checks the header and the sections'
//   sizes only, so this reaches the bounds kept while it is read.
#include "CopyDigests.h"
#include "RoaringBitmap.h"
#include "SegmentBuilder.h"
#include "SegmentCopyKeys.h"
#include "SegmentFormat.h"
#include "SegmentMerge.h"
#include "SegmentReader.h"
#include "SegmentSearch.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <unistd.h>

namespace {

// One folder for the whole run, removed at its end.
const std::string& Folder() {
    static const std::string folder = [] {
        static std::string made =
            std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/fuzz-segment.XXXXXX";
        if (mkdtemp(made.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] {
            unlink((made + "/segment").c_str());
            unlink((made + "/merged").c_str());
            rmdir(made.c_str());
        });
        return made;
    }();
    return folder;
}

void Exercise(const std::string& path) {
    std::shared_ptr<const CSegmentReader> reader = CSegmentReader::Open(path);
    if (!reader) {
        return;
    }
    const std::atomic<bool> cancel{false};
    // The same segment twice, one copy hiding a report: hits merged across segments.
    const CSegmentSearch search({{reader, {2}}, {reader, {}}});
    CFindQuery query;
    for (const std::vector<std::string>& texts :
         std::vector<std::vector<std::string>>{{"a"}, {"abc"}, {"\n", ""}, {"ab", "bc\xC3"}}) {
        query.m_arrTexts = texts;
        search.Search(query, 5, cancel);
        search.Search(query, 3, cancel, 2);
    }
    query.m_arrTexts.clear();
    query.m_strGlob = "*a?c*";
    search.Search(query, 2, cancel);
    query.m_strMediumPrefix = "c";
    query.m_kinds = FindKinds::Files;
    search.Search(query, 5, cancel);
    query.m_kinds = FindKinds::Folders;
    search.Search(query, SIZE_MAX, cancel);

    // Copies reads each report's file entries.
    CSegmentCopyKeys copies;
    for (std::uint64_t r = 0; r < reader->Reports(); ++r) {
        copies.AddReport(reader->ReportAt(r).m_nSource, reader, r);
    }
    const CCopyDigests digests;
    for (std::uint64_t r = 0; r < reader->Reports(); ++r) {
        copies.Read(reader->ReportAt(r).m_nSource, digests, [](const CCopyKey&) {});
    }

    const std::string merged = Folder() + "/merged";
    std::string error;
    if (SegmentMerge::Merge({{reader, {1}}}, merged, error)) {
        unlink(merged.c_str());
    }
}

void Bitmap(const std::uint8_t* data, std::size_t size) {
    CRoaringBitmap bitmap;
    if (bitmap.FromBytes({reinterpret_cast<const char*>(data), size})) {
        CRoaringBitmap other;
        other.Add(3);
        other.Add(70000);
        other.UniteWith(bitmap);
        other.IntersectWith(bitmap);
        bitmap.Values(5, 100000);
        bitmap.Bytes();
    }
}

void WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || close(fd) != 0) {
        std::abort();
    }
}

void RawBytes(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() >= 24) {
        const std::uint32_t numbers[] = {SegmentFormat::kByteOrder, SegmentFormat::kNameBlock, SegmentFormat::kDataBlock};
        std::memcpy(bytes.data(), SegmentFormat::kMagic, 8);
        std::memcpy(bytes.data() + 8, numbers, sizeof numbers);
    }
    const std::string path = Folder() + "/segment";
    WriteFile(path, bytes);
    Exercise(path);
    unlink(path.c_str());
}

void DamagedSegment(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    CSegmentBuilder builder;
    const std::uint32_t count = input.ConsumeIntegralInRange<std::uint32_t>(0, 400);
    for (std::uint32_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        if (i % 150 == 0) {
            builder.AddReport(1 + i / 150, "/r/" + std::to_string(i) + ".txt");
        }
        const std::string name = input.ConsumeRandomLengthString(12);
        const std::string folder = "/F" + std::to_string(i % 5);
        CReportEntry entry;
        entry.m_strName = name;
        entry.m_strMedium = i % 3 == 0 ? "DAT2" : "CD01";
        entry.m_strFolder = folder;
        entry.m_strDate = "01/02/03";
        entry.m_strTime = "04:05:06";
        entry.m_bFolder = i % 4 == 0;
        entry.m_bWindows1252 = i % 7 == 0;
        entry.m_nSize = i;
        entry.m_nLine = i + 1;
        builder.Add(entry);
    }
    const std::string path = Folder() + "/segment";
    unlink(path.c_str());
    std::string error;
    if (!builder.Write(path, error)) {
        std::abort();
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const off_t length = fd < 0 ? -1 : lseek(fd, 0, SEEK_END);
    const off_t header = sizeof(SegmentFormat::Header);
    if (length < header) {
        std::abort();
    }
    while (length > header && input.remaining_bytes() >= 2) {
        const auto at = input.ConsumeIntegralInRange<off_t>(header, length - 1);
        const auto value = input.ConsumeIntegral<std::uint8_t>();
        if (pwrite(fd, &value, 1, at) != 1) {
            std::abort();
        }
    }
    close(fd);
    Exercise(path);
    unlink(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bitmap(data, size);
    RawBytes(data, size);
    DamagedSegment(data, size);
    return 0;
}
