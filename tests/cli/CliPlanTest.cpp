#include "CliProcess.h"
#include "TempTree.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }

// The names of a folder in the order the file system returns them, which is
// the order the walk meets them.
std::vector<std::string> WalkOrder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// ZIP media of 10,000 bytes in blocks of 100. "proj" takes 15,100 and must
// be split; the only split into two media puts a.dat and b=2.dat (5,000 and
// 4,900, with proj's block exactly 10,000) on one medium and sub (100 +
// 5,000) with notes.txt (one block) on the other. huge.iso fits on none.
class CliPlan : public testing::Test {
protected:
    CliPlan() {
        m_tree.Folder("proj", Time());
        m_tree.File("proj/a.dat", 5000, Time());
        m_tree.File("proj/b=2.dat", 4850, Time());
        m_tree.Folder("proj/sub", Time());
        m_tree.File("proj/sub/c.dat", 4950, Time());
        m_tree.File("notes.txt", 5, Time());
        m_tree.File("huge.iso", 20000, Time());
        m_tree.Finish();
        // Media come in the order the walk meets their first items.
        const std::vector<std::string> order = WalkOrder(m_tree.Path("proj"));
        for (const std::string& name : order) {
            if (name != "sub") {
                m_files.push_back(name);
            }
        }
        m_filesFirst = order.front() != "sub";
    }

    CCliResult Run(std::vector<std::string> args) const {
        CCliLaunch launch;
        args.insert(args.begin(), {"--settings", Settings()});
        args.insert(args.begin(), "plan");
        launch.args = args;
        launch.workingFolder = m_tree.Root();
        launch.configHome = m_config.Path("xdg");
        launch.home = m_home.Root();
        return RunCli(launch);
    }
    CCliResult PlanOf(std::vector<std::string> extra) const {
        std::vector<std::string> args{"--media-type", "zip", "--capacity", "10k", "--block-size", "100",
                                      "--media-number", "7"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"proj", "notes.txt", "huge.iso"});
        return Run(args);
    }
    std::string Settings() const { return m_config.Path("stowlist.INI"); }
    // The number of the medium with the files, and of the one with sub.
    int FilesMedium() const { return m_filesFirst ? 7 : 8; }
    int SubMedium() const { return m_filesFirst ? 8 : 7; }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_home;
    CTempTree m_out;
    std::vector<std::string> m_files; // a.dat and b=2.dat in walk order
    bool m_filesFirst = false;
};

TEST_F(CliPlan, PrintsTheBestPlanAndNamesWhatDidNotFit) {
    const std::string files = "ZIP0" + std::to_string(FilesMedium()) +
                              "-01: 3 items, 10000 bytes used, 0 bytes free\n\tproj\n\tproj/" + m_files[0] +
                              "\n\tproj/" + m_files[1] + "\n";
    const std::string sub = "ZIP0" + std::to_string(SubMedium()) +
                            "-01: 3 items, 5300 bytes used, 4700 bytes free\n\tproj\n\tproj/sub\n\tnotes.txt\n";
    const std::string json =
        "{\"tag\":\"ZIP0" + std::to_string(FilesMedium()) +
        "-01\",\"media_type\":\"ZIP\",\"medium\":" + std::to_string(FilesMedium()) +
        ",\"used\":10000,\"free\":0,\"items\":[{\"path\":\"proj\",\"whole\":false},{\"path\":\"proj/" + m_files[0] +
        "\",\"whole\":true},{\"path\":\"proj/" + m_files[1] + "\",\"whole\":true}]}\n";
    const std::string subJson = "{\"tag\":\"ZIP0" + std::to_string(SubMedium()) +
                                "-01\",\"media_type\":\"ZIP\",\"medium\":" + std::to_string(SubMedium()) +
                                ",\"used\":5300,\"free\":4700,\"items\":[{\"path\":\"proj\",\"whole\":false},"
                                "{\"path\":\"proj/sub\",\"whole\":true},{\"path\":\"notes.txt\",\"whole\":true}]}\n";
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"Text", {"--no-grouping"}, (m_filesFirst ? files + sub : sub + files) + "Total: 2 media, 15300 bytes\n"},
        {"Json", {"--json"}, m_filesFirst ? json + subJson : subJson + json},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CCliResult result = PlanOf(c.extra);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "stowlist-cli plan: " + m_tree.Path("huge.iso") + ": larger than a medium, left out\n");
    }
    EXPECT_FALSE(CTempTree::Exists(Settings())) << "a plan without a report never writes the settings";
}

TEST_F(CliPlan, PathListsHoldExactlyEachMedium) {
    const std::string lists = m_out.Path("lists/new");
    const CCliResult result = PlanOf({"--path-lists", lists});
    EXPECT_EQ(result.status, 1) << result.err;
    const std::string proj = m_tree.Path("proj");
    std::vector<std::string> files;
    for (const std::string& name : m_files) {
        const std::string escaped = name == "b=2.dat" ? "b\\=2.dat" : name;
        files.push_back("proj/" + escaped + "=" + proj + "/" + escaped);
    }
    const std::vector<std::string> sub = {"proj/sub=" + proj + "/sub", "notes.txt=" + m_tree.Path("notes.txt")};
    EXPECT_EQ(Lines(CTempTree::ReadFile(lists + "/ZIP0" + std::to_string(FilesMedium()) + ".path-list")), files);
    EXPECT_EQ(Lines(CTempTree::ReadFile(lists + "/ZIP0" + std::to_string(SubMedium()) + ".path-list")), sub);
    EXPECT_EQ(WalkOrder(lists).size(), 2u);
}

// The plan's report is what archive runs over each medium's items, with the
// medium's number and archive number 1, write one after the other.
TEST_F(CliPlan, ReportIsTheArchiveRunsOfEachMedium) {
    struct Case {
        const char* name;
        const char* archives;
    };
    for (const Case& c : {Case{"MultipleArchives", "--multiple-archives"}, Case{"SingleArchive", "--single-archive"}}) {
        SCOPED_TRACE(c.name);
        m_config.WriteText("stowlist.INI", "[Archive Options]\nMediaNumber=3\nArchiveNumber=4\nMediaType=DLT\n");
        const CCliResult plan = PlanOf({c.archives, "-o", m_out.Path("plan.txt"), "--log", m_out.Path("plan.log")});
        EXPECT_EQ(plan.status, 1) << plan.err;
        EXPECT_EQ(CTempTree::ReadFile(Settings()),
                  "[Archive Options]\nMediaNumber=9\nArchiveNumber=1\nMediaType=DLT\n");

        std::string report;
        std::string log;
        for (int medium = 7; medium <= 8; ++medium) {
            std::vector<std::string> items;
            if (medium == FilesMedium()) {
                items = {"proj/" + m_files[0], "proj/" + m_files[1]};
            } else {
                items = {"proj/sub", "notes.txt"};
            }
            std::vector<std::string> args{"--archive", "--media-type", "zip", "--media-number", std::to_string(medium),
                                          "--archive-number", "1", c.archives, "-q", "--no-catalogue",
                                          "-o", m_out.Path("run.txt"), "--log", m_out.Path("run.log")};
            args.insert(args.end(), items.begin(), items.end());
            CCliLaunch launch;
            launch.args = args;
            launch.args.insert(launch.args.begin(), {"--settings", m_out.Path("run.INI")});
            launch.workingFolder = m_tree.Root();
            launch.configHome = m_config.Path("xdg");
            launch.home = m_home.Root();
            const CCliResult run = RunCli(launch);
            ASSERT_EQ(run.status, 0) << run.err;
            report += CTempTree::ReadFile(m_out.Path("run.txt"));
            const std::string runLog = CTempTree::ReadFile(m_out.Path("run.log"));
            log += !log.empty() && !runLog.empty() ? "\r\n" + runLog : runLog;
        }
        EXPECT_EQ(CTempTree::ReadFile(m_out.Path("plan.txt")), report);
        EXPECT_EQ(CTempTree::ReadFile(m_out.Path("plan.log")), log);
        EXPECT_EQ(report.find("huge.iso"), std::string::npos);
        EXPECT_NE(report.find("\tZIP07-01\r\n"), std::string::npos);
        EXPECT_NE(report.find("\tZIP08-01\r\n"), std::string::npos);
    }
    // The report joined the catalogue.
    CCliLaunch find;
    find.args = {"find", "c.dat"};
    find.workingFolder = m_tree.Root();
    find.configHome = m_config.Path("xdg");
    find.home = m_home.Root();
    EXPECT_EQ(RunCli(find).status, 0);
}

TEST_F(CliPlan, RefusesBadUsageAndMissingPaths) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string hint = " (stowlist-cli plan --help lists the options)\n";
    const std::vector<Case> cases = {
        {"NoPath", {"--media-type", "cd"}, 2, "stowlist-cli plan: no PATH given" + hint},
        {"NoCapacity", {"--media-type", "dat", "proj"}, 2, "stowlist-cli plan: this media type needs --capacity" + hint},
        {"BadSize",
         {"--capacity", "4.7", "proj"},
         2,
         "stowlist-cli plan: option '--capacity': a decimal point needs digits after it, and a unit" + hint},
        {"BadType", {"--media-type", "dvd", "proj"}, 2,
         "stowlist-cli plan: unknown media type 'dvd' (CD, DAT, DLT, JAZ or ZIP)" + hint},
        {"Missing", {"--media-type", "cd", "proj", "gone"}, 3,
         "stowlist-cli plan: cannot read 'gone': No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CCliResult result = Run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
}

} // namespace
