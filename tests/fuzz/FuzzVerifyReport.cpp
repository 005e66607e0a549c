// Arbitrary bytes as a report (and, after a NUL byte, as its archive log)
// checked against a small real tree: the check reads them or refuses them
// with a one-line reason, never crashes, and its account adds up.
#include "MediumVerifier.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
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

// V/a/f1, V/a/.h, V/b/g1 and V/f0 under a scratch folder made once.
const std::string& Scratch() {
    static const std::string root = [] {
        char folder[] = "/tmp/stowlist-fuzz-verify-XXXXXX";
        Require(mkdtemp(folder) != nullptr, "the scratch folder is made");
        const std::string base = folder;
        for (const char* sub : {"/V", "/V/a", "/V/b"}) {
            mkdir((base + sub).c_str(), 0755);
        }
        for (const char* file : {"/V/a/f1", "/V/a/.h", "/V/b/g1", "/V/f0"}) {
            WriteFile(base + file, file);
        }
        return base;
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string report = Scratch() + "/report.txt";
    WriteFile(report, input.substr(0, split));

    CVerifyRequest request;
    request.m_strReportPath = report;
    request.m_arrPaths = {Scratch() + ((size % 2) == 0 ? "/V" : "/V/")};
    if (split != std::string_view::npos) {
        request.m_logText = std::string(input.substr(split + 1));
    }
    request.m_bIncludeOk = true;
    CMediumVerifier verifier(request);
    const VerifyOutcome outcome = verifier.Run();
    Require(outcome != VerifyOutcome::Cancelled, "nothing cancels the check");
    if (outcome == VerifyOutcome::Unreadable) {
        Require(!verifier.Error().empty() && verifier.Error().find('\n') == std::string::npos,
                "the reason is one line");
        return 0;
    }
    Require(verifier.Lines().size() == verifier.Counts().Total(), "one line per entry counted");
    for (const CVerifyLine& line : verifier.Lines()) {
        Require(line.m_strPath.find('\n') == std::string::npos, "a path stays on its line");
        Require(VerifyText::Line(line).find('\n') == std::string::npos, "a line is one line");
    }
    return 0;
}
