#include "ManifestWriter.h"

#include <cerrno>

namespace {

constexpr std::size_t kFlushBytes = 256 * 1024;

} // namespace

std::string ManifestLine(const Sha256Digest& digest, std::string_view path) {
    const bool escaped = path.find_first_of("\\\n\r") != std::string_view::npos;
    std::string line;
    line.reserve(68 + path.size() + (escaped ? path.size() + 1 : 0));
    if (escaped) {
        line += '\\';
    }
    line += DigestHex(digest);
    line += "  ";
    if (!escaped) {
        line += path;
    } else {
        for (const char c : path) {
            switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
            }
        }
    }
    line += '\n';
    return line;
}

bool CManifestWriter::Open(const std::string& target) {
    m_strPending.clear();
    m_nError = 0;
    return m_file.Open(target);
}

bool CManifestWriter::Add(const Sha256Digest& digest, std::string_view path) {
    if (m_nError != 0) {
        return false;
    }
    if (path.empty()) {
        m_nError = EINVAL;
        return false;
    }
    m_strPending += ManifestLine(digest, path);
    return m_strPending.size() < kFlushBytes || Flush();
}

bool CManifestWriter::AddResults(const std::vector<CChecksumFile>& files,
                                 const std::vector<CChecksumResult>& results) {
    for (std::size_t i = 0; i < files.size() && i < results.size(); ++i) {
        if (results[i].m_nError == 0 && !Add(results[i].m_digest, files[i].m_strManifestPath)) {
            return false;
        }
    }
    return true;
}

bool CManifestWriter::Flush() {
    const bool written = m_file.Write(m_strPending);
    m_strPending.clear();
    if (!written) {
        m_nError = m_file.LastError(); // sticky: a manifest with a gap is never committed
    }
    return written;
}

bool CManifestWriter::Commit() {
    if (m_nError != 0) {
        m_file.Abandon();
        return false;
    }
    if (!Flush()) {
        m_file.Abandon();
        return false;
    }
    return m_file.Commit();
}

void CManifestWriter::Abandon() {
    m_strPending.clear();
    m_file.Abandon();
}
