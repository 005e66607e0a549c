#include "CatalogueCommandLine.h"
#include "CliProcess.h"
#include "CommandLine.h"
#include "CompareCommandLine.h"
#include "FindCommandLine.h"
#include "OptionScanner.h"
#include "PlanCommandLine.h"
#include "TempTree.h"
#include "VerifyCommandLine.h"

#include <gtest/gtest.h>

namespace {

std::int64_t Time() {
    return LocalTime(2026, 3, 5, 14, 7, 9);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// A folder "tree" listed into a report that joined a catalogue of the test's own.
class CliOptionLayer : public testing::Test {
protected:
    CliOptionLayer() {
        m_tree.Folder("tree", Time());
        m_tree.File("tree/a.txt", 3, Time());
        m_tree.File("tree/-dash.txt", 5, Time());
        m_tree.Finish();
        const CCliResult report = Run({"--settings", Settings(), "-q", "--listing", "--tabbed",
                                       "-o", Report(), "--catalogue", Catalogue(), "tree"});
        EXPECT_EQ(report.status, 0) << report.err;
    }

    CCliResult Run(const std::vector<std::string>& args,
                   const std::string& workingFolder = "") const {
        CCliLaunch launch;
        launch.args = args;
        launch.workingFolder = workingFolder.empty() ? m_tree.Root() : workingFolder;
        launch.configHome = m_out.Path("xdg");
        return RunCli(launch);
    }
    std::string Settings() const { return m_out.Path("stowlist.INI"); }
    std::string Report() const { return m_out.Path("r.txt"); }
    std::string Catalogue() const { return m_out.Path("c.sqlite"); }

    CTempTree m_tree;
    CTempTree m_out;
};

// Every command reads its options alike: help, version, "--opt=value", "--", and the
// three usage errors, each with its exact status and first line.
TEST_F(CliOptionLayer, EveryCommandReadsOptionsAlike) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out; // first line of standard output
        std::string err; // first line of standard error
    };
    const std::string S = Settings(), C = Catalogue(), R = Report(), T = m_tree.Path("tree");
    const auto bad = [](const std::string& name, const std::string& reason) {
        return name + ": " + reason + " (" + name + " --help lists the options)";
    };
    const std::string dash =
        "\t" + UpperAscii(T) + "\t-DASH.TXT\t5\t03/05/26\t14:07:09\t" + R + ":7";
    const std::string version = std::string("stowlist-cli ") + STOWLIST_VERSION;
    const std::string run = "stowlist-cli", find = "stowlist-cli find",
                      cat = "stowlist-cli catalogue", plan = "stowlist-cli plan",
                      verify = "stowlist-cli verify", compare = "stowlist-cli compare";
    const std::vector<Case> cases = {
        {{"--version"}, 0, version, ""},
        {{"-h"}, 0, "Usage: stowlist-cli [OPTION]... PATH...", ""},
        {{"--media-type=floppy", "tree"},
         2,
         "",
         bad(run, "unknown media type 'floppy' (CD, DAT, DLT, JAZ or ZIP)")},
        {{"--settings", S, "-q", "--no-catalogue", "--", "--bogus"},
         3,
         "",
         "stowlist-cli: cannot read '--bogus': No such file or directory"},
        {{"--bogus=1", "tree"}, 2, "", bad(run, "unknown option '--bogus'")},
        {{"tree", "--catalogue"}, 2, "", bad(run, "option '--catalogue' needs a value")},
        {{"--quiet=1", "tree"}, 2, "", bad(run, "option '--quiet' takes no value")},

        {{"find", "--version"}, 0, version, ""},
        {{"find", "-h"}, 0, "Usage: stowlist-cli find [OPTION]... TEXT...", ""},
        {{"find", "--catalogue=" + C, "--medium=CD", "txt"},
         1,
         "",
         ""}, // the listing has no medium tag
        {{"find", "--catalogue=" + C, "--", "-dash"}, 0, dash, ""},
        {{"find", "--catalogue=" + C, "--bogus=1", "txt"},
         2,
         "",
         bad(find, "unknown option '--bogus'")},
        {{"find", "txt", "--catalogue"}, 2, "", bad(find, "option '--catalogue' needs a value")},
        {{"find", "--json=yes", "txt"}, 2, "", bad(find, "option '--json' takes no value")},

        {{"catalogue", "--version"}, 0, version, ""},
        {{"catalogue", "-h"},
         0,
         "Usage: stowlist-cli catalogue [--catalogue FILE] add|remove PATH...",
         ""},
        {{"catalogue", "list", "--catalogue=" + C}, 0, "ok\treport\t3\t" + R, ""},
        {{"catalogue", "--catalogue=" + C, "--", "--list"},
         2,
         "",
         bad(cat, "unknown action --list")},
        {{"catalogue", "-x", "list"}, 2, "", bad(cat, "unknown option '-x'")},
        {{"catalogue", "list", "--catalogue"},
         2,
         "",
         bad(cat, "option '--catalogue' needs a value")},
        {{"catalogue", "--help=1", "list"}, 2, "", bad(cat, "option '--help' takes no value")},

        {{"plan", "--version"}, 0, version, ""},
        {{"plan", "-h"}, 0, "Usage: stowlist-cli plan [OPTION]... PATH...", ""},
        {{"plan", "--settings=" + S, "--media-type=zip", "--capacity=1k", "--block-size=1", T},
         0,
         "ZIP01-01: 1 items, 9 bytes used, 991 bytes free",
         ""},
        {{"plan", "--settings", S, "--", "-dash.txt"},
         0,
         "CD01-01: 1 items, 2048 bytes used, 737277952 bytes free",
         ""},
        {{"plan", "--bogus=1", "tree"}, 2, "", bad(plan, "unknown option '--bogus'")},
        {{"plan", "tree", "--capacity"}, 2, "", bad(plan, "option '--capacity' needs a value")},
        {{"plan", "--json=1", "tree"}, 2, "", bad(plan, "option '--json' takes no value")},

        {{"verify", "--version"}, 0, version, ""},
        {{"verify", "-h"}, 0, "Usage: stowlist-cli verify [OPTION]... REPORT PATH...", ""},
        {{"verify", "--settings=" + S, "--catalogue=" + C, R, T},
         0,
         "Checked 3 entries: 3 ok, 0 changed, 0 missing, 0 new, 0 moved, 0 corrupt, 0 unreadable",
         ""},
        {{"verify", "--", "--all"}, 2, "", bad(verify, "verify needs a PATH to check")},
        {{"verify", "--bogus=1", R, "tree"}, 2, "", bad(verify, "unknown option '--bogus'")},
        {{"verify", R, "tree", "--manifest"},
         2,
         "",
         bad(verify, "option '--manifest' needs a value")},
        {{"verify", "--all=1", R, "tree"}, 2, "", bad(verify, "option '--all' takes no value")},

        {{"compare", "--version"}, 0, version, ""},
        {{"compare", "-h"}, 0, "Usage: stowlist-cli compare [OPTION]... OLD NEW", ""},
        {{"compare", "--catalogue=" + C, R, R},
         0,
         "Compared 3 entries: 3 ok, 0 changed, 0 missing, 0 new, 0 moved, 0 corrupt",
         ""},
        {{"compare", "--", "--all", R}, 3, "", "stowlist-cli compare: " + T + "/--all: No such file or directory"},
        {{"compare", "--bogus=1", R, R}, 2, "", bad(compare, "unknown option '--bogus'")},
        {{"compare", R, R, "--old-log"}, 2, "", bad(compare, "option '--old-log' needs a value")},
        {{"compare", "--folders=1", R, R}, 2, "", bad(compare, "option '--folders' takes no value")},
        {{"compare", R}, 2, "", bad(compare, "compare needs two reports, OLD and NEW")},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& arg : c.args) {
            joined += " " + arg;
        }
        const CCliResult result = Run(c.args, m_tree.Path("tree"));
        EXPECT_EQ(result.status, c.status) << joined << "\n" << result.err;
        EXPECT_EQ(FirstLine(result.out), c.out) << joined;
        EXPECT_EQ(FirstLine(result.err), c.err) << joined;
    }
}

// Each option is named in its command's --help, its letter too.
TEST(OptionLayer, HelpNamesEveryOption) {
    for (const CCommandSpec* command :
         {&CCommandLineParser::Spec(), &CFindCommandLineParser::Spec(),
          &CCatalogueCommandLineParser::Spec(), &CPlanCommandLineParser::Spec(),
          &CVerifyCommandLineParser::Spec(), &CCompareCommandLineParser::Spec()}) {
        const std::string usage = COptionScanner::Usage(*command);
        for (const COptionSpec& option : command->options) {
            EXPECT_NE(usage.find(std::string(option.name)), std::string::npos)
                << command->name << " " << option.name;
            if (option.alias != 0) {
                EXPECT_NE(usage.find("-" + std::string(1, option.alias) + ", " +
                                     std::string(option.name)),
                          std::string::npos)
                    << command->name << " " << option.name;
            }
        }
        for (const char* everyCommands : {"-h, --help", "--version"}) {
            EXPECT_NE(usage.find(everyCommands), std::string::npos) << command->name;
        }
    }
}

// Paths in warnings and errors come from command lines, reports and folders:
// no command sends their control characters to the terminal. A catalogue
// that cannot be looked at is a failure, not "nothing found".
TEST_F(CliOptionLayer, MessagesAndFailuresAlikeInEveryCommand) {
    m_out.WriteText("bad\x1b[2J.sqlite",
                    "not a catalogue at all, and long enough to be read as one................"
                    "................................................................");
    const std::string badCatalogue = m_out.Path("bad\x1b[2J.sqlite");
    const std::string shownBad = m_out.Path("bad?[2J.sqlite");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"find", "--catalogue", badCatalogue, "txt"},
         3,
         "stowlist-cli find: " + shownBad + ": file is not a database\n"},
        {{"catalogue", "--catalogue", badCatalogue, "list"},
         3,
         "stowlist-cli catalogue: " + shownBad + ": file is not a database\n"},
        {{"catalogue", "--catalogue", Catalogue(), "add", m_out.Path("no\x1b[2Jsuch")},
         3,
         "stowlist-cli catalogue: " + m_out.Path("no?[2Jsuch") + ": No such file or directory\n"},
        {{"find", "--catalogue", Report() + "/c.sqlite", "txt"},
         3,
         "stowlist-cli find: cannot read '" + Report() + "/c.sqlite': Not a directory\n"},
        {{"find", "--catalogue", m_out.Path("none/c.sqlite"), "txt"}, 1, ""}, // no catalogue yet
    };
    for (const Case& c : cases) {
        const CCliResult result = Run(c.args);
        EXPECT_EQ(result.status, c.status) << c.args[2];
        EXPECT_EQ(result.out, "") << c.args[2];
        EXPECT_EQ(result.err, c.err) << c.args[2];
    }
}

// One JSON writer: plan --json writes names as find --json does, bytes that
// are not UTF-8 read as Windows-1252 and DEL escaped.
TEST_F(CliOptionLayer, PlanJsonEscapesAsFindJson) {
    m_tree.Folder("odd", Time());
    m_tree.File("odd/b\x7f\xe9.txt", 4, Time());
    m_tree.Finish();
    const CCliResult result =
        Run({"plan", "--settings", Settings(), "--json", "odd/b\x7f\xe9.txt"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(
        result.out,
        "{\"tag\":\"CD01-01\",\"media_type\":\"CD\",\"medium\":1,\"used\":2048,\"free\":737277952,"
        "\"items\":[{\"path\":\"b\\u007f\xc3\xa9.txt\",\"whole\":true}]}\n");
}

} // namespace
