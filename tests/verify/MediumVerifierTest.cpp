#include "BasePath.h"
#include "EngineFixture.h"
#include "MediumVerifier.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

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

// A report read while the medium is walked gives the account of one read
// before the walk.
TEST(MediumVerifier, ReportReadDuringTheWalkGivesTheSameAccount) {
    setenv("LC_ALL", "C.UTF-8", 1);
    CEngineFixture f;
    f.m_tree.Folder("V", 0);
    f.m_tree.Folder("V/a", 0);
    for (int i = 0; i < 40; ++i) {
        f.m_tree.File("V/a/f" + std::to_string(i), 1, 1000);
    }
    f.m_tree.File("V/.hidden", 1, 1000);
    f.m_tree.Finish();
    f.SetOption(Option::ExportData, 0);
    f.SetOption(Option::ProcessType, kProcessListing);
    f.SetOption(Option::ExcludeHiddenSystemInfo, 0);
    f.Drop({"V"});
    f.Export("report.txt");
    f.m_tree.File("V/a/f1", 2, 1000);
    ASSERT_EQ(unlink(f.m_tree.Path("V/a/f2").c_str()), 0);
    f.m_tree.File("V/a/n1", 1, 1000);

    std::vector<std::vector<std::string>> accounts;
    for (const std::size_t readFirst : {std::size_t{1} << 30, std::size_t{0}}) {
        CVerifyRequest request;
        request.m_strReportPath = f.m_tree.Path("report.txt");
        request.m_arrPaths = {f.m_tree.Path("V")};
        request.m_settings = f.m_settings.Snapshot(); // hidden entries excluded there: the report says otherwise
        request.m_settings[Option::ExcludeHiddenSystemInfo] = 1;
        CMediumVerifier verifier(request);
        verifier.m_nReadFirstBytes = readFirst;
        ASSERT_EQ(verifier.Run(), VerifyOutcome::Checked) << verifier.Error();
        std::vector<std::string> lines;
        for (const CVerifyLine& line : verifier.Lines()) {
            lines.push_back(VerifyText::Line(line));
        }
        lines.push_back(VerifyText::Summary(verifier.Counts()));
        accounts.push_back(lines);
    }
    const std::vector<std::string> expected = {
        "changed\tV/a/f1\tsize 1 -> 2",
        "missing\tV/A/F2\t",
        "new\tV/a/n1\t",
        "Checked 44 entries: 41 ok, 1 changed, 1 missing, 1 new, 0 moved, 0 corrupt, 0 unreadable",
    };
    EXPECT_EQ(accounts[0], expected);
    EXPECT_EQ(accounts[1], expected);
}

} // namespace
