#include "MediaPlanner.h"
#include "PathListWriter.h"
#include "PlanTestSupport.h"
#include "PlanTreeBuilder.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(PathListTest, ListsWholeFoldersOnceAndTheRestEntryByEntry) {
    CPlanTree tree = TreeOf({"A/", "A/a=1 50", "A/b\\c 30", "B/", "B/b1 50", "B/b2 50", "B/C/", "B/C/c1 20",
                             "E/", "E/e 5", "E/big 500", "d 15"});
    tree.MarkIncomplete(0); // something in A was not taken by the walk
    const CMediaRules rules(100, 10, 0);
    const CMediaPlan plan = CMediaPlanner(rules).Plan(tree);
    ASSERT_EQ(DescribePlan(tree, plan), "90 10: A/\n"
                                        "90 10: B/* B/b1 B/C/\n"
                                        "100 0: B/* B/b2 E/ d\n"
                                        "left out: E/big (too large)\n");
    const CPathListWriter writer(tree, plan);
    EXPECT_EQ(writer.PathList(0), "A/a\\=1=/src/A/a\\=1\n"
                                  "A/b\\\\c=/src/A/b\\\\c\n");
    EXPECT_EQ(writer.PathList(1), "B/b1=/src/B/b1\n"
                                  "B/C=/src/B/C\n");
    // E lies whole on the medium, but without what was left out of it.
    EXPECT_EQ(writer.PathList(2), "B/b2=/src/B/b2\n"
                                  "E/e=/src/E/e\n"
                                  "d=/src/d\n");
}

std::string RunText(const std::string& command) {
    std::string text;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return text;
    }
    char buffer[4096];
    while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) {
        text.append(buffer, n);
    }
    return text;
}

// Every path a plan puts on one medium, as "/path".
std::set<std::string> PlannedPaths(const CPlanTree& tree, const CMediaPlan& plan, std::size_t medium) {
    std::set<std::string> paths;
    for (const CPlacement& item : plan.arrMedia[medium].arrItems) {
        const std::uint32_t end = item.bWhole ? tree.End(item.nNode) : item.nNode + 1;
        for (std::uint32_t n = item.nNode; n < end; ++n) {
            if (!plan.arrPruned[n] || tree.Node(n).kind == EPlanKind::kFolder) {
                paths.insert("/" + tree.MediumPath(n));
            }
        }
    }
    return paths;
}

TEST(PathListTest, ImageBuiltFromAPathListHoldsExactlyTheMedium) {
    if (std::system("command -v xorriso >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xorriso is not installed";
    }
    CTempTree temp;
    temp.Folder("drop", 1700000000);
    temp.Folder("drop/proj", 1700000000);
    temp.File("drop/proj/a=b.txt", 300000, 1700000000);
    temp.File("drop/proj/back\\slash", 1000, 1700000000);
    temp.Folder("drop/proj/sub", 1700000000);
    temp.File("drop/proj/sub/x", 400000, 1700000000);
    temp.File("drop/proj/sub/y", 200000, 1700000000);
    temp.File("drop/proj/sub/.hidden", 10, 1700000000);
    temp.Folder("drop/whole", 1700000000);
    temp.File("drop/whole/w", 100000, 1700000000);
    temp.File("drop/solo", 600000, 1700000000);
    temp.Symlink("drop/ln", "solo", 1700000000);
    temp.Finish();

    CPlanTree tree;
    CPlanTreeBuilder builder(true, false);
    ASSERT_TRUE(builder.Build({temp.Path("drop") + "/"}, tree));
    const CMediaRules rules(1000000, 2048, 0);
    const CMediaPlan plan = CMediaPlanner(rules).Plan(tree);
    ASSERT_EQ(CheckPlan(tree, plan, rules), "");
    ASSERT_EQ(plan.arrMedia.size(), 2u) << DescribePlan(tree, plan);
    const CPathListWriter writer(tree, plan);
    for (std::size_t m = 0; m < plan.arrMedia.size(); ++m) {
        const std::string list = temp.Path("medium" + std::to_string(m) + ".path-list");
        const std::string image = temp.Path("medium" + std::to_string(m) + ".iso");
        temp.WriteText("medium" + std::to_string(m) + ".path-list", writer.PathList(m));
        ASSERT_EQ(std::system(("xorriso -as mkisofs -quiet -graft-points -path-list '" + list + "' -o '" + image +
                               "' >/dev/null 2>&1")
                                  .c_str()),
                  0)
            << writer.PathList(m);
        // xorriso prints each path quoted: '/a/b'.
        std::set<std::string> onImage;
        const std::string found = RunText("xorriso -indev '" + image + "' -find / 2>/dev/null");
        std::size_t pos = 0;
        while ((pos = found.find('\'', pos)) != std::string::npos) {
            const std::size_t close = found.find("'\n", pos + 1);
            ASSERT_NE(close, std::string::npos);
            const std::string path = found.substr(pos + 1, close - pos - 1);
            if (path != "/") {
                onImage.insert(path);
            }
            pos = close + 2;
        }
        EXPECT_EQ(onImage, PlannedPaths(tree, plan, m)) << DescribePlan(tree, plan) << writer.PathList(m);
    }
}

} // namespace
