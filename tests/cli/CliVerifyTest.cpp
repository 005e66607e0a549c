#include "CliProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }

void SetTime(const std::string& path, std::int64_t mtime) {
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::string Summary(int ok, int changed, int missing, int added, int moved, int corrupt, int unreadable) {
    return "Checked " + std::to_string(ok + changed + missing + added + moved + corrupt + unreadable) +
           " entries: " + std::to_string(ok) + " ok, " + std::to_string(changed) + " changed, " +
           std::to_string(missing) + " missing, " + std::to_string(added) + " new, " + std::to_string(moved) +
           " moved, " + std::to_string(corrupt) + " corrupt, " + std::to_string(unreadable) + " unreadable\n";
}

// A dropped folder V, written as a report in `one/`, then checked there or
// in a copy in `two/`.
class CliVerify : public testing::Test {
protected:
    CliVerify() {
        for (const char* folder : {"one", "one/V", "one/V/a", "one/V/b"}) {
            m_tree.Folder(folder, Time());
        }
        Text("one/V/a/f1", "abc");
        Text("one/V/a/f2", "x");
        Text("one/V/b/g1", "g");
        Text("one/V/a/.h", "hidden");
        m_tree.Finish();
    }

    void Text(const std::string& relative, const std::string& text) {
        m_tree.WriteText(relative, text);
        SetTime(m_tree.Path(relative), Time());
    }

    CCliResult Run(const std::string& folder, std::vector<std::string> args,
                   std::vector<std::pair<std::string, std::string>> environment = {}, bool unprivileged = false,
                   rlim_t addressSpaceLimit = RLIM_INFINITY) const {
        CCliLaunch launch;
        launch.addressSpaceLimit = addressSpaceLimit;
        const bool verify = !args.empty() && args.front() == "verify";
        args.insert(args.begin() + (verify ? 1 : 0), {"--settings", m_config.Path("stowlist.INI")});
        if (!verify) {
            args.insert(args.begin(), "-q");
            if (std::find(args.begin(), args.end(), "--catalogue") == args.end()) {
                args.insert(args.begin(), "--no-catalogue");
            }
        }
        launch.args = args;
        launch.workingFolder = m_tree.Path(folder);
        launch.configHome = m_config.Path("xdg");
        launch.environment = std::move(environment);
        launch.unprivileged = unprivileged;
        return RunCli(launch);
    }
    std::string Out(const std::string& name) const { return m_out.Path(name); }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_out;
};

// One file of each kind: changed size, changed time, missing, moved,
// corrupt (same size and time, other bytes), unreadable, new.
TEST_F(CliVerify, EveryKindOfDifferenceInReportOrder) {
    Text("one/V/a/f3", "gone");
    Text("one/V/a/f4", "m");
    Text("one/V/a/f5", "good");
    Text("one/V/a/f6", "u");
    const CCliResult written = Run("one", {"--listing", "--tabbed", "--checksums", "-o", Out("r.txt"), "V"});
    ASSERT_EQ(written.status, 0) << written.err;

    Text("one/V/a/f1", "abcde");
    SetTime(m_tree.Path("one/V/a/f2"), Time() + 60);
    ASSERT_EQ(unlink(m_tree.Path("one/V/a/f3").c_str()), 0);
    ASSERT_EQ(rename(m_tree.Path("one/V/a/f4").c_str(), m_tree.Path("one/V/b/f4").c_str()), 0);
    Text("one/V/a/f5", "evil");
    Text("one/V/b/n1", "new");
    for (const char* folder : {"", "one", "one/V", "one/V/a", "one/V/b"}) {
        chmod((m_tree.Root() + "/" + folder).c_str(), 0755);
    }
    chmod(m_out.Root().c_str(), 0755);
    chmod(m_config.Root().c_str(), 0777);
    chmod(m_tree.Path("one/V/a/f6").c_str(), 0); // root reads anything: the check runs as an ordinary user
    const CCliResult checked = Run("one", {"verify", Out("r.txt"), "V"}, {}, true);
    chmod(m_tree.Path("one/V/a/f6").c_str(), 0644);

    EXPECT_EQ(checked.status, 1) << checked.err;
    EXPECT_EQ(checked.err, "");
    EXPECT_EQ(checked.out,
              "changed\tV/a/f1\tsize 3 -> 5\n"
              "changed\tV/a/f2\ttime 14:07:09 -> 14:08:09\n"
              "missing\tV/A/F3\t\n"
              "moved\tV/b/f4\tV/A\n"
              "corrupt\tV/a/f5\tsha256 770e607624d689265ca6c44884d0807d9b054d23c473c106c72be9de08b7376c -> "
              "b5c1fb2efc6d6b4674c2fdcc48ce01b43a3b7c03763c0c3355de0099ee0f8c73\n"
              "unreadable\tV/a/f6\tPermission denied\n"
              "new\tV/b/n1\t\n" +
                  Summary(4, 2, 1, 1, 1, 1, 1));
}

struct CleanCase {
    const char* name;
    std::vector<std::string> report; // options and PATHs of the report run
    std::vector<std::string> verify; // options and PATHs of the check
    int entries;
};

class CleanCopy : public CliVerify, public testing::WithParamInterface<CleanCase> {};

// The report's base maps onto wherever the medium is now.
TEST_P(CleanCopy, VerifiesWithoutADifference) {
    const auto withLog = [&](std::vector<std::string> args) {
        std::replace(args.begin(), args.end(), std::string("LOG"), Out("log.txt"));
        return args;
    };
    std::vector<std::string> report = withLog(GetParam().report);
    report.insert(report.begin(), {"-o", Out("r.txt")});
    const CCliResult written = Run("one", report);
    ASSERT_EQ(written.status, 0) << written.err;
    ASSERT_EQ(std::system(("cp -a '" + m_tree.Path("one") + "' '" + m_tree.Path("two") + "'").c_str()), 0);

    std::vector<std::string> verify = withLog(GetParam().verify);
    verify.insert(verify.begin(), {"verify", "--all", Out("r.txt")});
    const CCliResult checked = Run("two", verify);
    EXPECT_EQ(checked.status, 0) << checked.err << checked.out;
    EXPECT_EQ(checked.err, "");
    const std::string summary = Summary(GetParam().entries, 0, 0, 0, 0, 0, 0);
    ASSERT_GE(checked.out.size(), summary.size());
    EXPECT_EQ(checked.out.substr(checked.out.size() - summary.size()), summary) << checked.out;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CleanCopy,
    testing::Values(
        CleanCase{"TabbedListingWithChecksums", {"--listing", "--tabbed", "--checksums", "V"}, {"V"}, 6},
        CleanCase{"PaddedListingOfAWholeMedium", {"--listing", "--padded", "V/"}, {"V/"}, 5},
        // Without its "/", a folder is checked as the medium the report is of.
        CleanCase{"WholeMediumCopiedIntoAFolder", {"--listing", "V/"}, {"V"}, 5},
        CleanCase{"WholeMediumAsAnArchive",
                  {"--archive", "--media-type", "cd", "--media-number", "1", "--archive-number", "1",
                   "--multiple-archives", "--log", "LOG", "V/"},
                  {"--log", "LOG", "V"},
                  3},
        CleanCase{"FoldersOnly", {"--listing", "--dirs-only", "V"}, {"V"}, 3},
        // The settings exclude hidden entries and take sub-folders: the report says otherwise.
        CleanCase{"HiddenEntriesAsTheReportShowsThem", {"--listing", "--include-hidden", "V"}, {"V"}, 7},
        CleanCase{"SubFoldersAsTheReportShowsThem", {"--listing", "--no-subfolders", "V"}, {"V"}, 1},
        CleanCase{"ArchiveWithoutLog", {"--archive", "V"}, {"V"}, 3},
        CleanCase{"ArchiveWithItsLog",
                  {"--archive", "--media-type", "cd", "--media-number", "1", "--archive-number", "1",
                   "--multiple-archives", "--log", "LOG", "V/a", "V/b"},
                  {"--log", "LOG", "V/a", "V/b"},
                  3}),
    [](const testing::TestParamInfo<CleanCase>& info) { return info.param.name; });

// Dates written in another locale or time zone are named, on standard error.
TEST_F(CliVerify, ReportFromAnotherLocaleOrTimeZoneGivesAHint) {
    struct Case {
        std::pair<std::string, std::string> written, checked;
        int status;
        std::string hint;
    };
    const std::vector<Case> cases = {
        {{"LC_ALL", "de_DE.UTF-8"},
         {"LC_ALL", "C.UTF-8"},
         0,
         "stowlist-cli verify: the report's dates are not in the form of this locale (C.UTF-8); dates look like "
         "de_DE.UTF-8: run with LC_TIME=de_DE.UTF-8; comparing names and sizes only\n"},
        {{"TZ", "UTC0"},
         {"TZ", "UTC-2"},
         1,
         "stowlist-cli verify: the report's times are all 2 hours behind the files': it was probably written in "
         "another time zone (UTC); run with TZ=UTC0\n"},
    };
    for (const Case& c : cases) {
        const CCliResult written = Run("one", {"--listing", "-o", Out("r.txt"), "V"}, {c.written});
        ASSERT_EQ(written.status, 0) << written.err;
        const CCliResult checked = Run("one", {"verify", Out("r.txt"), "V"}, {c.checked});
        EXPECT_EQ(checked.status, c.status) << checked.out;
        EXPECT_EQ(checked.err, c.hint);
    }
}

// A report of this locale whose every file has been touched since: its
// dates are not taken for another locale's (en_US writes them in the same
// form), and every file is changed.
TEST_F(CliVerify, EveryFileTouchedSinceIsChangedNotAnotherLocale) {
    const CCliResult written = Run("one", {"--listing", "-o", Out("r.txt"), "V"});
    ASSERT_EQ(written.status, 0) << written.err;
    for (const char* file : {"one/V/a/f1", "one/V/a/f2", "one/V/b/g1"}) {
        SetTime(m_tree.Path(file), Time() + 86400 * 14);
    }
    const CCliResult checked = Run("one", {"verify", Out("r.txt"), "V"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.err, "");
    EXPECT_EQ(checked.out, "changed\tV/a/f1\tdate 03/05/26 -> 03/19/26\n"
                           "changed\tV/a/f2\tdate 03/05/26 -> 03/19/26\n"
                           "changed\tV/b/g1\tdate 03/05/26 -> 03/19/26\n" +
                               Summary(3, 3, 0, 0, 0, 0, 0));
}

// An archive report is matched within each archive's folder when its log is
// known, here from the catalogue that the report joined; without it, by name.
TEST_F(CliVerify, ArchiveLogFromTheCatalogueFindsAFileMovedToAnotherArchive) {
    const CCliResult written =
        Run("one", {"--archive", "--media-type", "cd", "--media-number", "1", "--archive-number", "1",
                    "--multiple-archives", "--catalogue", Out("c.sqlite"), "-o", Out("r.txt"), "V/a", "V/b"});
    ASSERT_EQ(written.status, 0) << written.err;
    ASSERT_EQ(rename(m_tree.Path("one/V/a/f1").c_str(), m_tree.Path("one/V/b/f1").c_str()), 0);

    const CCliResult withLog = Run("one", {"verify", "--catalogue", Out("c.sqlite"), Out("r.txt"), "V/a", "V/b"});
    EXPECT_EQ(withLog.status, 1) << withLog.err;
    EXPECT_EQ(withLog.out, "moved\tb/f1\ta\n" + Summary(2, 0, 0, 0, 1, 0, 0));
    const CCliResult byName = Run("one", {"verify", "--catalogue", Out("none.sqlite"), Out("r.txt"), "V/a", "V/b"});
    EXPECT_EQ(byName.status, 0) << byName.err;
    EXPECT_EQ(byName.out, Summary(3, 0, 0, 0, 0, 0, 0));
}

TEST_F(CliVerify, ReportOrPathThatCannotBeReadIsStatusThree) {
    const CCliResult written = Run("one", {"--listing", "-o", Out("r.txt"), "V"});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(Run("one", {"verify", Out("none.txt"), "V"}).status, 3);
    EXPECT_EQ(Run("one", {"verify", Out("r.txt"), "W"}).status, 3);
    EXPECT_EQ(Run("one", {"verify", Out("r.txt")}).status, 2);
}

// A report that goes bad after 300 KB of good archive lines: line feeds by
// the million, then one more line. Read in bounded memory and refused at its
// first bad line, the walk begun meanwhile stopped: status 3 with the reason.
TEST_F(CliVerify, DamagedLargeReportIsRefusedWithItsFirstBadLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#endif
    const std::string line = "f1\t3\t05.03.26\t14:07:09\tCD01-01\n";
    std::string good;
    std::size_t lines = 0;
    for (; good.size() < 300 * 1024; ++lines) {
        good += line;
    }
    const std::string path = Out("big.txt");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(good.data(), 1, good.size(), file);
    const std::string feeds(std::size_t{1} << 20, '\n');
    for (int i = 0; i < 64; ++i) {
        std::fwrite(feeds.data(), 1, feeds.size(), file);
    }
    std::fwrite(line.data(), 1, line.size(), file);
    ASSERT_EQ(std::fclose(file), 0);
    // Far more than the report's entries need, far less than an entry for each line feed.
    const CCliResult result = Run("one", {"verify", path, "V"}, {}, false, rlim_t{1} << 30);
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "stowlist-cli verify: " + path + ": not a report (line " + std::to_string(lines + 1) +
                              ": not an archive report line)\n");
}

struct StaleCase {
    const char* name;
    std::vector<std::string> first;  // the report run with checksums
    std::vector<std::string> second; // the report run that rewrites the report without them
    bool oldManifestBack;            // the first manifest put back beside the report, 10 s older than it
    std::vector<std::string> verify; // options of the check
    int status;
    bool corrupt;                    // f1 shown corrupt: the first manifest was used
    bool ignoredLine;                // the check says it left the manifest aside
};

class StaleManifest : public CliVerify, public testing::WithParamInterface<StaleCase> {};

void PrintTo(const StaleCase& c, std::ostream* out) { *out << c.name; }

// A report rewritten without checksums after a file changed: the manifest
// of the first report, beside it or remembered by the catalogue, is not taken
// for the new one, unless named.
TEST_P(StaleManifest, IsNotTakenForTheRewrittenReport) {
    const StaleCase& c = GetParam();
    const auto expand = [&](std::vector<std::string> args) {
        for (std::string& arg : args) {
            if (arg.rfind("OUT/", 0) == 0) {
                arg = Out(arg.substr(4));
            }
        }
        return args;
    };
    const CCliResult first = Run("one", expand(c.first));
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string manifest = c.oldManifestBack ? CTempTree::ReadFile(Out("r.sha256")) : std::string();
    Text("one/V/a/f1", "abcde");
    const CCliResult second = Run("one", expand(c.second));
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(CTempTree::Exists(Out("r.sha256")));
    if (c.oldManifestBack) {
        m_out.WriteText("r.sha256", manifest);
        struct stat report {};
        ASSERT_EQ(stat(Out("r.txt").c_str(), &report), 0);
        SetTime(Out("r.sha256"), report.st_mtim.tv_sec - 10);
    }
    std::vector<std::string> verify = expand(c.verify);
    verify.insert(verify.begin(), "verify");
    verify.insert(verify.end(), {Out("r.txt"), "V"});
    const CCliResult checked = Run("one", verify);
    EXPECT_EQ(checked.status, c.status) << checked.err;
    EXPECT_EQ(checked.out, c.corrupt ? "corrupt\tV/a/f1\tsha256 "
                                       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad -> "
                                       "36bbe50ed96841d10443bcb670d6554f0a34b761be67ec9c4a8ad2c0c44ca42c\n" +
                                           Summary(5, 0, 0, 0, 0, 1, 0)
                                     : Summary(6, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(checked.err, c.ignoredLine ? "stowlist-cli verify: " + Out("r.sha256") +
                                               ": the manifest is older than its report and is ignored "
                                               "(pass --manifest to use it)\n"
                                         : "");
}

INSTANTIATE_TEST_SUITE_P(
    Rewrites, StaleManifest,
    testing::Values(
        StaleCase{"beside", {"--listing", "--checksums", "-o", "OUT/r.txt", "V"},
                  {"--listing", "--no-checksums", "-o", "OUT/r.txt", "V"}, false, {}, 0, false, false},
        StaleCase{"rememberedByTheCatalogue",
                  {"--listing", "--checksums", "--manifest", "OUT/m.sha256", "--catalogue", "OUT/c.sqlite", "-o",
                   "OUT/r.txt", "V"},
                  {"--listing", "--catalogue", "OUT/c.sqlite", "-o", "OUT/r.txt", "V"}, false,
                  {"--catalogue", "OUT/c.sqlite"}, 0, false, false},
        StaleCase{"olderThanItsReport", {"--listing", "--checksums", "-o", "OUT/r.txt", "V"},
                  {"--listing", "-o", "OUT/r.txt", "V"}, true, {}, 0, false, true},
        StaleCase{"olderButNamed", {"--listing", "--checksums", "-o", "OUT/r.txt", "V"},
                  {"--listing", "-o", "OUT/r.txt", "V"}, true, {"--manifest", "OUT/r.sha256"}, 1, true, false}),
    [](const testing::TestParamInfo<StaleCase>& info) { return std::string(info.param.name); });

} // namespace
