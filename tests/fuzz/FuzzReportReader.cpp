// Arbitrary bytes through the report reader, once alone and once with the
// first line taken as an archive log, each time whole and in chunks of a size
// the input chooses: it must refuse or read, never crash, read every chunking
// exactly as the whole bytes, and every entry it gives must lie inside the
// line it came from, with a line number that exists.
#include "ReportReader.h"

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

bool Inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

struct Reading {
    bool ok = false;
    std::string text;
};

Reading ReadOnce(CReportReader& reader, std::string_view bytes, std::size_t chunk, std::size_t lineCount) {
    Reading r;
    std::size_t lastLine = 0;
    const CReportReader::Sink sink = [&](const CReportEntry& e) {
        Require(e.m_nLine >= 1 && e.m_nLine <= lineCount, "line number inside the input");
        Require(e.m_nLine > lastLine, "entries in line order");
        lastLine = e.m_nLine;
        Require(!e.m_bFolder || e.m_nSize == 0, "a folder has no size");
        const std::string_view line = reader.CurrentLine();
        Require(Inside(e.m_strName, line) && Inside(e.m_strDate, line) && Inside(e.m_strTime, line) &&
                    Inside(e.m_strMedium, line),
                "fields are views of their line");
        Require(line.size() <= CReportReader::kLongestLine, "no line past the longest");
        r.text.append(std::to_string(e.m_nLine)).append(e.m_bFolder ? "D" : "F").append(e.m_strFolder).append("|");
        r.text.append(e.m_strName).append("|").append(std::to_string(e.m_nSize)).append(e.m_strDate).append("|");
        r.text.append(e.m_strTime).append("|").append(e.m_strMedium).append("\n");
    };
    if (chunk == 0) {
        r.ok = reader.Read(bytes, sink);
    } else {
        reader.Begin();
        bool fed = true;
        for (std::size_t at = 0; at < bytes.size() && fed; at += chunk) {
            fed = reader.Feed(bytes.substr(at, chunk), sink);
        }
        r.ok = fed && reader.Finish(sink);
    }
    Require(r.ok == reader.Reason().empty(), "a reason exactly when refused");
    Require(reader.Reason().find('\n') == std::string::npos, "the reason is one line");
    r.text.append(reader.Reason()).append(std::to_string(static_cast<int>(reader.Layout())));
    for (const auto& [tag, folder] : reader.LogLines()) {
        r.text.append(tag).append("\t").append(folder).append("\n");
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t chunk = size == 0 ? 1 : 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t lineCount = 1;
    for (const char c : bytes) {
        lineCount += c == '\n' ? 1 : 0;
    }
    const auto newline = bytes.find('\n');
    const std::string_view log = newline == std::string_view::npos ? std::string_view() : bytes.substr(0, newline);
    CReportReader reader;
    for (int round = 0; round < 2; ++round) {
        reader.SetLog(round == 0 ? std::string_view() : log);
        const Reading whole = ReadOnce(reader, bytes, 0, lineCount);
        const Reading chunked = ReadOnce(reader, bytes, chunk, lineCount);
        Require(whole.ok == chunked.ok && whole.text == chunked.text, "chunks read as the whole bytes");
        const std::size_t prefix = chunk * 7;
        Require(reader.Sniff(bytes.substr(0, prefix), prefix >= bytes.size()) || !whole.ok,
                "what the sniff refuses is refused");
        Require(reader.Sniff(bytes, true) == whole.ok, "a sniff of the whole file is a reading");
    }
    return 0;
}
