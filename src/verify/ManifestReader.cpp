#include "ManifestReader.h"

#include "SequentialReader.h"
#include "StringTable.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

bool CManifestReader::Refuse(ManifestFault fault, std::size_t line) {
    m_arrEntries.clear();
    m_fault = fault;
    m_nFaultLine = line;
    return false;
}

bool CManifestReader::Parse(std::string_view text) {
    m_arrEntries.clear();
    m_fault = ManifestFault::None;
    m_nFaultLine = 0;
    m_nError = 0;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (const ManifestFault fault = ParseLine(line); fault != ManifestFault::None) {
            return Refuse(fault, number);
        }
    }
    return true;
}

ManifestFault CManifestReader::ParseLine(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return ManifestFault::NulByte;
    }
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    const bool escaped = i < line.size() && line[i] == '\\';
    i += escaped ? 1 : 0;
    CManifestEntry entry;
    constexpr std::size_t kDigits = 2 * sizeof(Sha256Digest);
    if (line.size() - i < kDigits || !ParseDigestHex(line.substr(i, kDigits), entry.m_digest)) {
        return ManifestFault::NotSha256;
    }
    i += kDigits;
    if (i >= line.size() || !IsBlank(line[i])) {
        return ManifestFault::NoSeparator;
    }
    if (i + 1 >= line.size()) {
        return ManifestFault::NoPath;
    }
    if (line[i + 1] != ' ' && line[i + 1] != '*') {
        return ManifestFault::NoSeparator;
    }
    entry.m_bBinary = line[i + 1] == '*';
    i += 2;
    const std::string_view path = line.substr(i);
    if (path.empty()) {
        return ManifestFault::NoPath;
    }
    if (!escaped) {
        entry.m_strPath = path;
    } else {
        entry.m_strPath.reserve(path.size());
        for (std::size_t k = 0; k < path.size(); ++k) {
            if (path[k] != '\\') {
                entry.m_strPath += path[k];
                continue;
            }
            if (++k == path.size()) {
                return ManifestFault::BadEscape;
            }
            switch (path[k]) {
            case '\\':
                entry.m_strPath += '\\';
                break;
            case 'n':
                entry.m_strPath += '\n';
                break;
            case 'r':
                entry.m_strPath += '\r';
                break;
            default:
                return ManifestFault::BadEscape;
            }
        }
    }
    m_arrEntries.push_back(std::move(entry));
    return ManifestFault::None;
}

bool CManifestReader::ReadFile(const std::string& path) {
    CSequentialReader reader;
    std::string text;
    int error = reader.Open(path);
    while (error == 0) {
        constexpr std::size_t kChunk = 256 * 1024;
        const std::size_t used = text.size();
        text.resize(used + kChunk);
        std::size_t length = 0;
        error = reader.Read(text.data() + used, kChunk, length);
        text.resize(used + length);
        if (length == 0) {
            break;
        }
    }
    if (error != 0) {
        Refuse(ManifestFault::Unreadable, 0);
        m_nError = error;
        return false;
    }
    return Parse(text);
}

std::string CManifestReader::FaultText() const {
    if (m_fault == ManifestFault::None) {
        return {};
    }
    if (m_fault == ManifestFault::Unreadable) {
        return std::strerror(m_nError);
    }
    const std::string& reason = LoadString(IDS_MANIFEST_FAULT_FIRST + static_cast<int>(m_fault));
    char text[512];
    std::snprintf(text, sizeof text, LoadString(IDS_MANIFEST_FAULT_LINE).c_str(),
                  static_cast<long long>(m_nFaultLine), reason.c_str());
    return text;
}
