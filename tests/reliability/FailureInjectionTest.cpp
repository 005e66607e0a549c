// Faults from outside: full disks, folders that vanish or refuse writes,
// settings files that are not files, and a process killed in mid-write.
// Whatever happens, an earlier file stays whole and nothing half-written
// takes its place.
#include "AtomicFile.h"
#include "CliProcess.h"
#include "EngineFixture.h"
#include "TempTree.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef STOWLIST_CLI
#error "STOWLIST_CLI must name the stowlist-cli binary"
#endif

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Faults : public testing::Test {
protected:
    Faults() {
        chmod(m_tree.Root().c_str(), 0755);
        m_tree.Folder("data", 0);
        m_tree.File("data/a.txt", 10, 0);
        m_tree.Folder("out", 0);
        chmod(m_tree.Path("out").c_str(), 0777);
        m_tree.Finish();
    }
    CCliResult Run(std::vector<std::string> args, bool unprivileged = false) {
        CCliLaunch launch;
        launch.args = std::move(args);
        launch.args.push_back(m_tree.Path("data"));
        launch.workingFolder = m_tree.Root();
        launch.configHome = m_tree.Path("out");
        launch.unprivileged = unprivileged;
        return RunCli(launch);
    }
    CTempTree m_tree;
};

TEST_F(Faults, ReportToAFullDevice) {
    const CCliResult result = Run({"--settings", m_tree.Path("out/s.INI"), "-o", "/dev/full"});
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("/dev/full"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
}

TEST_F(Faults, ReportIntoAReadOnlyFolder) {
    m_tree.Folder("out/locked", 0);
    chmod(m_tree.Path("out/locked").c_str(), 0555);
    const CCliResult result =
        Run({"--settings", m_tree.Path("out/s.INI"), "-o", m_tree.Path("out/locked/report.txt")}, true);
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
    EXPECT_EQ(FolderEntries(m_tree.Path("out/locked")), std::vector<std::string>{});
}

// Settings files that cannot be what they should: a listing still runs on
// the defaults (it never writes the settings), an archive report, which
// must store its numbering, refuses to start; neither damages anything.
TEST_F(Faults, SettingsThatAreNotAWritableFile) {
    m_tree.WriteText("out/readonly.INI", "[Options]\nFormatFileSize=0\n");
    chmod(m_tree.Path("out/readonly.INI").c_str(), 0444);
    m_tree.Folder("out/folder.INI", 0);
    m_tree.Symlink("out/full.INI", "/dev/full", 0);
    for (const char* name : {"readonly.INI", "folder.INI", "full.INI"}) {
        SCOPED_TRACE(name);
        const std::string settings = m_tree.Path(std::string("out/") + name);
        const std::string report = m_tree.Path(std::string("out/") + name + ".txt");
        const CCliResult listing = Run({"--settings", settings, "-o", report}, true);
        EXPECT_EQ(listing.status, 0) << listing.err;
        EXPECT_TRUE(CTempTree::Exists(report));
        const CCliResult archive = Run({"--settings", settings, "--archive", "-o", report + ".archive"}, true);
        EXPECT_EQ(archive.status, 3);
        EXPECT_NE(archive.err.find("cannot write the settings file"), std::string::npos) << archive.err;
        EXPECT_FALSE(CTempTree::Exists(report + ".archive"));
    }
    EXPECT_EQ(m_tree.ReadText("out/readonly.INI"), "[Options]\nFormatFileSize=0\n");
    EXPECT_EQ(FolderEntries(m_tree.Path("out")),
              (std::vector<std::string>{"folder.INI", "folder.INI.lock", "folder.INI.txt", "full.INI",
                                        "full.INI.lock", "full.INI.txt", "readonly.INI", "readonly.INI.lock",
                                        "readonly.INI.txt"}));
}

// The folder of the report vanishes (is moved away) while the report is
// written: the export fails with a clear message, and no temporary file is
// left behind wherever the folder went.
TEST(FaultsInExport, FolderMovedAwayBeforeTheRename) {
    CEngineFixture f;
    f.m_tree.Folder("data", 0);
    f.m_tree.File("data/a.txt", 1, 0);
    f.m_tree.Folder("target", 0);
    f.SetOption(Option::ExportData, 0);
    ASSERT_EQ(f.Drop({"data"}), DropOutcome::Sorting);
    const std::string target = f.m_tree.Path("target");
    const std::string moved = f.m_tree.Path("moved");
    f.m_host.m_onStatus = [&](const std::string& text) {
        if (text.find("Exported") != std::string::npos && CTempTree::Exists(target)) {
            ASSERT_EQ(rename(target.c_str(), moved.c_str()), 0);
        }
    };
    f.m_host.m_saveAsAnswers.push_back(target + "/report.txt");
    f.m_engine->ExportCatalogue();
    ASSERT_EQ(f.m_host.m_boxes.size(), 1u);
    EXPECT_EQ(f.m_host.m_boxes[0].text, target + "/report.txt contains an invalid path.");
    EXPECT_EQ(FolderEntries(moved), std::vector<std::string>{});
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 0); // the catalogue can still be exported
}

// A file written in many pieces, its write-back started chunk by chunk as it
// grows: what is in place afterwards is exactly what was written, and a
// write refused in the middle (the file size limit here, as a full disk
// would refuse it) fails, keeps the earlier file whole and leaves no
// temporary file behind.
TEST(FaultsInWriteBack, LargeFilesArriveWholeOrNotAtAll) {
    constexpr std::uint64_t kChunk = CAtomicFile::kWriteBackChunk;
    struct Case {
        std::uint64_t size;
        std::size_t piece;  // bytes per Write
        std::uint64_t limit; // file size limit, 0 for none
    };
    const Case cases[] = {
        {0, 1, 0},
        {kChunk - 1, std::size_t{1} << 20, 0},
        {kChunk + 1, 65536 + 3, 0},
        {3 * kChunk + 12345, (std::size_t{1} << 20) + 7, 0},
        {3 * kChunk, std::size_t{1} << 20, kChunk + 3 * 4096 + 5},
        {3 * kChunk, 4093, 2 * kChunk},
        {kChunk / 2, 1000, 100},
    };
    const std::string oldText = "the earlier file\r\n";
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN); // EFBIG instead of the signal
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << ", pieces of " << c.piece << ", limit " << c.limit);
        CTempTree tree;
        tree.WriteText("report.txt", oldText);
        std::string bytes(c.size, '\0');
        std::uint32_t state = static_cast<std::uint32_t>(c.size) ^ 0x9e3779b9u;
        for (char& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>(state >> 24);
        }
        CAtomicFile file;
        ASSERT_TRUE(file.Open(tree.Path("report.txt")));
        if (c.limit != 0) {
            struct rlimit limited = saved;
            limited.rlim_cur = c.limit;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        }
        bool written = true;
        for (std::size_t at = 0; at < bytes.size() && written; at += c.piece) {
            written = file.Write(std::string_view(bytes).substr(at, c.piece));
        }
        const int error = file.LastError();
        const bool committed = written && file.Commit();
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
        if (c.limit == 0) {
            EXPECT_TRUE(committed);
            EXPECT_TRUE(tree.ReadText("report.txt") == bytes) << "the file differs from what was written";
        } else {
            EXPECT_FALSE(written);
            EXPECT_EQ(error, EFBIG);
            file.Abandon();
            EXPECT_EQ(tree.ReadText("report.txt"), oldText);
        }
        EXPECT_EQ(FolderEntries(tree.Root()), std::vector<std::string>{"report.txt"});
    }
    signal(SIGXFSZ, previousHandler);
}

// Starts stowlist-cli with `home` as its home and kills it with SIGKILL after
// `delay`, unless it has ended by then.
void RunAndKill(const std::vector<std::string>& args, const std::string& home, std::chrono::microseconds delay) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<std::string> all{STOWLIST_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + delay;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
            return; // finished before its time was up
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
}

// Killed at random points while it writes a report over an earlier one and
// the settings file over its old contents: each file is afterwards either
// whole and old or whole and new, never a mix.
TEST(FaultsKilled, FilesAreOldOrNewNeverAMix) {
    CTempTree tree;
    tree.Folder("data", 0);
    for (int folder = 0; folder < 40; ++folder) {
        const std::string name = "data/f" + std::to_string(folder);
        tree.Folder(name, 0);
        for (int file = 0; file < 250; ++file) {
            tree.File(name + "/entry-" + std::to_string(file) + ".bin", static_cast<std::uint64_t>(file), 0);
        }
    }
    tree.Finish();
    tree.Folder("home", 0);
    const std::string settings = tree.Path("s.INI");
    const std::string report = tree.Path("report.txt");
    const std::vector<std::string> args = {"--settings", settings, "--archive", "--media-type", "zip",
                                           "--multiple-archives", "-o", report, tree.Path("data")};
    // The complete results, for comparison.
    const std::string oldSettings = "[Archive Options]\nMediaNumber=3\nArchiveNumber=1\nMultipleArchive=1\nMediaType=ZIP\n";
    const std::string oldReport = "an earlier report\r\n";
    tree.WriteText("s.INI", oldSettings);
    const auto started = std::chrono::steady_clock::now();
    RunAndKill(args, tree.Path("home"), std::chrono::seconds(20)); // long enough to finish
    // Kill points spread over the time a whole run takes here.
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::min<std::chrono::steady_clock::duration>(std::chrono::steady_clock::now() - started,
                                                      std::chrono::seconds(20)));
    const std::string newReport = tree.ReadText("report.txt");
    const std::string newSettings = tree.ReadText("s.INI");
    ASSERT_NE(newReport.find("entry-249.bin"), std::string::npos);
    ASSERT_NE(newSettings, oldSettings);

    std::mt19937 random(2026);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 50; ++round) {
        tree.WriteText("s.INI", oldSettings);
        tree.WriteText("report.txt", oldReport);
        RunAndKill(args, tree.Path("home"), std::chrono::microseconds(random() % (span.count() + 1)));
        const std::string reportNow = tree.ReadText("report.txt");
        const std::string settingsNow = tree.ReadText("s.INI");
        EXPECT_TRUE(reportNow == oldReport || reportNow == newReport) << "round " << round;
        // The four keys are written together, before the walk (unchanged here) and at the end.
        EXPECT_TRUE(settingsNow == oldSettings || settingsNow == newSettings) << "round " << round << ": "
                                                                               << settingsNow;
        (reportNow == oldReport ? sawOld : sawNew) += 1;
    }
    // Temporary files of killed runs may stay behind (nothing can remove
    // them), but never under the report's own name.
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

} // namespace
