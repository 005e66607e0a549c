#include "BasePath.h"
#include "MediumVerifier.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BasePath, StripsTheBaseAtASeparatorOnly) {
    struct Case {
        const char* base;
        const char* path;
        const char* relative;
    };
    for (const Case& c : {
             Case{"/MNT", "/MNT", ""},
             Case{"/MNT", "/MNT/V/A", "V/A"},
             Case{"/MNT/", "/MNT/V", "V"},
             Case{"/MEDIA/CD/", "/MEDIA/CD", ""},
             Case{"/MNT", "/MNT2/V", "/MNT2/V"}, // not under the base: kept whole
             Case{"/", "/V", "V"},
             Case{"C:\\DATA", "C:\\DATA\\V\\A", "V\\A"},
             Case{"C:\\", "C:\\V", "V"},
         }) {
        EXPECT_EQ(BasePath::Strip(c.base, c.path), c.relative) << c.base << " " << c.path;
    }
    EXPECT_EQ(BasePath::FolderOf("/MNT/V"), "/MNT");
    EXPECT_EQ(BasePath::FolderOf("/V"), "/");
    EXPECT_EQ(BasePath::FolderOf("C:\\V"), "C:\\");
    EXPECT_EQ(BasePath::FolderOf("V"), "");
}

// A walk that is cancelled while it runs (the walk reads ahead on a
// thread of its own) ends at once, with nothing reported.
TEST(MediumVerifier, CancelDuringTheWalkStopsIt) {
    CTempTree tree;
    tree.Folder("V", 0);
    for (int i = 0; i < 5000; ++i) {
        tree.File("V/f" + std::to_string(i), 1, 0);
    }
    tree.Finish();
    const std::string root = tree.Root();
    std::string upper;
    for (const char c : root) {
        upper.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
    tree.WriteText("r.txt", upper + "\r\n\r\nV\t<FOLDER>\t01/01/70\t00:00:00\tV\r\n\r\n"
                                    "Summary: 1 Folder(s), 0 File(s)\t0 Bytes");
    CVerifyRequest request;
    request.m_strReportPath = tree.Path("r.txt");
    request.m_arrPaths = {tree.Path("V")};
    request.m_excludeSubFolders = false; // the report alone would say V was not walked
    CMediumVerifier verifier(request);
    int calls = 0;
    const VerifyOutcome outcome = verifier.Run([&](int) {
        if (++calls == 1) {
            verifier.Cancel();
        }
    });
    EXPECT_EQ(outcome, VerifyOutcome::Cancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(verifier.Lines().empty());
}

} // namespace
