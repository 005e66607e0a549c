// Arbitrary argument lists (arguments separated by NUL bytes) through the
// command-line parsers of the report run and of the plan, verify and
// compare commands: each must always come back with a coherent answer.
#include "ArchiveSettings.h"
#include "CommandLine.h"
#include "CompareCommandLine.h"
#include "PlanCommandLine.h"
#include "VerifyCommandLine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty()) {
        args.push_back(current);
    }
    const CCommandLine line = CCommandLineParser::Parse(args);
    switch (line.action) {
    case CliAction::BadUsage:
        Require(!line.error.empty(), "bad usage says why");
        Require(line.error.find('\n') == std::string::npos, "the reason is one line");
        break;
    case CliAction::Run:
        Require(!line.paths.empty(), "a run has paths");
        Require(line.paths.size() <= args.size(), "paths come from the arguments");
        for (const auto& [option, value] : line.options) {
            Require(static_cast<int>(option) >= 0 && static_cast<int>(option) < kOptionCount, "known option");
            (void)value;
        }
        if (line.archive.mediaNumber) {
            Require(*line.archive.mediaNumber >= 0, "numbers are whole numbers");
        }
        if (line.archive.archiveNumber) {
            Require(*line.archive.archiveNumber >= 0, "numbers are whole numbers");
        }
        if (line.archive.mediaType) {
            Require(CArchiveSettings::FindMediaType(*line.archive.mediaType) >= 0 &&
                        std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(
                            CArchiveSettings::FindMediaType(*line.archive.mediaType))]) == *line.archive.mediaType,
                    "a media type is spelt as the list spells it");
        }
        break;
    case CliAction::Help:
    case CliAction::Version:
        break;
    }

    const CPlanCommandLine plan = CPlanCommandLineParser::Parse(args);
    if (!plan.error.empty()) {
        Require(plan.error.find('\n') == std::string::npos, "the plan's reason is one line");
    } else if (!plan.help) {
        Require(!plan.paths.empty() && plan.paths.size() <= args.size(), "a plan has paths from the arguments");
        if (plan.mediaType) {
            Require(CArchiveSettings::FindMediaType(*plan.mediaType) >= 0, "a plan's media type is one of the five");
        }
        if (plan.mediaNumber) {
            Require(*plan.mediaNumber >= 0, "a plan's medium number is a whole number");
        }
        for (const auto* path : {&plan.output, &plan.log, &plan.settings, &plan.catalogue, &plan.pathLists}) {
            Require(!path->has_value() || !(*path)->empty(), "a named file is never empty");
        }
    }
    const CVerifyCommandLine verify = CVerifyCommandLineParser::Parse(args);
    if (!verify.error.empty()) {
        Require(verify.error.find('\n') == std::string::npos, "the check's reason is one line");
    } else if (!verify.help) {
        Require(!verify.paths.empty() && verify.paths.size() < args.size(), "a check has a report and paths");
        Require(!(verify.manifest && !verify.checksums), "a manifest is never given with checksums off");
    }
    const CCompareCommandLine compare = CCompareCommandLineParser::Parse(args);
    if (!compare.error.empty()) {
        Require(compare.error.find('\n') == std::string::npos, "the comparison's reason is one line");
    } else if (!compare.help) {
        Require(!compare.oldReport.empty() && !compare.newReport.empty(), "a comparison has two reports");
        Require(compare.checksums || (!compare.oldManifest && !compare.newManifest),
                "a manifest is never given with checksums off");
    }
    return 0;
}
