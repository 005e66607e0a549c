#include "CliProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::int64_t Time() { return LocalTime(2021, 6, 15, 14, 30, 0); }

void SetTime(const std::string& path, std::int64_t mtime) {
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A dropped folder V in `one/`, written as reports before and after changes.
class CliCompare : public testing::Test {
protected:
    CliCompare() {
        for (const char* folder : {"one", "one/V", "one/V/a", "one/V/b", "one/V/b/d"}) {
            m_tree.Folder(folder, Time());
        }
        for (const auto& [file, text] : std::vector<std::pair<std::string, std::string>>{
                 {"a/f1", "abc"}, {"a/f2", "x"}, {"a/f3", "gone"}, {"b/g1", "g"},
                 {"b/r1", "renamed"}, {"b/c1", "good"}, {"b/d/x1", "deep"}}) {
            Text("one/V/" + file, text);
        }
        m_tree.Finish();
    }

    void Text(const std::string& relative, const std::string& text) {
        m_tree.WriteText(relative, text);
        SetTime(m_tree.Path(relative), Time());
    }

    CCliResult Run(const std::string& folder, std::vector<std::string> args,
                   std::vector<std::pair<std::string, std::string>> environment = {}) const {
        CCliLaunch launch;
        if (args.front() != "compare") {
            args.insert(args.begin(), {"--settings", m_config.Path("stowlist.INI"), "-q", "--no-catalogue"});
        }
        launch.args = args;
        launch.workingFolder = m_tree.Path(folder);
        launch.configHome = m_config.Path("xdg");
        launch.environment = std::move(environment);
        return RunCli(launch);
    }
    void Write(const std::string& folder, std::vector<std::string> args, const std::string& report,
               std::vector<std::pair<std::string, std::string>> environment = {}) const {
        args.insert(args.begin(), {"-o", Out(report)});
        const CCliResult written = Run(folder, args, std::move(environment));
        ASSERT_EQ(written.status, 0) << written.err;
    }
    std::string Out(const std::string& name) const { return m_out.Path(name); }

    CTempTree m_tree;
    CTempTree m_config;
    CTempTree m_out;
};

// A change of every kind between two listings with manifests, through the
// account, the folder totals and the same pair without digests.
TEST_F(CliCompare, EveryKindOfChangeBetweenTwoListings) {
    Write("one", {"--listing", "--tabbed", "--checksums", "V"}, "old.txt");
    Text("one/V/a/f1", "abcde");                               // size
    SetTime(m_tree.Path("one/V/a/f2"), Time() + 60);           // time only
    ASSERT_EQ(unlink(m_tree.Path("one/V/a/f3").c_str()), 0);  // deleted
    Text("one/V/b/n1", "new");                                 // added
    ASSERT_EQ(rename(m_tree.Path("one/V/b/d").c_str(), m_tree.Path("one/V/d").c_str()), 0); // folder moved
    ASSERT_EQ(rename(m_tree.Path("one/V/b/r1").c_str(), m_tree.Path("one/V/b/r2").c_str()), 0); // renamed
    Text("one/V/b/c1", "evil");                                // corrupt, its time put back
    Write("one", {"--listing", "--tabbed", "--checksums", "V"}, "new.txt");

    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const std::vector<Case> cases = {
        // New entries after those of their folder in OLD's order (V's: A and B, both ok).
        {{},
         "new\tV/D\t\n"
         "changed\tV/A/F1\tsize 3 -> 5\n"
         "changed\tV/A/F2\ttime 14:30:00 -> 14:31:00\n"
         "missing\tV/A/F3\t\n"
         "missing\tV/B/D\t\n"
         "corrupt\tV/B/C1\tsha256 770e607624d689265ca6c44884d0807d9b054d23c473c106c72be9de08b7376c -> "
         "b5c1fb2efc6d6b4674c2fdcc48ce01b43a3b7c03763c0c3355de0099ee0f8c73\n"
         "moved\tV/B/R2\tV/B/R1\n"
         "new\tV/B/N1\t\n"
         "moved\tV/D/X1\tV/B/D/X1\n"
         "Compared 11 entries: 4 ok, 2 changed, 2 missing, 2 new, 2 moved, 1 corrupt\n"},
        {{"--folders"},
         ".\t7\t7\t24\t25\n"
         "V\t7\t7\t24\t25\n"
         "V/A\t3\t2\t8\t6\n"
         "V/B\t4\t4\t16\t15\n"
         "V/B/D\t1\t0\t4\t0\n"
         "V/D\t0\t1\t0\t4\n"},
        // Without digests the renamed file is gone and new, the corrupt one ok.
        {{"--no-checksums"},
         "new\tV/D\t\n"
         "changed\tV/A/F1\tsize 3 -> 5\n"
         "changed\tV/A/F2\ttime 14:30:00 -> 14:31:00\n"
         "missing\tV/A/F3\t\n"
         "missing\tV/B/D\t\n"
         "missing\tV/B/R1\t\n"
         "new\tV/B/N1\t\n"
         "new\tV/B/R2\t\n"
         "moved\tV/D/X1\tV/B/D/X1\n"
         "Compared 11 entries: 5 ok, 2 changed, 3 missing, 3 new, 1 moved, 0 corrupt\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"compare"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {Out("old.txt"), Out("new.txt")});
        const CCliResult compared = Run("one", args);
        EXPECT_EQ(compared.status, 1) << compared.err;
        EXPECT_EQ(compared.err, "");
        EXPECT_EQ(compared.out, c.out) << c.options.size();
    }
}

// The same tree catalogued under two mount points, or in two locales'
// forms, compares clean.
TEST_F(CliCompare, SameTreeElsewhereOrInAnotherLocaleComparesClean) {
    ASSERT_EQ(std::system(("cp -a '" + m_tree.Path("one") + "' '" + m_tree.Path("two") + "'").c_str()), 0);
    struct Case {
        const char* name;
        std::vector<std::string> report;
        std::string oldLocale, newLocale;
        std::vector<std::string> compare;
        std::string summary;
    };
    const std::vector<Case> cases = {
        {"listings", {"--listing", "--tabbed", "V"}, "C.UTF-8", "C.UTF-8", {}, "Compared 11 entries: 11 ok"},
        {"padded against tabbed", {"--listing", "V"}, "C.UTF-8", "C.UTF-8", {}, "Compared 11 entries: 11 ok"},
        {"archives with their logs",
         {"--archive", "--log", "LOG", "V/a", "V/b"},
         "C.UTF-8",
         "C.UTF-8",
         {"--old-log", Out("old.txt.log"), "--new-log", Out("new.txt.log")},
         "Compared 7 entries: 7 ok"},
        {"de_DE against en_US", {"--listing", "--tabbed", "V"}, "de_DE.UTF-8", "en_US.UTF-8", {},
         "Compared 11 entries: 11 ok"},
    };
    for (const Case& c : cases) {
        for (const auto& [folder, report, locale] : {std::tuple{"one", "old.txt", c.oldLocale},
                                                     std::tuple{"two", "new.txt", c.newLocale}}) {
            std::vector<std::string> args = c.report;
            for (std::string& arg : args) {
                arg = arg == "LOG" ? Out(std::string(report) + ".log") : arg;
            }
            if (std::string(c.name) == "padded against tabbed" && std::string(folder) == "two") {
                args.insert(args.begin(), "--tabbed");
            }
            Write(folder, args, report, {{"LC_ALL", locale}});
        }
        std::vector<std::string> args{"compare"};
        args.insert(args.end(), c.compare.begin(), c.compare.end());
        args.insert(args.end(), {Out("old.txt"), Out("new.txt")});
        const CCliResult compared = Run("one", args);
        EXPECT_EQ(compared.status, 0) << c.name << compared.err;
        EXPECT_EQ(compared.err, "") << c.name;
        EXPECT_EQ(compared.out, c.summary + ", 0 changed, 0 missing, 0 new, 0 moved, 0 corrupt\n") << c.name;
    }
}

// Names within a folder are found by their hashes: two names of one hash
// (with this library's std::hash) are still two files, and a file renamed
// from one to the other is gone and new, not unchanged.
TEST_F(CliCompare, NamesOfOneHashAreStillTwoNames) {
    m_tree.Folder("one/V/h", Time());
    Text("one/V/h/file 6077.txt", "same");
    Text("one/V/h/kept.txt", "kept");
    const std::vector<std::string> archive{"--archive", "--log", Out("old.txt.log"), "V/h"};
    Write("one", archive, "old.txt");
    ASSERT_EQ(rename(m_tree.Path("one/V/h/file 6077.txt").c_str(), m_tree.Path("one/V/h/file 13160.txt").c_str()), 0);
    Write("one", {"--archive", "--log", Out("new.txt.log"), "V/h"}, "new.txt");
    const struct {
        std::vector<std::string> logs;
        std::string folder; // the archive's, as a path shows it: without the logs there is none
    } cases[] = {
        {{"--old-log", Out("old.txt.log"), "--new-log", Out("new.txt.log")}, "h/"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"compare"};
        args.insert(args.end(), c.logs.begin(), c.logs.end());
        args.insert(args.end(), {Out("old.txt"), Out("new.txt")});
        const CCliResult compared = Run("one", args);
        EXPECT_EQ(compared.status, 1) << compared.err;
        EXPECT_EQ(compared.out, "missing\t" + c.folder + "file 6077.txt\t\n" + "new\t" + c.folder +
                                    "file 13160.txt\t\n"
                                    "Compared 2 entries: 1 ok, 0 changed, 1 missing, 1 new, 0 moved, 0 corrupt\n")
            << c.folder;
    }
}

} // namespace
