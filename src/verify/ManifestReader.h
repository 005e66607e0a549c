#pragma once

#include "Sha256.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One line of a manifest read back.
struct CManifestEntry {
    Sha256Digest m_digest{};
    std::string m_strPath; // unescaped
    bool m_bBinary = false; // written with "*" before the path
};

// Why a manifest was refused.
enum class ManifestFault : int {
    None = 0,
    NotSha256 = 1,  // no 64 hex digits where the line starts
    NoSeparator = 2, // the digits are not followed by "  " or " *"
    NoPath = 3,      // nothing after the separator
    BadEscape = 4,   // an escaped line with a backslash other than \\, \n, \r
    NulByte = 5,     // a NUL byte in the line
    Unreadable = 6,  // the file could not be read (see Error())
};

// Reads a manifest as `sha256sum -c` (GNU coreutils 9.1) reads it: lines
// "HEX  PATH" or "HEX *PATH", an escaped line starting with a backslash, LF
// or CRLF line ends, blank lines and lines starting with "#" skipped, the
// last line's LF optional. The first line that is none of these refuses the
// whole manifest. Linear in the input; safe on any bytes.
class CManifestReader {
public:
    bool Parse(std::string_view text);
    // Reads and parses a file; a file that cannot be read gives Unreadable
    // with Error() its errno.
    bool ReadFile(const std::string& path);

    const std::vector<CManifestEntry>& Entries() const { return m_arrEntries; }
    ManifestFault Fault() const { return m_fault; }
    std::size_t FaultLine() const { return m_nFaultLine; } // 1-based
    int Error() const { return m_nError; }
    // One line for the user: where and why the manifest was refused.
    std::string FaultText() const;

private:
    bool Refuse(ManifestFault fault, std::size_t line);
    ManifestFault ParseLine(std::string_view line);

    std::vector<CManifestEntry> m_arrEntries;
    ManifestFault m_fault = ManifestFault::None;
    std::size_t m_nFaultLine = 0;
    int m_nError = 0;
};
