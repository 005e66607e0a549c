#include "Catalogue.h"
#include "CliProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }

// SHA-256 of the one-letter contents the trees hold.
const std::string kA = "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb";
const std::string kB = "3e23e8160039594a33894f6564e1b1348bbd7a0088d42c4acb73eeaed59c009d";
const std::string kC = "2e7d2c03a9507ae265ecf5b5356885a53393a2029d241394997265a1a25aefc6";

// A tree with files of known contents in two folders, a link and a FIFO
// (never read), and reports written outside it.
class CliChecksums : public testing::Test {
protected:
    CliChecksums() {
        m_tree.Folder("Media", Time());
        m_tree.Folder("Media/Sub", Time());
        m_tree.WriteText("Media/a.txt", "a");
        m_tree.WriteText("Media/Sub/b.txt", "b");
        m_tree.Symlink("Media/link", "a.txt", Time());
        mkfifo(m_tree.Path("Media/fifo").c_str(), 0644);
        m_tree.Folder("Other", Time());
        m_tree.WriteText("Other/c.txt", "c");
        m_tree.Finish();
    }

    // Without a catalogue unless one is named in `args`.
    CCliResult Run(std::vector<std::string> args, bool unprivileged = false) const {
        CCliLaunch launch;
        const bool catalogue = std::find(args.begin(), args.end(), "--catalogue") != args.end();
        args.insert(args.begin(), {"--settings", m_config.Path("stowlist.INI"), "-q"});
        if (!catalogue) {
            args.insert(args.begin(), "--no-catalogue");
        }
        launch.args = args;
        launch.workingFolder = m_tree.Root();
        launch.configHome = m_config.Path("xdg");
        launch.unprivileged = unprivileged;
        return RunCli(launch);
    }
    std::string Out(const std::string& name) const { return m_out.Path(name); }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_out;
};

struct ManifestCase {
    const char* name;
    std::vector<std::string> args; // the report's options and the PATHs
    std::string manifest;
};

class ManifestLines : public CliChecksums, public testing::WithParamInterface<ManifestCase> {};

TEST_P(ManifestLines, AreExactInReportOrder) {
    std::vector<std::string> args = GetParam().args;
    args.insert(args.begin(), {"--checksums", "-o", Out("Report.TXT")});
    const CCliResult result = Run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(CTempTree::ReadFile(Out("Report.sha256")), GetParam().manifest);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, ManifestLines,
    testing::Values(
        // A whole medium: paths from its root; records sorted, MEDIA before MEDIA/SUB.
        ManifestCase{"RootDropListing", {"--listing", "Media/"},
                     kA + "  a.txt\n" + kB + "  Sub/b.txt\n"},
        // Items of two folders: the base is the first item's folder, the other reached
        // through "../"; the dropped files are in the drop record, in the order dropped.
        ManifestCase{"TwoFoldersListing", {"--listing", "Media/Sub", "Other/c.txt", "Media/a.txt"},
                     kC + "  ../Other/c.txt\n" + kA + "  a.txt\n" + kB + "  Sub/b.txt\n"},
        // A folders-only listing names no files, its manifest all of them (OTHER sorts last).
        ManifestCase{"TwoFoldersFoldersOnly", {"--listing", "--dirs-only", "Other/c.txt", "Media"},
                     kA + "  ../Media/a.txt\n" + kB + "  ../Media/Sub/b.txt\n" + kC + "  c.txt\n"},
        // An archive report keeps the order of the drop and of the walk.
        ManifestCase{"TwoFoldersArchive",
                     {"--archive", "--media-type", "CD", "--single-archive", "Other/c.txt", "Media/Sub"},
                     kC + "  c.txt\n" + kB + "  ../Media/Sub/b.txt\n"}),
    [](const testing::TestParamInfo<ManifestCase>& info) { return std::string(info.param.name); });

// Runs `sha256sum --strict -c MANIFEST` in `base`; its exit status.
int Sha256sumCheck(const std::string& base, const std::string& manifest) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(base.c_str()) != 0 || freopen("/dev/null", "w", stdout) == nullptr ||
            freopen("/dev/null", "w", stderr) == nullptr) {
            _exit(126);
        }
        execlp("sha256sum", "sha256sum", "--strict", "-c", manifest.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CliChecksums, EscapedNamesPassSha256sumStrictCheck) {
    m_tree.WriteText("Media/back\\slash", "a");
    m_tree.WriteText("Media/line\nfeed", "b");
    m_tree.WriteText("Media/carriage\rreturn", "c");
    const CCliResult result = Run({"--checksums", "--manifest", Out("m.sha256"), "--listing", "Media/"});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string manifest = CTempTree::ReadFile(Out("m.sha256"));
    for (const std::string& line : {"\\" + kA + "  back\\\\slash\n", "\\" + kB + "  line\\nfeed\n",
                                    "\\" + kC + "  carriage\\rreturn\n", kA + "  a.txt\n"}) {
        EXPECT_NE(manifest.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(Sha256sumCheck(m_tree.Path("Media"), Out("m.sha256")), 0);
    m_tree.WriteText("Media/line\nfeed", "changed");
    EXPECT_EQ(Sha256sumCheck(m_tree.Path("Media"), Out("m.sha256")), 1);
}

TEST_F(CliChecksums, UnreadableFileIsLeftOutAndNamedWithStatusFour) {
    for (const char* folder : {"", "/Media", "/Media/Sub", "/Other"}) {
        chmod((m_tree.Root() + folder).c_str(), 0755);
    }
    chmod(m_out.Root().c_str(), 0777);
    chmod(m_config.Root().c_str(), 0777);
    chmod(m_tree.Path("Media/Sub/b.txt").c_str(), 0); // root reads anything: the run is an ordinary user's
    const CCliResult result = Run({"--checksums", "-o", Out("r.txt"), "--listing", "Media/"}, true);
    chmod(m_tree.Path("Media/Sub/b.txt").c_str(), 0644);
    EXPECT_EQ(result.status, 4) << result.err;
    EXPECT_EQ(result.err, "stowlist-cli: cannot read '" + m_tree.Path("Media/Sub/b.txt") +
                              "': Permission denied (left out of the checksums)\n");
    EXPECT_EQ(CTempTree::ReadFile(Out("r.sha256")), kA + "  a.txt\n");
    EXPECT_TRUE(CTempTree::Exists(Out("r.txt")));
}

TEST_F(CliChecksums, ReportBytesDoNotChangeWithTheOption) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--listing", "Media", "Other/c.txt"},
          std::vector<std::string>{"--listing", "--tabbed", "Media/"},
          std::vector<std::string>{"--archive", "--media-type", "CD", "--media-number", "1", "--archive-number",
                                   "1", "--single-archive", "Media", "Other"}}) {
        std::vector<std::string> with = args;
        with.insert(with.begin(), {"--checksums", "-o", Out("with.txt")});
        std::vector<std::string> without = args;
        without.insert(without.begin(), {"--no-checksums", "-o", Out("without.txt")});
        ASSERT_EQ(Run(with).status, 0);
        ASSERT_EQ(Run(without).status, 0);
        EXPECT_EQ(CTempTree::ReadFile(Out("with.txt")), CTempTree::ReadFile(Out("without.txt"))) << args[0];
        EXPECT_TRUE(CTempTree::Exists(Out("with.sha256")));
        EXPECT_FALSE(CTempTree::Exists(Out("without.sha256")));
    }
}

TEST_F(CliChecksums, StandardOutputNeedsManifest) {
    const CCliResult refused = Run({"--checksums", "--listing", "Media"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    const CCliResult written = Run({"--checksums", "--manifest", Out("m.sha256"), "--listing", "Media"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(CTempTree::ReadFile(Out("m.sha256")), kA + "  Media/a.txt\n" + kB + "  Media/Sub/b.txt\n");
}

TEST_F(CliChecksums, StoredSettingTurnsChecksumsOn) {
    m_config.WriteText("stowlist.INI", "[Catalogue]\r\nChecksums=1\r\n");
    const CCliResult result = Run({"-o", Out("r.txt"), "--listing", "Other"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(CTempTree::ReadFile(Out("r.sha256")), kC + "  Other/c.txt\n");
}

TEST_F(CliChecksums, ManifestJoinsTheCatalogueBesideItsReport) {
    const std::string catalogue = Out("c.sqlite");
    ASSERT_EQ(Run({"--catalogue", catalogue, "--checksums", "-o", Out("r.txt"), "--listing", "Other"}).status, 0);
    {
        CCatalogue opened(catalogue);
        ASSERT_TRUE(opened.Open(false));
        EXPECT_EQ(opened.ManifestOf(Out("r.txt")), Out("r.sha256"));
        EXPECT_EQ(opened.ManifestOf(Out("other.txt")), "");
    }
    // The report written again with its manifest elsewhere: the last one counts.
    ASSERT_EQ(Run({"--catalogue", catalogue, "--checksums", "--manifest", Out("elsewhere.sha256"), "-o", Out("r.txt"),
                   "--listing", "Other"})
                  .status,
              0);
    CCatalogue opened(catalogue);
    ASSERT_TRUE(opened.Open(false));
    EXPECT_EQ(opened.ManifestOf(Out("r.txt")), Out("elsewhere.sha256"));
}

} // namespace
