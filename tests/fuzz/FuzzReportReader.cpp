// Arbitrary bytes through the report reader, once alone and once with the
// first line taken as an archive log: it must refuse or read, never crash,
// and every entry it gives must lie inside the input with a line number
// that exists.
#include "ReportReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool Inside(std::string_view part, std::string_view whole, std::string_view log) {
    const auto within = [&](std::string_view w) {
        return part.empty() || (part.data() >= w.data() && part.data() + part.size() <= w.data() + w.size());
    };
    return within(whole) || within(log);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
        std::size_t lastLine = 0;
        const bool ok = reader.Read(bytes, [&](const CReportEntry& e) {
            Require(e.m_nLine >= 1 && e.m_nLine <= lineCount, "line number inside the input");
            Require(e.m_nLine > lastLine, "entries in line order");
            lastLine = e.m_nLine;
            Require(!e.m_bFolder || e.m_nSize == 0, "a folder has no size");
            Require(Inside(e.m_strName, bytes, {}) && Inside(e.m_strDate, bytes, {}) &&
                        Inside(e.m_strTime, bytes, {}) && Inside(e.m_strMedium, bytes, {}),
                    "fields are views of the input");
        });
        Require(ok == reader.Reason().empty(), "a reason exactly when refused");
        Require(reader.Reason().find('\n') == std::string::npos, "the reason is one line");
    }
    return 0;
}
