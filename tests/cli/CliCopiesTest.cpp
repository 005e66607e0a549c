#include "CliProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

std::string Digest(char c) { return std::string(64, c); }

// Runs in `home`, which is also its $HOME and holds its settings.
CCliResult RunCopies(const std::vector<std::string>& args, const CTempTree& home) {
    CCliLaunch launch;
    launch.args = args;
    launch.workingFolder = home.Root();
    launch.configHome = home.Path("xdg");
    launch.home = home.Root();
    return RunCli(launch);
}

// Three media: all.bin on all three (hashed on CD01 and CD03, matched by its
// name, size, date and time on CD02), two.bin on two, only.bin (past 4 GiB) on CD02 alone,
// song.mp3 on CD01 is track01.mp3 on CD03 by its digest, twice.txt in two
// archives of CD01, photo.jpg on CD02 and CD03 with different dates.
void WriteThreeMedia(CTempTree& tree) {
    tree.WriteText("cd01.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD01-01\r\n"
                               "two.bin\t200\t01/02/20\t10:00:00\tCD01-01\r\n"
                               "song.mp3\t300\t01/02/20\t10:00:00\tCD01-01\r\n"
                               "twice.txt\t10\t01/02/20\t10:00:00\tCD01-01\r\n"
                               "twice.txt\t10\t01/02/20\t10:00:00\tCD01-02\r\n");
    tree.WriteText("cd01.sha256", Digest('a') + "  all.bin\n" + Digest('b') + "  two.bin\n" + Digest('c') +
                                      "  song.mp3\n" + Digest('d') + "  twice.txt\n");
    tree.WriteText("cd02.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD02-01\r\n"
                               "two.bin\t200\t01/02/20\t10:00:00\tCD02-01\r\n"
                               "only.bin\t5000000000\t01/02/20\t10:00:00\tCD02-01\r\n"
                               "photo.jpg\t50\t01/01/20\t09:00:00\tCD02-01\r\n");
    tree.WriteText("cd03.txt", "all.bin\t100\t01/02/20\t10:00:00\tCD03-01\r\n"
                               "track01.mp3\t300\t03/04/20\t11:00:00\tCD03-01\r\n"
                               "photo.jpg\t50\t05/05/20\t09:00:00\tCD03-01\r\n");
    tree.WriteText("cd03.sha256", Digest('a') + "  all.bin\n" + Digest('c') + "  track01.mp3\n");
}

TEST(CliCopies, ThreeMediaGiveExactAnswers) {
    CTempTree reports;
    WriteThreeMedia(reports);
    CTempTree data;
    const std::string catalogue = data.Path("catalogue.sqlite");
    const CCliResult add = RunCopies({"catalogue", "--catalogue", catalogue, "add", reports.Root()}, data);
    ASSERT_EQ(add.status, 0) << add.err;

    const std::string a = Digest('a');
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{},
         0,
         "1\tCD01\t\ttwice.txt\t10\n"
         "1\tCD02\t\tonly.bin\t5000000000\n"
         "1\tCD02\t\tphoto.jpg\t50\n"
         "1\tCD03\t\tphoto.jpg\t50\n"
         "2\tCD01,CD02\t\ttwo.bin\t200\n"
         "2\tCD01,CD03\t\tsong.mp3\t300\n"
         "3\tCD01,CD02,CD03\t\tall.bin\t100\n"},
        {{"--fewer-than", "2"},
         0,
         "1\tCD01\t\ttwice.txt\t10\n"
         "1\tCD02\t\tonly.bin\t5000000000\n"
         "1\tCD02\t\tphoto.jpg\t50\n"
         "1\tCD03\t\tphoto.jpg\t50\n"},
        {{"--at-least=2"},
         0,
         "2\tCD01,CD02\t\ttwo.bin\t200\n"
         "2\tCD01,CD03\t\tsong.mp3\t300\n"
         "3\tCD01,CD02,CD03\t\tall.bin\t100\n"},
        {{"--medium", "cd02", "--fewer-than", "2"}, 0, "1\tCD02\t\tonly.bin\t5000000000\n1\tCD02\t\tphoto.jpg\t50\n"},
        // Copies under other names count: the group is shown by its first entry.
        {{"TRACK"}, 0, "2\tCD01,CD03\t\tsong.mp3\t300\n"},
        {{"--by", "name", "--medium", "CD03"},
         0,
         "2\tCD01,CD03\t\tsong.mp3\t300\n"
         "2\tCD02,CD03\t\tphoto.jpg\t50\n"
         "3\tCD01,CD02,CD03\t\tall.bin\t100\n"},
        {{"--summary"}, 0, "CD01\t5\t620\t2\t20\nCD02\t4\t5000000350\t2\t5000000050\nCD03\t3\t450\t1\t50\n"},
        {{"--summary", "--json", "--medium", "cd03"},
         0,
         "{\"medium\":\"CD03\",\"files\":3,\"bytes\":450,\"only_here_files\":1,\"only_here_bytes\":50}\n"},
        {{"--json", "all", "--at-least", "3"},
         0,
         "{\"copies\":3,\"media\":[\"CD01\",\"CD02\",\"CD03\"],\"folder\":\"\",\"name\":\"all.bin\",\"size\":100,"
         "\"sha256\":\"" + a + "\"}\n"},
        {{"--json", "only"},
         0,
         "{\"copies\":1,\"media\":[\"CD02\"],\"folder\":\"\",\"name\":\"only.bin\",\"size\":5000000000,\"sha256\":null}\n"},
        {{"--at-least", "4"}, 1, ""},
        {{"nowhere"}, 1, ""},
        {{"--fewer-than", "2", "--at-least", "2"}, 2, ""},
        {{"--fewer-than", "0"}, 2, ""},
        {{"--by", "size"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"copies", "--catalogue", catalogue};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CCliResult result = RunCopies(args, data);
        std::string shown;
        for (const std::string& arg : c.args) {
            shown += arg + " ";
        }
        EXPECT_EQ(result.status, c.status) << shown << result.err;
        EXPECT_EQ(result.out, c.out) << shown;
        EXPECT_EQ(result.err.empty(), c.status != 2) << shown << result.err;
    }

    // A catalogue that cannot be read, and none at all.
    EXPECT_EQ(RunCopies({"copies", "--catalogue", reports.Root()}, data).status, 3);
    EXPECT_EQ(RunCopies({"copies", "--catalogue", data.Path("none.sqlite")}, data).status, 1);
}

} // namespace
