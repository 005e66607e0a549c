// What the catalogue keeps of a report for Copies, which reading must refuse
// or read within its bounds: the input's bytes as a blob of digests and as
// one of the former form; and a catalogue's worth of entries the input
// gives, grouped and asked, read again as the answers read them.
#include "CopyDigests.h"
#include "CopyIndex.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <string>
#include <vector>

namespace {

struct CEntry {
    std::string m_strTag, m_strFolder, m_strName;
    std::uint64_t m_nSize = 0;
    std::uint32_t m_nLine = 0;
    std::string m_strStamp;
    bool m_bDigest = false;
    EntryDigest m_digest{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool former : {false, true}) {
        CCopyDigests digests;
        if (former ? digests.FromFormerKeys(bytes) : digests.FromBytes(bytes)) {
            CCopyDigests again;
            if (!again.FromBytes(digests.Bytes()) || again.Size() != digests.Size()) {
                std::abort(); // what is written reads back
            }
        }
    }

    FuzzedDataProvider input(data, size);
    const bool byName = input.ConsumeBool();
    std::map<std::string, std::vector<CEntry>> reports;
    for (int report = 0; report < 3 && input.remaining_bytes() > 0; ++report) {
        std::vector<CEntry>& entries = reports["/r" + std::to_string(report) + ".txt"];
        for (int i = 0, n = input.ConsumeIntegralInRange(0, 8); i < n; ++i) {
            CEntry entry;
            entry.m_strName = input.ConsumeRandomLengthString(12);
            entry.m_strTag = input.ConsumeRandomLengthString(12);
            entry.m_strFolder = input.ConsumeRandomLengthString(6);
            entry.m_nSize = input.ConsumeIntegralInRange<std::uint64_t>(0, 3);
            entry.m_nLine = static_cast<std::uint32_t>(i + 1);
            entry.m_strStamp = input.ConsumeRandomLengthString(2);
            entry.m_bDigest = input.ConsumeBool();
            entry.m_digest.front() = input.ConsumeIntegral<std::uint8_t>();
            entries.push_back(entry);
        }
    }
    // A report named by the input may lose entries between the grouping and the answers.
    const std::string shrinking = "/r" + std::to_string(input.ConsumeIntegralInRange(0, 3)) + ".txt";
    bool grouped = false;
    const CCopyIndex::CKeysSource source = [&](const std::string& path, const CCopyIndex::CKeySink& sink) {
        const auto at = reports.find(path);
        if (at == reports.end()) {
            return false;
        }
        std::size_t count = at->second.size();
        if (grouped && path == shrinking && count > 0) {
            --count;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const CEntry& entry = at->second[i];
            const std::string folded = FoldedName(entry.m_strName, false);
            CCopyKey key;
            key.m_strTag = entry.m_strTag;
            key.m_strFolder = entry.m_strFolder;
            key.m_nPlace = static_cast<std::uint32_t>(i);
            key.m_strName = entry.m_strName;
            key.m_strFolded = folded;
            key.m_nSize = entry.m_nSize;
            key.m_nLine = entry.m_nLine;
            key.m_pDigest = entry.m_bDigest ? &entry.m_digest : nullptr;
            key.m_strDate = entry.m_strStamp;
            sink(key);
        }
        return true;
    };
    CCopyIndex index(byName);
    std::vector<std::string> paths;
    for (const auto& [path, entries] : reports) {
        paths.push_back(path);
    }
    paths.push_back("/missing.txt");
    if (index.AddReports(paths, source) != std::vector<std::string>{"/missing.txt"}) {
        std::abort(); // every report but the missing one reads
    }
    index.Group();
    grouped = true;
    CCopiesQuery query;
    query.m_bByName = byName;
    query.m_strMediumPrefix = input.ConsumeRandomLengthString(4);
    if (input.ConsumeBool()) {
        query.m_nFewerThan = input.ConsumeIntegralInRange<std::uint32_t>(1, 4);
    }
    if (input.ConsumeBool()) {
        query.m_arrTexts.push_back(input.ConsumeRandomLengthString(3));
    }
    const std::atomic<bool> cancel{false};
    index.Groups(query, source, [](const CCopyGroup& group) {
        if (group.m_nCopies == 0 || group.m_nCopies != group.m_arrMedia.size()) {
            std::abort();
        }
    }, cancel);
    const CCopiesResult media = index.Summary(query, source, cancel);
    return static_cast<int>(media.m_arrMedia.size() & 0);
}
