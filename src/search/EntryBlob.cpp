#include "EntryBlob.h"

#include <vector>

namespace {

void PutVarint(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

bool GetVarint(std::string_view& in, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
        const auto byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

bool GetText(std::string_view& in, std::string_view& text) {
    std::uint64_t length = 0;
    if (!GetVarint(in, length) || length > in.size()) {
        return false;
    }
    text = in.substr(0, length);
    in.remove_prefix(length);
    return true;
}

} // namespace

std::uint32_t CEntryBlobWriter::Intern(std::string_view text) {
    const auto [it, added] = m_mapStrings.emplace(std::string(text), m_nStrings);
    if (added) {
        ++m_nStrings;
        PutVarint(m_strStrings, text.size());
        m_strStrings.append(text);
    }
    return it->second;
}

void CEntryBlobWriter::Add(const CReportEntry& e) {
    m_strRecords.push_back(static_cast<char>((e.m_bFolder ? 1 : 0) | (e.m_bWindows1252 ? 2 : 0)));
    PutVarint(m_strRecords, e.m_nLine);
    PutVarint(m_strRecords, e.m_nSize);
    PutVarint(m_strRecords, e.m_strName.size());
    m_strRecords.append(e.m_strName);
    PutVarint(m_strRecords, Intern(e.m_strDate));
    PutVarint(m_strRecords, Intern(e.m_strTime));
    PutVarint(m_strRecords, Intern(e.m_strFolder));
    PutVarint(m_strRecords, Intern(e.m_strMedium));
    ++m_nCount;
}

std::string CEntryBlobWriter::Finish() {
    std::string blob;
    PutVarint(blob, m_nStrings);
    blob += m_strStrings;
    PutVarint(blob, m_nCount);
    blob += m_strRecords;
    return blob;
}

bool ReadEntryBlob(std::string_view blob, const std::function<void(const CReportEntry&)>& sink) {
    std::uint64_t stringCount = 0;
    if (!GetVarint(blob, stringCount) || stringCount > blob.size()) {
        return false;
    }
    std::vector<std::string_view> strings(stringCount);
    for (auto& text : strings) {
        if (!GetText(blob, text)) {
            return false;
        }
    }
    std::uint64_t count = 0;
    if (!GetVarint(blob, count)) {
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
        if (!GetVarint(blob, line) || !GetVarint(blob, e.m_nSize) || !GetText(blob, e.m_strName) ||
            !GetVarint(blob, date) || !GetVarint(blob, time) || !GetVarint(blob, folder) ||
            !GetVarint(blob, medium) || date >= stringCount || time >= stringCount || folder >= stringCount ||
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
