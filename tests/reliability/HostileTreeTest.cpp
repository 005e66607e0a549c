// stowlist-cli over a tree of everything a careless medium can hold, in
// every layout of both reports: each entry must be exactly one line, the
// columns must stay intact and the totals must be exact.
#include "CliProcess.h"
#include "HostileTree.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<std::string> SplitLines(const std::string& report) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = report.find("\r\n"); end != std::string::npos; end = report.find("\r\n", start)) {
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(report.substr(start)); // the summary line, which has no line end
    return lines;
}

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> columns;
    std::size_t start = 0;
    for (auto tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        columns.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    columns.push_back(line.substr(start));
    return columns;
}

bool HasControlBytes(const std::string& line) {
    for (unsigned char c : line) {
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            return true;
        }
    }
    return false;
}

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

    std::string Summary(std::int64_t folders, std::int64_t files, std::uint64_t bytes, bool padded) const {
        const std::string total = std::to_string(bytes);
        return "Summary: " + std::to_string(folders) + " Folder(s), " + std::to_string(files) + " File(s)" +
               (padded ? "  " + std::string(total.size() < 20 ? 20 - total.size() : 0, ' ') : "\t") + total +
               " Bytes";
    }

    static CTempTree* s_tree;
    static std::string s_root;
    static HostileTreeTotals s_totals;
};

CTempTree* HostileTree::s_tree = nullptr;
std::string HostileTree::s_root;
HostileTreeTotals HostileTree::s_totals;

// Walks a full listing: header, empty line, entry lines, empty line, ...
struct ListingShape {
    std::int64_t records = 0;
    std::int64_t fileLines = 0;
    std::int64_t folderLines = 0;
    std::uint64_t bytes = 0;
    std::string summary;
    std::vector<std::string> faults;
};

ListingShape ReadFullListing(const std::string& report, bool tabbed) {
    ListingShape shape;
    const auto lines = SplitLines(report);
    std::size_t i = 0;
    while (i + 1 < lines.size()) {
        if (i > 0) {
            if (!lines[i].empty()) {
                shape.faults.push_back("no empty line before header at line " + std::to_string(i));
            }
            ++i;
            if (i + 1 >= lines.size()) {
                break;
            }
        }
        ++shape.records; // the header
        if (lines[i].empty() || lines[i + 1] != "") {
            shape.faults.push_back("bad header at line " + std::to_string(i));
        }
        i += 2;
        for (; i + 1 < lines.size() && !lines[i].empty(); ++i) {
            const std::string& line = lines[i];
            if (HasControlBytes(line)) {
                shape.faults.push_back("control byte in line " + std::to_string(i));
            }
            if (line == "FOLDER IS EMPTY") {
                continue;
            }
            if (tabbed) {
                const auto columns = Columns(line);
                if (columns.size() != 5) {
                    shape.faults.push_back("line " + std::to_string(i) + " has " + std::to_string(columns.size()) +
                                           " columns");
                    continue;
                }
                if (columns[1] == "<FOLDER>") {
                    ++shape.folderLines;
                } else {
                    ++shape.fileLines;
                    shape.bytes += std::stoull(columns[1]);
                }
            } else {
                const bool folder = line.find(std::string(12, ' ') + "<FOLDER>  ") != std::string::npos;
                ++(folder ? shape.folderLines : shape.fileLines);
            }
        }
    }
    shape.summary = lines.back();
    return shape;
}

TEST_F(HostileTree, TabbedListingIsExact) {
    const ListingShape shape = ReadFullListing(Run({"--listing", "--tabbed"}, "tabbed"), true);
    EXPECT_EQ(shape.faults, std::vector<std::string>{});
    EXPECT_EQ(shape.records, s_totals.folders);
    EXPECT_EQ(shape.fileLines, s_totals.files);
    EXPECT_EQ(shape.folderLines, s_totals.folders + 1); // every record but the root's, and the two locked folders
    EXPECT_EQ(shape.bytes, s_totals.bytes);
    EXPECT_GT(s_totals.bytes, 6ULL << 32); // sizes past 2^32 several times over
    EXPECT_EQ(shape.summary, Summary(s_totals.folders, s_totals.files, s_totals.bytes, false));
}

TEST_F(HostileTree, PaddedListingKeepsOneLinePerEntry) {
    const ListingShape padded = ReadFullListing(Run({"--listing", "--padded"}, "padded"), false);
    EXPECT_EQ(padded.faults, std::vector<std::string>{});
    EXPECT_EQ(padded.records, s_totals.folders);
    EXPECT_EQ(padded.fileLines, s_totals.files);
    EXPECT_EQ(padded.folderLines, s_totals.folders + 1);
    EXPECT_EQ(padded.summary, Summary(s_totals.folders, s_totals.files, s_totals.bytes, true));
}

TEST_F(HostileTree, FoldersOnlyListsEveryWalkedFolder) {
    const auto lines = SplitLines(Run({"--listing", "--dirs-only"}, "dirs"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(s_totals.folders) + 2); // paths, the empty line, the summary
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        EXPECT_FALSE(HasControlBytes(lines[i]));
        EXPECT_EQ(lines[i].rfind("/", 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines.back(), Summary(s_totals.folders, 0, 0, false));
}

TEST_F(HostileTree, FoldersOnlyWithoutSubFoldersListsTheTopFolders) {
    const auto lines = SplitLines(Run({"--listing", "--dirs-only", "--no-subfolders"}, "top"));
    ASSERT_EQ(lines.size(), 6u + 2);
    EXPECT_EQ(lines.back(), Summary(6, 0, 0, false));
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
