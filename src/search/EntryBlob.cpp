#include "EntryBlob.h"

#include "Varint.h"

#include <vector>

using Varint::GetText;

std::uint32_t CEntryBlobWriter::Intern(std::string_view text) {
    const auto [it, added] = m_mapStrings.emplace(std::string(text), m_nStrings);
    if (added) {
        ++m_nStrings;
        Varint::PutText(m_strStrings, text);
    }
    return it->second;
}

void CEntryBlobWriter::Add(const CReportEntry& e) {
    m_strRecords.push_back(static_cast<char>((e.m_bFolder ? 1 : 0) | (e.m_bWindows1252 ? 2 : 0)));
    Varint::Put(m_strRecords, e.m_nLine);
    Varint::Put(m_strRecords, e.m_nSize);
    Varint::PutText(m_strRecords, e.m_strName);
    Varint::Put(m_strRecords, Intern(e.m_strDate));
    Varint::Put(m_strRecords, Intern(e.m_strTime));
    Varint::Put(m_strRecords, Intern(e.m_strFolder));
    Varint::Put(m_strRecords, Intern(e.m_strMedium));
    ++m_nCount;
}

std::string CEntryBlobWriter::Finish() {
    std::string blob;
    Varint::Put(blob, m_nStrings);
    blob += m_strStrings;
    Varint::Put(blob, m_nCount);
    blob += m_strRecords;
    return blob;
}

bool ReadEntryBlob(std::string_view blob, const std::function<void(const CReportEntry&)>& sink) {
    std::uint64_t stringCount = 0;
    if (!Varint::Get(blob, stringCount) || stringCount > blob.size()) {
        return false;
    }
    std::vector<std::string_view> strings(stringCount);
    for (auto& text : strings) {
        if (!GetText(blob, text)) {
            return false;
        }
    }
    std::uint64_t count = 0;
    if (!Varint::Get(blob, count)) {
        return false;
    }
    CReportEntry e;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (blob.empty()) {
            return false;
        }
        const auto flags = static_cast<unsigned char>(blob.front());
        blob.remove_prefix(1);
        std::uint64_t line = 0, date = 0, time = 0, folder = 0, medium = 0;
        if (!Varint::Get(blob, line) || !Varint::Get(blob, e.m_nSize) || !GetText(blob, e.m_strName) ||
            !Varint::Get(blob, date) || !Varint::Get(blob, time) || !Varint::Get(blob, folder) ||
            !Varint::Get(blob, medium) || date >= stringCount || time >= stringCount || folder >= stringCount ||
            medium >= stringCount) {
            return false;
        }
        e.m_bFolder = (flags & 1) != 0;
        e.m_bWindows1252 = (flags & 2) != 0;
        e.m_nLine = line;
        e.m_strDate = strings[date];
        e.m_strTime = strings[time];
        e.m_strFolder = strings[folder];
        e.m_strMedium = strings[medium];
        sink(e);
    }
    return true;
}
