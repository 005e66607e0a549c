// Stored grouping keys of a report that ReadCopyKeys must refuse or read
// within their bounds, and a catalogue's worth of them grouped and asked:
// the input's bytes as one report's blob, and blobs written from entries the
// input gives (so that grouping and the answers are reached).
#include "CopyIndex.h"
#include "CopyKeys.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::uint64_t read = 0;
    ReadCopyKeys(bytes, [&](const CCopyKey& key) {
        read += key.m_strName.size() + key.m_strFolder.size() + key.m_strTag.size();
    });

    FuzzedDataProvider input(data, size);
    const bool byName = input.ConsumeBool();
    CCopyIndex index(byName);
    std::map<std::string, std::string> blobs{{"/raw.txt", std::string(bytes)}};
    index.AddReport("/raw.txt", bytes);
    for (int report = 0; report < 3 && input.remaining_bytes() > 0; ++report) {
        CCopyKeysWriter writer;
        std::deque<std::string> texts; // the entries' views stay valid as it grows
        for (int i = 0, n = input.ConsumeIntegralInRange(0, 8); i < n; ++i) {
            texts.push_back(input.ConsumeRandomLengthString(12));
            texts.push_back(input.ConsumeRandomLengthString(12));
            texts.push_back(input.ConsumeRandomLengthString(6));
            CReportEntry entry;
            entry.m_strName = texts[texts.size() - 3];
            entry.m_strMedium = texts[texts.size() - 2];
            entry.m_strFolder = texts.back();
            entry.m_nSize = input.ConsumeIntegralInRange<std::uint64_t>(0, 3);
            entry.m_nLine = static_cast<std::size_t>(i + 1);
            entry.m_bFolder = input.ConsumeBool();
            std::optional<EntryDigest> digest;
            if (input.ConsumeBool()) {
                digest = EntryDigest{};
                digest->front() = input.ConsumeIntegral<std::uint8_t>();
            }
            writer.Add(entry, digest);
        }
        const std::string path = "/r" + std::to_string(report) + ".txt";
        blobs[path] = writer.Finish();
        if (!index.AddReport(path, blobs[path])) {
            std::abort(); // what the writer writes always reads back
        }
    }
    index.Group();
    CCopiesQuery query;
    query.m_bByName = byName;
    query.m_strMediumPrefix = input.ConsumeRandomLengthString(4);
    if (input.ConsumeBool()) {
        query.m_nFewerThan = input.ConsumeIntegralInRange<std::uint32_t>(1, 4);
    }
    const std::atomic<bool> cancel{false};
    // The answers read the keys again; the raw input's may be damaged.
    const CCopyIndex::CKeysSource source = [&](const std::string& path, std::string& blob) {
        const auto at = blobs.find(path);
        return at != blobs.end() && (blob = at->second, true);
    };
    index.Groups(query, source, [](const CCopyGroup& group) {
        if (group.m_nCopies == 0 || group.m_nCopies != group.m_arrMedia.size()) {
            std::abort();
        }
    }, cancel);
    const CCopiesResult media = index.Summary(query, source, cancel);
    return static_cast<int>(read & 0) + static_cast<int>(media.m_arrMedia.size() & 0);
}
