#include "AbsolutePath.h"
#include "CommandLine.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

// A parsed command line as one comparable text.
std::string Describe(const CCommandLine& c) {
    std::ostringstream text;
    switch (c.action) {
    case CliAction::Run:
        text << "run";
        break;
    case CliAction::Help:
        return "help";
    case CliAction::Version:
        return "version";
    case CliAction::BadUsage:
        return "bad: " + c.error;
    }
    for (const std::string& path : c.paths) {
        text << " [" << path << "]";
    }
    if (c.output) {
        text << " out=" << *c.output;
    }
    if (c.settings) {
        text << " settings=" << *c.settings;
    }
    if (c.log) {
        text << " log=" << *c.log;
    }
    for (const auto& [option, value] : c.options) {
        text << " opt" << static_cast<int>(option) << "=" << value;
    }
    if (c.archive.mediaType) {
        text << " type=" << *c.archive.mediaType;
    }
    if (c.archive.mediaNumber) {
        text << " medium=" << *c.archive.mediaNumber;
    }
    if (c.archive.archiveNumber) {
        text << " archive=" << *c.archive.archiveNumber;
    }
    if (c.archive.multipleArchive) {
        text << " multiple=" << *c.archive.multipleArchive;
    }
    if (c.quiet) {
        text << " quiet";
    }
    if (c.catalogue) {
        text << " catalogue=" << *c.catalogue;
    }
    if (c.noCatalogue) {
        text << " no-catalogue";
    }
    return text.str();
}

struct ParseCase {
    std::vector<std::string> args;
    std::string parsed;
};

TEST(CommandLine, ParsesOptionsAndPaths) {
    const int processType = static_cast<int>(Option::ProcessType);
    const int outputFormat = static_cast<int>(Option::OutputFormat);
    const std::vector<ParseCase> cases = {
        {{"media"}, "run [media]"},
        {{"a", "b/", "-"}, "run [a] [b/] [-]"},
        {{"-o", "r.txt", "a"}, "run [a] out=r.txt"},
        {{"-or.txt", "a"}, "run [a] out=r.txt"},
        {{"-qo", "r.txt", "a"}, "run [a] out=r.txt quiet"},
        {{"--output=r.txt", "a"}, "run [a] out=r.txt"},
        {{"--output", "r.txt", "-o", "-", "a"}, "run [a]"},
        {{"a", "--settings", "s.INI", "--log=l.txt"}, "run [a] settings=s.INI log=l.txt"},
        {{"--", "-o", "--help"}, "run [-o] [--help]"},
        {{"--archive", "--listing", "--padded", "a"},
         "run [a] opt" + std::to_string(processType) + "=0 opt" + std::to_string(processType) + "=1 opt" +
             std::to_string(outputFormat) + "=1"},
        {{"--media-type", "dat", "a"}, "run [a] type=DAT"},
        {{"--media-type=zIp", "a"}, "run [a] type=ZIP"},
        {{"--media-number", "007", "--archive-number=2147483647", "a"}, "run [a] medium=7 archive=2147483647"},
        {{"--multiple-archives", "--single-archive", "a"}, "run [a] multiple=0"},
        {{"--quiet", "a"}, "run [a] quiet"},
        {{"--catalogue", "c.sqlite", "--no-catalogue", "a"}, "run [a] catalogue=c.sqlite no-catalogue"},
        {{"--catalogue=c.sqlite", "a"}, "run [a] catalogue=c.sqlite"},
        {{"--help"}, "help"},
        {{"-h", "a"}, "help"},
        {{"--version"}, "version"},
        {{}, "bad: no PATH given"},
        {{"-o", "r.txt"}, "bad: no PATH given"},
        {{"--bogus", "--help"}, "bad: unknown option '--bogus'"},
        {{"--help", "-x"}, "bad: unknown option '-x'"},
        {{"-qz", "a"}, "bad: unknown option '-z'"},
        {{"--out", "r.txt", "a"}, "bad: unknown option '--out'"},
        {{"a", "-o"}, "bad: option '-o' needs a value"},
        {{"--output=", "a"}, "bad: option '--output' needs a value"},
        {{"--log", "", "a"}, "bad: option '--log' needs a value"},
        {{"a", "--catalogue"}, "bad: option '--catalogue' needs a value"},
        {{"--no-catalogue=1", "a"}, "bad: option '--no-catalogue' takes no value"},
        {{"--quiet=yes", "a"}, "bad: option '--quiet' takes no value"},
        {{"--bogus=1", "a"}, "bad: unknown option '--bogus'"},
        {{"--version=1"}, "bad: option '--version' takes no value"},
        {{"--outputs=r.txt", "a"}, "bad: unknown option '--outputs'"},
        {{"a", "--", "-q", "--", "-h"}, "run [a] [-q] [--] [-h]"},
        {{"--media-type", "floppy", "a"}, "bad: unknown media type 'floppy' (CD, DAT, DLT, JAZ or ZIP)"},
        {{"--media-number", "x1", "a"}, "bad: option '--media-number' needs a whole number, not 'x1'"},
        {{"--archive-number", "-3", "a"}, "bad: option '--archive-number' needs a whole number, not '-3'"},
        {{"--archive-number", "2147483648", "a"},
         "bad: option '--archive-number' needs a whole number, not '2147483648'"},
        {{"--media-number", "+1", "a"}, "bad: option '--media-number' needs a whole number, not '+1'"},
        // An argument quoted in the reason cannot break it into lines or send terminal controls.
        {{"--lo\n\x1b[2J", "a"}, "bad: unknown option '--lo??[2J'"},
    };
    for (const ParseCase& c : cases) {
        std::string joined;
        for (const auto& arg : c.args) {
            joined += "<" + arg + ">";
        }
        EXPECT_EQ(Describe(CCommandLineParser::Parse(c.args)), c.parsed) << joined;
    }
}

// Whatever it is given, the parser answers: a run with paths, help, version
// or bad usage with a message.
TEST(CommandLine, AnyArgumentsGiveAnAnswer) {
    const std::vector<std::string> tokens = {
        "-", "--", "-o", "-q", "-h", "-oq", "--output", "--output=", "--log", "--settings", "--media-type",
        "cd", "--media-number", "12", "99999999999", "--archive-number=", "--help", "--version", "--padded",
        "x", "", "-\xff", "--\xff", "=", "--=", "-o=", "--multiple-archives=1"};
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::string> args(random() % 6);
        for (std::string& arg : args) {
            arg = tokens[random() % tokens.size()];
        }
        const CCommandLine parsed = CCommandLineParser::Parse(args);
        if (parsed.action == CliAction::BadUsage) {
            EXPECT_FALSE(parsed.error.empty());
        } else if (parsed.action == CliAction::Run) {
            EXPECT_FALSE(parsed.paths.empty());
        }
    }
}

struct PathCase {
    std::string path;
    std::string workingFolder;
    std::string absolute;
};

TEST(AbsolutePath, ByNameWithoutTheFileSystem) {
    const std::vector<PathCase> cases = {
        {"x", "/w", "/w/x"},
        {"x/", "/w", "/w/x/"},
        {"x//y///", "/w", "/w/x/y/"},
        {".", "/w", "/w"},
        {"./", "/w", "/w/"},
        {"..", "/w/v", "/w"},
        {"a/../b", "/w", "/w/b"},
        {"no-such-link/..", "/w", "/w"},
        {"../../..", "/w", "/"},
        {"../../../", "/w", "/"},
        {"/a//b/./c/", "/w", "/a/b/c/"},
        {"/", "/w", "/"},
        {"/..", "/w", "/"},
        {"x", "/", "/x"},
        {"", "/w", ""},
        {"-", "/w", "/w/-"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(AbsolutePath::Make(c.path, c.workingFolder), c.absolute) << c.path << " in " << c.workingFolder;
    }
}

} // namespace
