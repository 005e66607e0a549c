// stowlist-cli over a tree of everything a careless medium can hold, in
// every layout of both reports: each entry must be exactly one line, the
// columns must stay intact and the totals must be exact.
#include "CliProcess.h"
#include "HostileTree.h"
#include "ReportShape.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using ReportShape::Columns;
using ReportShape::HasControlBytes;
using ReportShape::ReadFullListing;
using ReportShape::SplitLines;

class HostileTree : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = new CTempTree;
        s_root = s_tree->Path("medium");
        mkdir(s_root.c_str(), 0755);
        chmod(s_tree->Root().c_str(), 0755);
        s_totals = BuildHostileTree(s_root, HostileTreeOptions{});
        s_tree->Folder("reports", 0);
        chmod(s_tree->Path("reports").c_str(), 0777);
    }
    static void TearDownTestSuite() {
        RemoveDeepTree(s_root);
        delete s_tree;
        s_tree = nullptr;
    }

    // The medium dropped whole, catalogued by an ordinary user (so the locked
    // folders are locked), into a report of its own.
    std::string Run(const std::vector<std::string>& options, const std::string& name, std::string* log = nullptr) {
        CCliLaunch launch;
        launch.args = {"--settings", s_tree->Path("reports/" + name + ".INI"), "--no-grouping", "-o",
                       s_tree->Path("reports/" + name + ".txt")};
        if (log != nullptr) {
            launch.args.insert(launch.args.end(), {"--log", s_tree->Path("reports/" + name + ".log")});
        }
        launch.args.insert(launch.args.end(), options.begin(), options.end());
        launch.args.push_back(s_root + "/");
        launch.workingFolder = s_tree->Root();
        launch.configHome = s_tree->Path("reports");
        launch.unprivileged = true;
        const CCliResult result = RunCli(launch);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        if (log != nullptr) {
            *log = CTempTree::ReadFile(s_tree->Path("reports/" + name + ".log"));
        }
        return CTempTree::ReadFile(s_tree->Path("reports/" + name + ".txt"));
    }

    static CTempTree* s_tree;
    static std::string s_root;
    static HostileTreeTotals s_totals;
};

CTempTree* HostileTree::s_tree = nullptr;
std::string HostileTree::s_root;
HostileTreeTotals HostileTree::s_totals;

TEST_F(HostileTree, TabbedListingIsExact) {
    const ReportShape::Listing shape = ReadFullListing(Run({"--listing", "--tabbed"}, "tabbed"), true);
    EXPECT_EQ(shape.faults, std::vector<std::string>{});
    EXPECT_EQ(shape.records, s_totals.folders);
    EXPECT_EQ(shape.fileLines, s_totals.files);
    EXPECT_EQ(shape.folderLines, s_totals.folders + 1); // every record but the root's, and the two locked folders
    EXPECT_EQ(shape.bytes, s_totals.bytes);
    EXPECT_GT(s_totals.bytes, 6ULL << 32); // sizes past 2^32 several times over
    EXPECT_EQ(shape.summary, ReportShape::Summary(s_totals.folders, s_totals.files, s_totals.bytes, false));
}

TEST_F(HostileTree, PaddedListingKeepsOneLinePerEntry) {
    const ReportShape::Listing padded = ReadFullListing(Run({"--listing", "--padded"}, "padded"), false);
    EXPECT_EQ(padded.faults, std::vector<std::string>{});
    EXPECT_EQ(padded.records, s_totals.folders);
    EXPECT_EQ(padded.fileLines, s_totals.files);
    EXPECT_EQ(padded.folderLines, s_totals.folders + 1);
    EXPECT_EQ(padded.summary, ReportShape::Summary(s_totals.folders, s_totals.files, s_totals.bytes, true));
}

TEST_F(HostileTree, FoldersOnlyListsEveryWalkedFolder) {
    const auto lines = SplitLines(Run({"--listing", "--dirs-only"}, "dirs"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(s_totals.folders) + 2); // paths, the empty line, the summary
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        EXPECT_FALSE(HasControlBytes(lines[i]));
        EXPECT_EQ(lines[i].rfind("/", 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines.back(), ReportShape::Summary(s_totals.folders, 0, 0, false));
}

TEST_F(HostileTree, FoldersOnlyWithoutSubFoldersListsTheTopFolders) {
    const auto lines = SplitLines(Run({"--listing", "--dirs-only", "--no-subfolders"}, "top"));
    ASSERT_EQ(lines.size(), 6u + 2);
    EXPECT_EQ(lines.back(), ReportShape::Summary(6, 0, 0, false));
}

TEST_F(HostileTree, ArchiveReportIsExact) {
    std::string log;
    const std::string report =
        Run({"--archive", "--media-type", "dlt", "--media-number", "7", "--archive-number", "99",
             "--multiple-archives"},
            "archive", &log);
    auto lines = SplitLines(report);
    ASSERT_EQ(lines.back(), ""); // an archive report ends with a line end
    lines.pop_back();
    EXPECT_EQ(static_cast<std::int64_t>(lines.size()), s_totals.files);
    std::uint64_t bytes = 0;
    for (const std::string& line : lines) {
        const auto columns = Columns(line);
        ASSERT_EQ(columns.size(), 5u) << line;
        EXPECT_FALSE(HasControlBytes(line));
        EXPECT_EQ(columns[4], "DLT07-99");
        bytes += std::stoull(columns[1]);
    }
    EXPECT_EQ(bytes, s_totals.bytes);
    EXPECT_EQ(log, "DLT07-99\t" + s_root + "/");
    EXPECT_NE(CTempTree::ReadFile(s_tree->Path("reports/archive.INI")).find("ArchiveNumber=100"), std::string::npos);
}

} // namespace
