// Archive runs side by side over one settings file: each reserves its
// numbers, so no two reports carry the same tag and no advance of the
// archive number is lost. STOWLIST_CONCURRENT_RUNS sets the runs per side.
#include "CliProcess.h"
#include "TempTree.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

TEST(ConcurrentArchive, RunsSideBySideGetDistinctTagsAndLoseNoNumber) {
    const char* configured = std::getenv("STOWLIST_CONCURRENT_RUNS");
    const int runsPerSide = configured != nullptr ? std::atoi(configured) : 60;
    CTempTree tree;
    tree.Folder("disc", 1000);
    tree.File("disc/a.dat", 10, 2000);
    tree.Folder("out", 1000);
    tree.WriteText("s.INI", "[Archive Options]\nArchiveNumber=5\nMediaNumber=1\nMultipleArchive=1\nMediaType=CD\n");
    const std::string settings = tree.Path("s.INI");

    std::vector<int> failures(2, 0);
    auto side = [&](int which) {
        for (int i = 0; i < runsPerSide; ++i) {
            const std::string report = tree.Path("out/r" + std::to_string(which) + "-" + std::to_string(i) + ".txt");
            CCliLaunch launch;
            launch.args = {"--archive", "--settings", settings, "-o", report, tree.Path("disc")};
            launch.workingFolder = tree.Root();
            launch.configHome = tree.Path("config");
            const CCliResult result = RunCli(launch);
            failures[static_cast<std::size_t>(which)] += result.status == 0 ? 0 : 1;
        }
    };
    std::thread first(side, 0);
    std::thread second(side, 1);
    first.join();
    second.join();
    ASSERT_EQ(failures, std::vector<int>(2, 0));

    std::set<std::string> tags;
    for (int which = 0; which < 2; ++which) {
        for (int i = 0; i < runsPerSide; ++i) {
            const std::string line = tree.ReadText("out/r" + std::to_string(which) + "-" + std::to_string(i) + ".txt");
            tags.insert(line.substr(line.rfind('\t') + 1));
        }
    }
    EXPECT_EQ(tags.size(), static_cast<std::size_t>(2 * runsPerSide));
    EXPECT_NE(tree.ReadText("s.INI").find("ArchiveNumber=" + std::to_string(5 + 2 * runsPerSide) + "\n"),
              std::string::npos)
        << tree.ReadText("s.INI");
}

} // namespace
