// Arbitrary argument lists (arguments separated by NUL bytes) through the
// option scanner that every command shares and the command lines of the
// report run and of the find, copies, catalogue, plan, verify and compare
// commands: each must always come back with a coherent answer.
#include "ArchiveSettings.h"
#include "CatalogueCommandLine.h"
#include "CommandLine.h"
#include "CompareCommandLine.h"
#include "CopiesCommandLine.h"
#include "FindCommandLine.h"
#include "OptionScanner.h"
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

// What every command line shares: bad usage says why on one line, anything
// else has no reason; help and version need no operands.
void RequireAnswer(CliAction action, const std::string& error, const char* command) {
    if (action == CliAction::BadUsage) {
        Require(!error.empty(), command);
        Require(error.find('\n') == std::string::npos && error.find('\x1b') == std::string::npos,
                command);
    } else {
        Require(error.empty(), command);
    }
}

// The scanner on its own: every option it hands over is one of the command's,
// with a value exactly when it takes one, and the operands are arguments.
void ScanEveryCommand(const std::vector<std::string>& args) {
    for (const CCommandSpec* command :
         {&CCommandLineParser::Spec(), &CFindCommandLineParser::Spec(),
          &CCatalogueCommandLineParser::Spec(), &CPlanCommandLineParser::Spec(),
          &CVerifyCommandLineParser::Spec()}) {
        std::size_t taken = 0;
        const CScan scan = COptionScanner::Scan(
            *command, args, [&](const COptionSpec& option, const std::string& value) {
                Require(&option >= command->options.data() &&
                            &option < command->options.data() + command->options.size(),
                        "a scanned option is the command's");
                Require(option.takesValue != value.empty(),
                        "a value exactly when the option takes one");
                ++taken;
                return std::string();
            });
        RequireAnswer(scan.action, scan.error, "the scanner's answer");
        // A cluster such as "-qq" holds several options in one argument.
        std::size_t letters = 0;
        for (const std::string& arg : args) {
            letters += arg.size();
        }
        Require(scan.operands.size() <= args.size() && taken <= letters,
                "options and operands come from the arguments");
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
    ScanEveryCommand(args);
    const CCommandLine line = CCommandLineParser::Parse(args);
    RequireAnswer(line.action, line.error, "the report run's answer");
    switch (line.action) {
    case CliAction::BadUsage:
        Require(!line.error.empty(), "bad usage says why");
        Require(line.error.find('\n') == std::string::npos, "the reason is one line");
        break;
    case CliAction::Run:
        Require(!line.paths.empty(), "a run has paths");
        Require(line.paths.size() <= args.size(), "paths come from the arguments");
        for (const auto& [option, value] : line.options) {
            Require(static_cast<int>(option) >= 0 && static_cast<int>(option) < kOptionCount,
                    "known option");
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
                            CArchiveSettings::FindMediaType(*line.archive.mediaType))]) ==
                            *line.archive.mediaType,
                    "a media type is spelt as the list spells it");
        }
        break;
    case CliAction::Help:
    case CliAction::Version:
        break;
    }

    const CPlanCommandLine plan = CPlanCommandLineParser::Parse(args);
    RequireAnswer(plan.action, plan.error, "the plan's answer");
    if (plan.action == CliAction::Run) {
        Require(!plan.paths.empty() && plan.paths.size() <= args.size(),
                "a plan has paths from the arguments");
        if (plan.mediaType) {
            Require(CArchiveSettings::FindMediaType(*plan.mediaType) >= 0,
                    "a plan's media type is one of the five");
        }
        if (plan.mediaNumber) {
            Require(*plan.mediaNumber >= 0, "a plan's medium number is a whole number");
        }
        for (const auto* path :
             {&plan.output, &plan.log, &plan.settings, &plan.catalogue, &plan.pathLists}) {
            Require(!path->has_value() || !(*path)->empty(), "a named file is never empty");
        }
    }
    const CVerifyCommandLine verify = CVerifyCommandLineParser::Parse(args);
    RequireAnswer(verify.action, verify.error, "the check's answer");
    if (verify.action == CliAction::Run) {
        Require(!verify.paths.empty() && verify.paths.size() < args.size(),
                "a check has a report and paths");
        Require(!(verify.manifest && !verify.checksums),
                "a manifest is never given with checksums off");
    }
    const CFindCommandLine find = CFindCommandLineParser::Parse(args);
    RequireAnswer(find.action, find.error, "find's answer");
    if (find.action == CliAction::Run) {
        Require(find.query.m_strGlob.empty() ? !find.query.m_arrTexts.empty()
                                             : find.query.m_arrTexts.empty(),
                "find has texts or one pattern");
        Require(!find.catalogue || !find.catalogue->empty(), "a named catalogue is never empty");
    }
    const CCopiesCommandLine copies = CCopiesCommandLineParser::Parse(args);
    RequireAnswer(copies.action, copies.error, "copies' answer");
    if (copies.action == CliAction::Run) {
        Require(!(copies.query.m_nFewerThan && copies.query.m_nAtLeast), "one count bound at most");
        Require(copies.query.m_nFewerThan.value_or(1) > 0 && copies.query.m_nAtLeast.value_or(1) > 0,
                "count bounds above 0");
    }
    const CCatalogueCommandLine catalogue = CCatalogueCommandLineParser::Parse(args);
    RequireAnswer(catalogue.action, catalogue.error, "the catalogue's answer");
    if (catalogue.action == CliAction::Run) {
        const bool withPaths = catalogue.verb == "add" || catalogue.verb == "remove";
        Require(withPaths || catalogue.verb == "refresh" || catalogue.verb == "compact" ||
                    catalogue.verb == "list",
                "a known action");
        Require(withPaths != catalogue.paths.empty(), "paths exactly for add and remove");
    }
    const CCompareCommandLine compare = CCompareCommandLineParser::Parse(args);
    RequireAnswer(compare.action, compare.error, "the comparison's answer");
    if (compare.action == CliAction::Run) {
        Require(!compare.oldReport.empty() && !compare.newReport.empty(), "a comparison has two reports");
        Require(compare.checksums || (!compare.oldManifest && !compare.newManifest),
                "a manifest is never given with checksums off");
    }
    return 0;
}
