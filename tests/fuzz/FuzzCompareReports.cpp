// Arbitrary bytes as two reports (split at the first NUL byte; after a
// second, the log of both) compared: the comparison reads them or refuses
// them with a one-line reason, never crashes, and its account adds up.
#include "ReportComparer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void WriteFile(const std::string& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Require(fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()),
            "the scratch file is written");
    close(fd);
}

const std::string& Scratch() {
    static const std::string root = [] {
        char folder[] = "/tmp/stowlist-fuzz-compare-XXXXXX";
        Require(mkdtemp(folder) != nullptr, "the scratch folder is made");
        return std::string(folder);
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\0');
    const std::string_view oldBytes = input.substr(0, first);
    input = first == std::string_view::npos ? std::string_view() : input.substr(first + 1);
    const std::size_t second = input.find('\0');
    CCompareRequest request;
    request.m_old.m_strReportPath = Scratch() + "/old.txt";
    request.m_new.m_strReportPath = Scratch() + "/new.txt";
    WriteFile(request.m_old.m_strReportPath, oldBytes);
    WriteFile(request.m_new.m_strReportPath, input.substr(0, second));
    if (second != std::string_view::npos) {
        request.m_old.m_logText = request.m_new.m_logText = std::string(input.substr(second + 1));
    }
    request.m_bIncludeOk = true;
    request.m_bFolderTotals = true;
    CReportComparer comparer(request);
    const CReportComparer::Outcome outcome = comparer.Run();
    Require(outcome != CReportComparer::Outcome::Cancelled, "nothing cancels the comparison");
    if (outcome == CReportComparer::Outcome::Unreadable) {
        Require(!comparer.Error().empty() && comparer.Error().find('\n') == std::string::npos,
                "the reason is one line");
        return 0;
    }
    Require(comparer.Lines().size() == comparer.Counts().Total(), "one line per entry counted");
    for (const CVerifyLine& line : comparer.Lines()) {
        Require(VerifyText::Line(line).find('\n') == std::string::npos, "a line is one line");
    }
    for (const CFolderTotals& folder : comparer.Folders()) {
        Require(folder.m_nOldFiles != folder.m_nNewFiles || folder.m_nOldBytes != folder.m_nNewBytes,
                "a folder is listed only when its totals differ");
    }
    return 0;
}
