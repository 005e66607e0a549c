#include "CliProcess.h"
#include "TempTree.h"

#include <algorithm>
#include <dirent.h>
#include <gtest/gtest.h>

#ifndef STOWLIST_VERSION
#error "STOWLIST_VERSION must come from the build"
#endif

namespace {

// A function, not a constant: the test time zone is set in main.
std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); } // "03/05/26", "14:07:09" in C.UTF-8

std::string Spaces(std::size_t n) { return std::string(n, ' '); }

std::string FolderLine(const std::string& name) { return name + "\t<FOLDER>\t03/05/26\t14:07:09\t" + name; }
std::string FileLine(const std::string& name, int size) {
    return name + "\t" + std::to_string(size) + "\t03/05/26\t14:07:09\t" + name;
}

// A real tree to catalogue, a settings folder of its own, and a folder for
// the reports, outside the tree.
class Cli : public testing::Test {
protected:
    Cli() {
        m_tree.Folder("A", Time());
        m_tree.Folder("A/B", Time());
        m_tree.File("A/f.txt", 1234, Time());
        m_tree.Folder("ArcA", Time());
        m_tree.File("ArcA/c.txt", 7, Time());
        m_tree.Folder("ArcB", Time());
        m_tree.File("ArcB/d.txt", 8, Time());
        m_tree.Folder("Empty", Time());
        m_tree.Finish();
    }

    // Runs in the tree's root with the test's own settings file.
    CCliResult Run(std::vector<std::string> args, rlim_t fileSizeLimit = RLIM_INFINITY) {
        args.insert(args.begin(), {"--settings", Settings()});
        CCliLaunch launch;
        launch.args = std::move(args);
        launch.workingFolder = m_tree.Root();
        launch.configHome = m_config.Path("xdg");
        launch.fileSizeLimit = fileSizeLimit;
        return RunCli(launch);
    }
    std::string Settings() const { return m_config.Path("stowlist.INI"); }
    std::string SettingsText() const { return CTempTree::ReadFile(Settings()); }
    std::string Out(const std::string& name) const { return m_out.Path(name); }
    std::string Root() const { return UpperAscii(m_tree.Root()); }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(m_out.Root().c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") { // temporary files begin with "." too
                    names.push_back(entry->d_name);
                }
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Expects a run that wrote its report to `name` and nothing on standard error.
    std::string Report(const CCliResult& result, const std::string& name) const {
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, "");
        return CTempTree::ReadFile(Out(name));
    }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_out;
};

struct ListingCase {
    const char* name;
    std::vector<std::string> args; // before the report option; PATHs relative to the tree
    std::string report;            // "{R}": the tree's root in upper case
};

void PrintTo(const ListingCase& c, std::ostream* out) { *out << c.name; }

class CliListing : public Cli, public testing::WithParamInterface<ListingCase> {};

TEST_P(CliListing, WholeReportBytes) {
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"-o", Out("report.txt")});
    const std::string before = SettingsText();
    std::string expected = GetParam().report;
    for (auto at = expected.find("{R}"); at != std::string::npos; at = expected.find("{R}")) {
        expected.replace(at, 3, Root());
    }
    EXPECT_EQ(Report(Run(args), "report.txt"), expected);
    EXPECT_EQ(SettingsText(), before); // a listing never writes the settings
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"report.txt"});
}

const std::string kB = FolderLine("B");
const std::string kF = FileLine("F.TXT", 1234);

INSTANTIATE_TEST_SUITE_P(
    Layouts, CliListing,
    testing::Values(
        ListingCase{"TwoRecords", {"A/B", "A/f.txt"},
                    "{R}/A\r\n\r\n" + kB + "\r\n" + kF +
                        "\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\nSummary: 2 Folder(s), 1 File(s)\t1234 Bytes"},
        ListingCase{"TwoRecordsWithoutEmptyFolders", {"--exclude-empty", "A/B", "A/f.txt"},
                    "{R}/A\r\n\r\n" + kB + "\r\n" + kF + "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes"},
        ListingCase{"FoldersOnly", {"--dirs-only", "A/B", "A/f.txt"},
                    "{R}/A\r\n{R}/A/B\r\n\r\nSummary: 2 Folder(s), 0 File(s)\t0 Bytes"},
        ListingCase{"FoldersOnlyWithoutSubFolders", {"--dirs-only", "--no-subfolders", "A/B", "A/f.txt"},
                    "{R}/A/B\r\n\r\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes"},
        ListingCase{"PaddedFoldersOnlyWithoutSubFolders",
                    {"--padded", "--dirs-only", "--no-subfolders", "A/B", "A/f.txt"},
                    "{R}/A/B\r\n\r\nSummary: 1 Folder(s), 0 File(s)  " + Spaces(19) + "0 Bytes"},
        ListingCase{"Padded",
                    {"--padded", "A/f.txt"},
                    "{R}/A\r\n\r\nF.TXT" + Spaces(10) + "  " + Spaces(16) + "1234  03/05/26  " + Spaces(3) +
                        "14:07:09  F.TXT\r\n\r\nSummary: 1 Folder(s), 1 File(s)  " + Spaces(16) + "1234 Bytes"},
        ListingCase{"WholeMedium", {"A/"},
                    "{R}/A/\r\n\r\n" + kB + "\r\n" + kF +
                        "\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\nSummary: 2 Folder(s), 1 File(s)\t1234 Bytes"},
        ListingCase{"WholeMediumIgnoresLaterMissingPaths", {"./A/", "Missing", "Gone/"},
                    "{R}/A/\r\n\r\n" + kB + "\r\n" + kF +
                        "\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\nSummary: 2 Folder(s), 1 File(s)\t1234 Bytes"},
        ListingCase{"PathsMadeAbsoluteByName", {"Empty/../A/./f.txt"},
                    "{R}/A\r\n\r\n" + kF + "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes"},
        ListingCase{"GroupingOff", {"--no-grouping", "--listing", "A/f.txt"},
                    "{R}/A\r\n\r\n" + kF + "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes"}),
    [](const testing::TestParamInfo<ListingCase>& info) { return std::string(info.param.name); });

TEST_F(Cli, StandardOutputGetsTheSameBytes) {
    const CCliResult toFile = Run({"A", "-o", Out("report.txt")});
    const CCliResult toOutput = Run({"-q", "A"});
    EXPECT_EQ(toOutput.status, 0);
    EXPECT_EQ(toOutput.err, "");
    EXPECT_EQ(toOutput.out, Report(toFile, "report.txt"));
    EXPECT_EQ(Run({"A", "-o", "-"}).out, toOutput.out);
}

TEST_F(Cli, StoredOptionsApplyAndOverridesAreNotWrittenBack) {
    m_config.WriteText("stowlist.INI", "[Options]\r\nOutputFormat=1\r\nExcludeHiddenSystemInfo=0\r\n");
    m_tree.File("A/.hidden", 5, Time());
    const std::string padded = Report(Run({"A/f.txt", "A/.hidden", "-o", Out("padded.txt")}), "padded.txt");
    EXPECT_NE(padded.find("\r\n.HIDDEN" + Spaces(8) + "  "), std::string::npos) << padded;
    const std::string tabbed = Report(
        Run({"--tabbed", "--exclude-hidden", "A/f.txt", "A/.hidden", "-o", Out("tabbed.txt")}), "tabbed.txt");
    EXPECT_EQ(tabbed, Root() + "/A\r\n\r\n" + kF + "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes");
    EXPECT_EQ(SettingsText(), "[Options]\r\nOutputFormat=1\r\nExcludeHiddenSystemInfo=0\r\n");
}

// Record paths and lines in the byte order of their texts. After "N" the
// names continue with a space (0x20), a hyphen (0x2D), a full stop (0x2E),
// "/" (0x2F, the sub-folders of N), a digit (0x31), an underscore (0x5F) or a
// letter (folded: "b" is 0x62). In a line, the tab (0x09) after the name
// comes before all of them.
TEST_F(Cli, SortOrderFollowsTheBytes) {
    for (const char* folder : {"S", "S/N", "S/N/B", "S/N1", "S/N B", "S/N-1", "S/N.1", "S/N_1", "S/NB"}) {
        m_tree.Folder(folder, Time());
    }
    m_tree.Finish();
    const CCliResult result =
        Run({"S/NB", "S/N_1", "S/N1", "S/N.1", "S/N-1", "S/N B", "S/N", "-o", Out("sorted.txt")});
    const std::string s = Root() + "/S";
    const std::string empty = "\r\n\r\nFOLDER IS EMPTY\r\n";
    EXPECT_EQ(Report(result, "sorted.txt"),
              s + "\r\n\r\n" + FolderLine("N") + "\r\n" + FolderLine("N B") + "\r\n" + FolderLine("N-1") + "\r\n" +
                  FolderLine("N.1") + "\r\n" + FolderLine("N1") + "\r\n" + FolderLine("N_1") + "\r\n" +
                  FolderLine("NB") + "\r\n" +                                            //
                  "\r\n" + s + "/N\r\n\r\n" + FolderLine("B") + "\r\n" +                 //
                  "\r\n" + s + "/N B" + empty + "\r\n" + s + "/N-1" + empty +            //
                  "\r\n" + s + "/N.1" + empty + "\r\n" + s + "/N/B" + empty +            //
                  "\r\n" + s + "/N1" + empty + "\r\n" + s + "/N_1" + empty +             //
                  "\r\n" + s + "/NB" + empty + "\r\nSummary: 9 Folder(s), 0 File(s)\t0 Bytes");
}

// readme.txt and README.TXT are equal keys: in upper case their lines are the
// same text, and so are two folders docs and DOCS with the same contents.
TEST_F(Cli, NamesDifferingInCaseAreEqualKeys) {
    m_tree.Folder("R", Time());
    m_tree.Folder("R/docs", Time());
    m_tree.Folder("R/DOCS", Time());
    for (const char* file : {"R/docs/x", "R/DOCS/x", "R/readme.txt", "R/README.TXT", "R/readme.txt.bak", "R/README_"}) {
        m_tree.File(file, 10, Time());
    }
    m_tree.Finish();
    const std::string r = Root() + "/R";
    const std::string docs = "\r\n" + r + "/DOCS\r\n\r\n" + FileLine("X", 10) + "\r\n";
    EXPECT_EQ(Report(Run({"R/", "-o", Out("case.txt")}), "case.txt"),
              r + "/\r\n\r\n" + FolderLine("DOCS") + "\r\n" + FolderLine("DOCS") + "\r\n" +
                  FileLine("README.TXT", 10) + "\r\n" + FileLine("README.TXT", 10) + "\r\n" +
                  FileLine("README.TXT.BAK", 10) + "\r\n" + FileLine("README_", 10) + "\r\n" + docs + docs +
                  "\r\nSummary: 3 Folder(s), 6 File(s)\t60 Bytes");
}

TEST_F(Cli, ArchiveReportWithTwoArchivesAndItsLog) {
    const CCliResult result = Run({"--archive", "--log", Out("log.txt"), "-o", Out("archive.txt"), "ArcA", "ArcB"});
    EXPECT_EQ(Report(result, "archive.txt"),
              "c.txt\t7\t03/05/26\t14:07:09\tCD01-01\r\nd.txt\t8\t03/05/26\t14:07:09\tCD01-02\r\n");
    EXPECT_EQ(CTempTree::ReadFile(Out("log.txt")),
              "CD01-01\t" + m_tree.Path("ArcA") + "\r\nCD01-02\t" + m_tree.Path("ArcB"));
    EXPECT_EQ(SettingsText(), "[Archive Options]\nMediaNumber=1\nArchiveNumber=3\nMultipleArchive=1\nMediaType=CD\n");

    // The numbering continues; overrides are stored as the dialog stores them.
    const CCliResult next = Run({"--archive", "-o", Out("next.txt"), "ArcA"});
    EXPECT_EQ(Report(next, "next.txt"), "c.txt\t7\t03/05/26\t14:07:09\tCD01-03\r\n");
    const CCliResult tagged = Run({"--archive", "--media-type", "zip", "--media-number", "4", "--archive-number", "7",
                                   "--single-archive", "-o", Out("tagged.txt"), "ArcA", "ArcB"});
    EXPECT_EQ(Report(tagged, "tagged.txt"),
              "c.txt\t7\t03/05/26\t14:07:09\tZIP04-07\r\nd.txt\t8\t03/05/26\t14:07:09\tZIP04-07\r\n");
    EXPECT_EQ(SettingsText(), "[Archive Options]\nMediaNumber=4\nArchiveNumber=7\nMultipleArchive=0\nMediaType=ZIP\n");
}

TEST_F(Cli, WholeMediaAreOneArchiveEachAndMissingOnesNone) {
    const CCliResult result =
        Run({"--archive", "--log", Out("log.txt"), "-o", Out("media.txt"), "ArcA/", "Missing/", "Missing", "ArcB/"});
    EXPECT_EQ(Report(result, "media.txt"),
              "c.txt\t7\t03/05/26\t14:07:09\tCD01-01\r\nd.txt\t8\t03/05/26\t14:07:09\tCD01-02\r\n");
    EXPECT_EQ(CTempTree::ReadFile(Out("log.txt")),
              "CD01-01\t" + m_tree.Path("ArcA/") + "\r\nCD01-02\t" + m_tree.Path("ArcB/"));
}

// Archive numbering that cannot be stored cannot continue from run to run:
// such a run stops before the walk. A listing only reads the settings.
TEST_F(Cli, SettingsFileThatCannotBeWritten) {
    const std::string settings = m_tree.Path("A/f.txt/stowlist.INI");
    const CCliResult archive = Run({"--settings", settings, "--archive", "-o", Out("r.txt"), "ArcA"});
    EXPECT_EQ(archive.status, 3);
    EXPECT_EQ(archive.err, "stowlist-cli: cannot write the settings file '" + settings + "': Not a directory\n");
    EXPECT_TRUE(OutFiles().empty());
    const CCliResult listing = Run({"--settings", settings, "-o", Out("r.txt"), "A/f.txt"});
    EXPECT_EQ(Report(listing, "r.txt"),
              Root() + "/A\r\n\r\n" + kF + "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes");
}

TEST_F(Cli, ArchiveSettingsGoToTheDesktopProgramsFileByDefault) {
    CCliLaunch launch;
    launch.args = {"--archive", "--media-type", "dlt", "-o", Out("a.txt"), "ArcA"};
    launch.workingFolder = m_tree.Root();
    launch.configHome = m_config.Path("xdg");
    EXPECT_EQ(RunCli(launch).status, 0);
    EXPECT_EQ(CTempTree::ReadFile(m_config.Path("xdg/stowlist.INI")),
              "[Archive Options]\nMediaNumber=1\nArchiveNumber=2\nMultipleArchive=1\nMediaType=DLT\n");
}

TEST_F(Cli, NothingToCatalogue) {
    m_config.WriteText("stowlist.INI", "[Archive Options]\nArchiveNumber=5\n");
    const CCliResult archive = Run({"--archive", "--log", Out("log.txt"), "-o", Out("r.txt"), "Empty"});
    EXPECT_EQ(archive.status, 1);
    EXPECT_EQ(archive.err, "stowlist-cli: No files to process!\n");
    EXPECT_EQ(archive.out, "");
    // Written as the dialog's OK writes them, before the walk; the advanced number is not.
    EXPECT_EQ(SettingsText(), "[Archive Options]\nArchiveNumber=5\nMediaNumber=1\nMultipleArchive=1\nMediaType=CD\n");

    const CCliResult listing = Run({"--exclude-empty", "-o", Out("r.txt"), "Empty"});
    EXPECT_EQ(listing.status, 1);
    EXPECT_EQ(listing.err, "stowlist-cli: No files to process!\n");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Cli, PathsThatDoNotExist) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"A", "Missing"}, "stowlist-cli: cannot read 'Missing': No such file or directory\n"},
        {{"Missing/"}, "stowlist-cli: cannot read 'Missing/': No such file or directory\n"},
        {{"A/f.txt/"}, "stowlist-cli: cannot read 'A/f.txt/': Not a directory\n"},
        {{"--archive", "--archive-number", "8", "ArcA", "Missing"},
         "stowlist-cli: cannot read 'Missing': No such file or directory\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", Out("r.txt"), "--log", Out("log.txt")});
        const CCliResult result = Run(args);
        EXPECT_EQ(result.status, 3) << c.err;
        EXPECT_EQ(result.err, c.err);
        EXPECT_TRUE(OutFiles().empty());
    }
    // The archive settings were confirmed before the walk stopped.
    EXPECT_EQ(SettingsText(), "[Archive Options]\nMediaNumber=1\nArchiveNumber=8\nMultipleArchive=1\nMediaType=CD\n");
}

TEST_F(Cli, ReportThatCannotBeWritten) {
    struct Case {
        std::vector<std::string> args;
        rlim_t fileSizeLimit;
        std::string err;
    };
    m_out.WriteText("old.txt", "earlier report\r\n");
    const std::vector<Case> cases = {
        {{"-o", Out("missing/r.txt"), "A"}, RLIM_INFINITY,
         "stowlist-cli: cannot write the report to '" + Out("missing/r.txt") + "': No such file or directory\n"},
        {{"-o", Out("r.txt"), "--log", Out("missing/log.txt"), "A"}, RLIM_INFINITY,
         "stowlist-cli: cannot write the log to '" + Out("missing/log.txt") + "': No such file or directory\n"},
        {{"-o", "/dev/full", "A"}, RLIM_INFINITY,
         "stowlist-cli: cannot write the report to '/dev/full': No space left on device\n"},
        // The limit holds for every regular file the program writes, its
        // message on standard error included: the report is the longer.
        {{"-o", Out("old.txt"), "--log", Out("log.txt"), "A", "ArcA", "ArcB", "Empty"}, 400,
         "stowlist-cli: cannot write the report to '" + Out("old.txt") + "': File too large\n"},
    };
    for (const Case& c : cases) {
        const CCliResult result = Run(c.args, c.fileSizeLimit);
        EXPECT_EQ(result.status, 3) << c.err;
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
        // No report, no log, no temporary file; the earlier report intact.
        EXPECT_EQ(OutFiles(), std::vector<std::string>{"old.txt"});
        EXPECT_EQ(CTempTree::ReadFile(Out("old.txt")), "earlier report\r\n");
    }
}

TEST_F(Cli, ClosedStandardOutputIsAFailureNotAFile) {
    CCliLaunch launch;
    launch.args = {"--settings", Settings(), "--log", Out("log.txt"), "A"};
    launch.workingFolder = m_tree.Root();
    launch.configHome = m_config.Path("xdg");
    launch.stdoutClosed = true;
    const CCliResult result = RunCli(launch);
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "stowlist-cli: cannot write the report to standard output: Bad file descriptor\n");
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Cli, BadUsage) {
    m_config.WriteText("stowlist.INI", "[Archive Options]\nMediaType=MO\n");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string help = " (stowlist-cli --help lists the options)\n";
    const std::vector<Case> cases = {
        {{}, "stowlist-cli: no PATH given" + help},
        {{"--bogus", "A"}, "stowlist-cli: unknown option '--bogus'" + help},
        {{"--media-type", "floppy", "A"},
         "stowlist-cli: unknown media type 'floppy' (CD, DAT, DLT, JAZ or ZIP)" + help},
        {{"--media-number", "1x", "A"}, "stowlist-cli: option '--media-number' needs a whole number, not '1x'" + help},
        {{"-o", Out("same"), "--log", Out("same"), "A"},
         "stowlist-cli: the report and the log cannot be the same file\n"},
        {{"--archive", "-o", Out("r.txt"), "ArcA"},
         "stowlist-cli: the stored media type 'MO' in '" + Settings() +
             "' is none of CD, DAT, DLT, JAZ and ZIP: give --media-type\n"},
    };
    for (const Case& c : cases) {
        const CCliResult result = Run(c.args);
        EXPECT_EQ(result.status, 2) << c.err;
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_EQ(SettingsText(), "[Archive Options]\nMediaType=MO\n");
    const CCliResult given = Run({"--archive", "--media-type", "jaz", "-o", Out("r.txt"), "ArcA"});
    EXPECT_EQ(Report(given, "r.txt"), "c.txt\t7\t03/05/26\t14:07:09\tJAZ01-01\r\n");
}

TEST_F(Cli, HelpAndVersion) {
    const CCliResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: stowlist-cli [OPTION]... PATH...\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--multiple-archives | --single-archive"), std::string::npos);
    const CCliResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "stowlist-cli " STOWLIST_VERSION "\n");
}

TEST_F(Cli, ProgressOnATerminalOnly) {
    for (int i = 0; i < 30; ++i) {
        m_tree.File("A/B/file" + std::to_string(i), 1, Time());
    }
    CCliLaunch launch;
    launch.args = {"--settings", Settings(), "-o", Out("r.txt"), "A"};
    launch.workingFolder = m_tree.Root();
    launch.configHome = m_config.Path("xdg");
    launch.stderrOnTerminal = true;
    const CCliResult shown = RunCli(launch);
    EXPECT_EQ(shown.status, 0);
    // The first count at once, the last at the end, then the line cleared.
    EXPECT_EQ(shown.err.rfind("\rProcessing file: ", 0), 0u) << shown.err;
    EXPECT_NE(shown.err.find("\rProcessing file: 31\033[K"), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\033[K");

    launch.args.push_back("-q");
    const CCliResult quiet = RunCli(launch);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

} // namespace
