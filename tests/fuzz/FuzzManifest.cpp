// Arbitrary bytes as a checksum manifest: the reader accepts or refuses them
// without crashing; what it accepts, written again line by line, reads back
// to the same entries; what it refuses has a line and a one-line reason.
#include "ManifestReader.h"
#include "ManifestWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CManifestReader reader;
    if (!reader.Parse(text)) {
        Require(reader.Entries().empty(), "a refused manifest has no entries");
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        Require(reader.FaultLine() >= 1 && reader.FaultLine() <= lines, "the fault's line is in the text");
        const std::string reason = reader.FaultText();
        Require(!reason.empty() && reason.find('\n') == std::string::npos, "the reason is one line");
        return 0;
    }
    std::string again;
    for (const CManifestEntry& entry : reader.Entries()) {
        Require(!entry.m_strPath.empty(), "an accepted path is not empty");
        again += ManifestLine(entry.m_digest, entry.m_strPath);
    }
    CManifestReader reread;
    Require(reread.Parse(again), "a written manifest reads back");
    Require(reread.Entries().size() == reader.Entries().size(), "as many entries");
    for (std::size_t i = 0; i < reread.Entries().size(); ++i) {
        Require(reread.Entries()[i].m_strPath == reader.Entries()[i].m_strPath, "the same path");
        Require(reread.Entries()[i].m_digest == reader.Entries()[i].m_digest, "the same digest");
    }
    return 0;
}
