#include "PlanTreeBuilder.h"
#include "TempTree.h"
#include "WalkPlanTreeBuilder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every node as one line: medium path, kind, size, parent, whole or not,
// source. The walk order is the file system's, the same for both builders.
std::string Describe(const CPlanTree& tree) {
    std::string text;
    for (std::uint32_t i = 0; i < tree.Size(); ++i) {
        const CPlanNode& node = tree.Node(i);
        text += tree.MediumPath(i) + " " + std::to_string(static_cast<int>(node.kind)) + " " +
                std::to_string(node.kind == EPlanKind::kFile ? node.nSize : 0) + " " +
                std::to_string(static_cast<long long>(node.nParent == CPlanTree::kNoNode ? -1 : node.nParent)) +
                (node.bComplete ? " whole " : " part ") + tree.SourcePath(i) + "\n";
    }
    return text;
}

TEST(WalkPlanTreeTest, TakesWhatTheOwnWalkTakes) {
    CTempTree tree;
    tree.Folder("p", 0);
    tree.File("p/a", 3000, 0);
    tree.Folder("p/s", 0);
    tree.File("p/s/b", 10, 0);
    tree.Folder("p/s/t", 0);
    tree.File("p/s/t/c", 0, 0);
    tree.Folder("p/.h", 0);
    tree.File("p/.h/d", 5, 0);
    tree.File("p/s/.e", 6, 0);
    tree.Symlink("p/link", "a", 0);
    tree.Folder("p/empty", 0);
    tree.Folder("q", 0);
    tree.File("q/f", 7, 0);
    tree.File("top", 9, 0);
    tree.File(".hidden", 9, 0);
    tree.Folder("shut", 0);
    tree.File("shut/x", 1, 0);
    tree.Finish();
    const bool canShut = geteuid() != 0 && chmod(tree.Path("shut").c_str(), 0) == 0;

    struct Case {
        const char* name;
        std::vector<std::string> paths;
        bool excludeHidden;
        bool noSubfolders;
    };
    const std::vector<Case> cases = {
        {"Folders", {"p", "top", "q", ".hidden", "shut"}, false, false},
        {"HiddenLeftOut", {"p", "top", ".hidden", "shut"}, true, false},
        {"NoSubfolders", {"p", "q", "top"}, false, true},
        {"Root", {"/", "p"}, false, false},
        {"RootNoSubfoldersHidden", {"/", "p"}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> paths;
        for (const std::string& path : c.paths) {
            paths.push_back(path == "/" ? tree.Root() + "/" : tree.Path(path));
        }
        CPlanTree expected;
        CPlanTree walked;
        ASSERT_TRUE(CPlanTreeBuilder(c.excludeHidden, c.noSubfolders).Build(paths, expected));
        CWalkPlanTreeBuilder builder(c.excludeHidden, c.noSubfolders);
        ASSERT_TRUE(builder.Build(paths, walked));
        EXPECT_EQ(Describe(walked), Describe(expected));
        EXPECT_GE(walked.Size(), 3u);
    }
    CPlanTree walked;
    CWalkPlanTreeBuilder missing(false, false);
    EXPECT_FALSE(missing.Build({tree.Path("p"), tree.Path("gone")}, walked));
    EXPECT_EQ(missing.MissingPath(), tree.Path("gone"));
    if (canShut) {
        chmod(tree.Path("shut").c_str(), 0755);
    }
}

} // namespace
