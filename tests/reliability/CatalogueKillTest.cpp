// A catalogue writer killed at random points of an add (its segment, then
// a merge) and of a compaction: the catalogue opens, every report is
// wholly in its committed index or wholly out, and after the next write no
// segment file is left that the database does not list.
#include "Catalogue.h"
#include "SegmentReader.h"
#include "SegmentSearch.h"
#include "TempTree.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef STOWLIST_CLI
#error "STOWLIST_CLI must name the stowlist-cli binary"
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 3000;

// Runs stowlist-cli and kills it with SIGKILL after `delay` unless it ended.
void RunAndKill(const std::vector<std::string>& args, std::chrono::microseconds delay) {
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
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + delay;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
}

void WriteReport(CTempTree& tree, const std::string& relative, int number) {
    std::string text;
    for (int line = 0; line < kLines; ++line) {
        text += "file" + std::to_string(number) + "-" + std::to_string(line) + ".dat\t" + std::to_string(line) +
                "\t1/2/03\t4:05\tCD" + std::to_string(10 + number) + "-01\n";
    }
    tree.WriteText(relative, text);
}

// The segments the database lists, with the reports each hides.
std::map<std::string, std::vector<std::int64_t>> Listed(const std::string& db) {
    std::map<std::string, std::vector<std::int64_t>> listed;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* all = nullptr;
        sqlite3_prepare_v2(handle, "SELECT name FROM segments", -1, &all, nullptr);
        while (sqlite3_step(all) == SQLITE_ROW) {
            listed[reinterpret_cast<const char*>(sqlite3_column_blob(all, 0))];
        }
        sqlite3_finalize(all);
        sqlite3_prepare_v2(handle, "SELECT segment, source FROM hidden", -1, &all, nullptr);
        while (sqlite3_step(all) == SQLITE_ROW) {
            listed[reinterpret_cast<const char*>(sqlite3_column_blob(all, 0))].push_back(sqlite3_column_int64(all, 1));
        }
        sqlite3_finalize(all);
    }
    sqlite3_close(handle);
    return listed;
}

std::vector<std::string> SegmentFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        if (name.rfind("catalogue.sqlite-seg-", 0) == 0) {
            names.push_back(name.substr(17));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Entries of each report in the index as committed: every report must
// have all its lines or none.
std::string CommittedCounts(const std::string& folder) {
    std::vector<CLiveSegment> live;
    for (const auto& [name, hidden] : Listed(folder + "/catalogue.sqlite")) {
        live.push_back({CSegmentReader::Open(folder + "/" + name), hidden});
        if (!live.back().m_pReader) {
            return name + " is listed but cannot be read";
        }
    }
    const CSegmentSearch search(std::move(live));
    CFindQuery all;
    all.m_strGlob = "*";
    const std::atomic<bool> cancel{false};
    std::map<std::string, int> counts;
    for (const CFindHit& hit : search.Search(all, SIZE_MAX, cancel).m_arrHits) {
        ++counts[hit.m_strReport];
    }
    std::string partial;
    for (const auto& [report, count] : counts) {
        if (count != kLines) {
            partial += report + ": " + std::to_string(count) + " entries\n";
        }
    }
    return partial;
}

TEST(CatalogueKilled, ReportsWhollyInOrOutAndNoOrphanAfterTheNextWrite) {
    CTempTree tree;
    for (int r = 0; r < 7; ++r) {
        WriteReport(tree, "one" + std::to_string(r) + ".txt", r);
    }
    tree.Folder("more", 0);
    for (int r = 7; r < 10; ++r) {
        WriteReport(tree, "more/r" + std::to_string(r) + ".txt", r);
    }
    tree.Folder("base", 0);
    tree.Folder("work", 0);
    const std::string base = tree.Path("base");
    const std::string work = tree.Path("work");
    // Seven adds: seven small segments, one short of a merge.
    for (int r = 0; r < 7; ++r) {
        RunAndKill({"catalogue", "--catalogue", base + "/catalogue.sqlite", "add", tree.Path("one" + std::to_string(r) + ".txt")},
                   std::chrono::seconds(60));
    }
    ASSERT_EQ(SegmentFiles(base).size(), 7u);
    const auto restore = [&] {
        fs::remove_all(work);
        fs::copy(base, work);
    };
    const std::string db = work + "/catalogue.sqlite";
    const std::vector<std::vector<std::string>> operations = {
        {"catalogue", "--catalogue", db, "add", tree.Path("more")}, // a segment, then a merge of eight
        {"catalogue", "--catalogue", db, "compact"},
    };
    std::mt19937 random(2026);
    for (const std::vector<std::string>& operation : operations) {
        restore();
        const auto started = std::chrono::steady_clock::now();
        RunAndKill(operation, std::chrono::seconds(60));
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
        ASSERT_EQ(CommittedCounts(work), "");
        ASSERT_LT(SegmentFiles(work).size(), 7u) << operation[3]; // it merged
        for (int round = 0; round < 12; ++round) {
            restore();
            RunAndKill(operation, std::chrono::microseconds(random() % (span.count() + 1)));
            const std::string when = operation[3] + " round " + std::to_string(round);
            EXPECT_EQ(CommittedCounts(work), "") << when;
            {
                CCatalogue catalogue(db);
                ASSERT_TRUE(catalogue.Open(false)) << when << ": " << catalogue.LastError();
                ASSERT_TRUE(catalogue.Refresh(false)) << when << ": " << catalogue.LastError(); // the next write
            }
            std::vector<std::string> listed;
            for (const auto& [name, hidden] : Listed(db)) {
                listed.push_back(name.substr(17));
            }
            EXPECT_EQ(SegmentFiles(work), listed) << when;
            EXPECT_EQ(CommittedCounts(work), "") << when;
        }
    }
}

} // namespace
