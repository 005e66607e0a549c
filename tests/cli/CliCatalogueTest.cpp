#include "CliProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

// A function, not a constant: the test time zone is set in main.
std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); } // "03/05/26", "14:07:09" in C.UTF-8

// A tree to catalogue, a home of the test's own (whose default catalogue
// every run shares), settings, and a folder of reports outside the tree.
class CliCatalogue : public testing::Test {
protected:
    CliCatalogue() {
        m_tree.Folder("A", Time());
        m_tree.Folder("A/Bilder", Time());
        m_tree.File("A/fig.txt", 1234, Time());
        m_tree.Folder("ArcA", Time());
        m_tree.File("ArcA/figure.png", 7, Time());
        m_tree.Folder("ArcB", Time());
        m_tree.File("ArcB/notes.txt", 8, Time());
        m_tree.Finish();
        m_out.Folder("reports", Time());
    }

    // Runs in the tree's root, with the test's home unless given another.
    CCliResult Run(const std::vector<std::string>& args, const std::string& home = "") const {
        CCliLaunch launch;
        launch.args = args;
        launch.workingFolder = m_tree.Root();
        launch.configHome = m_config.Path("xdg");
        launch.home = home.empty() ? m_home.Root() : home;
        return RunCli(launch);
    }
    // A report run with the test's settings; expects it to succeed quietly.
    void Report(std::vector<std::string> args, const std::string& home = "") const {
        args.insert(args.begin(), {"--settings", Settings(), "-q"});
        const CCliResult result = Run(args, home);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
    }
    // The listing of A and the archive of ArcA and ArcB (CD01-01, CD01-02) with its log.
    void WriteBothReports(const std::string& extra) const {
        Report({extra, "--listing", "-o", Reports("listing.txt"), "A"});
        Report({extra, "--archive", "--media-type", "cd", "--media-number", "1", "--archive-number", "1",
                "--multiple-archives", "--log", Reports("archive.log"), "-o", Reports("archive.txt"), "ArcA",
                "ArcB"});
    }
    std::string Settings() const { return m_config.Path("stowlist.INI"); }
    std::string Reports(const std::string& name = "") const {
        return m_out.Path(name.empty() ? "reports" : "reports/" + name);
    }
    std::string Root() const { return UpperAscii(m_tree.Root()); }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_home;
    CTempTree m_out;
};

TEST_F(CliCatalogue, FolderOfReportsAddedThenListed) {
    WriteBothReports("--no-catalogue");
    const std::string catalogue = m_out.Path("c.sqlite");
    const CCliResult add = Run({"catalogue", "--catalogue", catalogue, "add", Reports()});
    EXPECT_EQ(add.status, 0) << add.err;
    EXPECT_EQ(add.out + add.err, "");
    const CCliResult list = Run({"catalogue", "--catalogue", catalogue, "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.err, "");
    EXPECT_EQ(list.out, "ok\tfolder\t2\t" + Reports() + "\n" +       // two reports; the log is no report
                            "ok\tlog\t2\t" + Reports("archive.log") + "\n" + // two archives
                            "ok\treport\t2\t" + Reports("archive.txt") + "\n" +
                            "ok\treport\t3\t" + Reports("listing.txt") + "\n"); // A, BILDER, FIG.TXT
    // The reports were written without the default catalogue, which is still not there.
    EXPECT_FALSE(CTempTree::Exists(m_home.Path(".local/share/stowlist/catalogue.sqlite")));
}

// A file named to be added that is no report is refused with the reader's
// reason and status 3, and not listed; the reports named with it are added.
TEST_F(CliCatalogue, FileThatIsNoReportIsRefused) {
    WriteBothReports("--no-catalogue");
    const std::string catalogue = m_out.Path("c.sqlite");
    m_out.WriteText("reports/notes.txt", "shopping list\n");
    const CCliResult add =
        Run({"catalogue", "--catalogue", catalogue, "add", Reports("notes.txt"), Reports("listing.txt")});
    EXPECT_EQ(add.status, 3);
    EXPECT_EQ(add.out, "");
    EXPECT_EQ(add.err, "stowlist-cli catalogue: " + Reports("notes.txt") +
                           ": not a report (line 1: not a Stowlist report or archive log)\n");
    const CCliResult list = Run({"catalogue", "--catalogue", catalogue, "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "ok\treport\t3\t" + Reports("listing.txt") + "\n");
}

TEST_F(CliCatalogue, FindPrintsExactLines) {
    WriteBothReports("--no-catalogue");
    const std::string catalogue = m_out.Path("c.sqlite");
    ASSERT_EQ(Run({"catalogue", "--catalogue", catalogue, "add", Reports()}).status, 0);
    const std::string listing = "\t" + Root() + "/A\t";
    const std::string fig = listing + "FIG.TXT\t1234\t03/05/26\t14:07:09\t" + Reports("listing.txt") + ":8\n";
    const std::string bilder = listing + "BILDER\t\t03/05/26\t14:07:09\t" + Reports("listing.txt") + ":7\n";
    // The archive's folders come from its log.
    const std::string figure = "CD01-01\t" + m_tree.Path("ArcA") + "\tfigure.png\t7\t03/05/26\t14:07:09\t" +
                               Reports("archive.txt") + ":1\n";
    const std::string notes = "CD01-02\t" + m_tree.Path("ArcB") + "\tnotes.txt\t8\t03/05/26\t14:07:09\t" +
                              Reports("archive.txt") + ":2\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"fig"}, 0, fig + figure, ""}, // a listing (no medium) before CD01
        {{"FIG", "txt"}, 0, fig, ""},
        {{"t"}, 0, fig + notes, ""}, // "figure.png" has no t
        {{"--folders", "bild"}, 0, bilder, ""},
        {{"--files", "i"}, 0, fig + figure, ""},
        {{"--medium", "cd01-02", "t"}, 0, notes, ""},
        {{"--glob", "*.PNG"}, 0, figure, ""},
        {{"--glob", "fig"}, 1, "", ""},
        {{"--glob", ""}, 2, "", "stowlist-cli find: --glob takes one pattern (stowlist-cli find --help lists the options)\n"},
        {{"--limit", "1", "fig"}, 0, fig, ""},
        {{"nothing"}, 1, "", ""},
        {{"--json", "figure"},
         0,
         "{\"medium\":\"CD01-01\",\"folder\":\"" + m_tree.Path("ArcA") +
             "\",\"name\":\"figure.png\",\"size\":7,\"date\":\"03/05/26\",\"time\":\"14:07:09\",\"report\":\"" +
             Reports("archive.txt") + "\",\"line\":1}\n",
         ""},
        {{"--json", "--folders", "bilder"},
         0,
         "{\"medium\":\"\",\"folder\":\"" + Root() +
             "/A\",\"name\":\"BILDER\",\"size\":null,\"date\":\"03/05/26\",\"time\":\"14:07:09\",\"report\":\"" +
             Reports("listing.txt") + "\",\"line\":7}\n",
         ""},
        {{"--limit", "x", "fig"},
         2,
         "",
         "stowlist-cli find: --limit needs a number, not \"x\" (stowlist-cli find --help lists the options)\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"find", "--catalogue", catalogue};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CCliResult result = Run(args);
        EXPECT_EQ(result.status, c.status) << c.args.back();
        EXPECT_EQ(result.out, c.out) << c.args.back();
        EXPECT_EQ(result.err, c.err) << c.args.back();
    }
    // No catalogue yet: nothing found.
    const CCliResult none = Run({"find", "--catalogue", m_out.Path("none.sqlite"), "fig"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out + none.err, "");
}

// A report written to a file joins the catalogue with its archive log (whether
// or not the log was written to a file), unless told otherwise.
TEST_F(CliCatalogue, ReportRunJoinsTheCatalogue) {
    struct Case {
        const char* name;
        std::string settings;             // the settings file's text
        std::vector<std::string> run;     // the report run, before its PATHs
        std::vector<std::string> find;    // find's arguments
        std::string out;                  // find's output
    };
    const std::string other = m_out.Path("other.sqlite");
    const std::string fig =
        "\t" + Root() + "/A\tFIG.TXT\t1234\t03/05/26\t14:07:09\t" + Reports("r.txt") + ":8\n";
    const std::string figure = "CD02-05\t" + m_tree.Path("ArcA") + "\tfigure.png\t7\t03/05/26\t14:07:09\t" +
                               Reports("r.txt") + ":1\n";
    const std::vector<Case> cases = {
        {"Listing", "", {"--listing"}, {"fig"}, fig},
        {"ArchiveWithoutLogFile",
         "",
         {"--archive", "--media-type", "cd", "--media-number", "2", "--archive-number", "5"},
         {"fig"},
         figure},
        {"OtherCatalogue", "", {"--listing", "--catalogue", other}, {"--catalogue", other, "fig"}, fig},
        {"NoCatalogue", "", {"--listing", "--no-catalogue"}, {"fig"}, ""},
        {"AddReportsOff", "[Catalogue]\nAddReports=0\n", {"--listing"}, {"fig"}, ""},
        {"AddReportsOn", "[Catalogue]\nAddReports=1\n", {"--listing"}, {"fig"}, fig},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CTempTree home;
        m_config.WriteText("stowlist.INI", c.settings);
        std::vector<std::string> run = c.run;
        run.insert(run.end(), {"-o", Reports("r.txt"), c.run.front() == "--listing" ? "A" : "ArcA"});
        Report(run, home.Root());
        std::vector<std::string> find{"find"};
        find.insert(find.end(), c.find.begin(), c.find.end());
        const CCliResult result = Run(find, home.Root());
        EXPECT_EQ(result.status, c.out.empty() ? 1 : 0) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(CliCatalogue, CatalogueThatCannotBeWrittenIsAWarning) {
    m_out.WriteText("file", "");
    const std::string catalogue = m_out.Path("file/c.sqlite");
    const CCliResult result =
        Run({"--settings", Settings(), "--listing", "--catalogue", catalogue, "-o", Reports("r.txt"), "A"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "stowlist-cli: warning: the report was not added to the catalogue: " + catalogue +
                              ": unable to open database file\n");
    EXPECT_EQ(result.out, "");
    EXPECT_NE(CTempTree::ReadFile(Reports("r.txt")).find("FIG.TXT"), std::string::npos);
}

} // namespace
