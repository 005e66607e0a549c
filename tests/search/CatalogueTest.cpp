#include "Catalogue.h"
#include "CaseFold.h"
#include "GlobPattern.h"
#include "TempTree.h"
#include "Windows1252.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include "EntryBlob.h"
#include "ReportReader.h"
#include <dirent.h>
#include <sqlite3.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A hit as one comparable line.
std::string Show(const CFindHit& h) {
    return h.m_strMedium + "|" + h.m_strFolder + "|" + h.m_strName + "|" + (h.m_bFolder ? "" : std::to_string(h.m_nSize)) +
           "|" + h.m_strDate + "|" + h.m_strTime + "|" + h.m_strReport + ":" + std::to_string(h.m_nLine);
}

// The plain way: every hit of every report, filtered and sorted as Find promises.
struct PlainEntry {
    std::string medium, folder, name, date, time, report;
    bool folder_ = false, cp1252 = false;
    std::uint64_t size = 0, line = 0;
};

std::string Shown(const std::string& text) {
    std::string out;
    Windows1252::AppendShown(out, text, !Windows1252::IsValidUtf8(text));
    return out;
}

std::vector<std::string> PlainFind(const std::vector<PlainEntry>& all, const CFindQuery& q) {
    std::vector<const PlainEntry*> hits;
    for (const PlainEntry& e : all) {
        const std::string name = CaseFold::Fold(e.cp1252 ? Shown(e.name) : e.name);
        bool ok = CaseFold::Fold(e.medium).rfind(CaseFold::Fold(q.m_strMediumPrefix), 0) == 0;
        ok = ok && !(q.m_kinds == FindKinds::Files && e.folder_) && !(q.m_kinds == FindKinds::Folders && !e.folder_);
        if (!q.m_strGlob.empty()) {
            ok = ok && CGlobPattern(CaseFold::Fold(q.m_strGlob)).Matches(name);
        }
        for (const std::string& text : q.m_arrTexts) {
            ok = ok && name.find(CaseFold::Fold(text)) != std::string::npos;
        }
        if (ok) {
            hits.push_back(&e);
        }
    }
    std::sort(hits.begin(), hits.end(), [](const PlainEntry* a, const PlainEntry* b) {
        const auto key = [](const PlainEntry* e) {
            return std::make_tuple(CaseFold::Fold(Shown(e->medium)), CaseFold::Fold(Shown(e->folder)),
                                   CaseFold::Fold(e->cp1252 ? Shown(e->name) : e->name), e->report, e->line);
        };
        return key(a) < key(b);
    });
    std::vector<std::string> out;
    for (const PlainEntry* e : hits) {
        out.push_back(e->medium + "|" + e->folder + "|" + e->name + "|" + (e->folder_ ? "" : std::to_string(e->size)) +
                      "|" + e->date + "|" + e->time + "|" + e->report + ":" + std::to_string(e->line));
    }
    return out;
}

const char* const kWords[] = {"holiday", "Photo", "MÜNCHEN", "münchen", "report", "data", "IMG_", "backup", "Ärger",
                              "x", "final", "draft", "2019", "tax", "a b", "ΣΟΦΙΑ", "σοφια"};

// Reports of both kinds with random names, written into the tree, and what they hold.
std::vector<PlainEntry> WriteReports(CTempTree& tree, unsigned seed, int reports) {
    std::mt19937 rng(seed);
    std::vector<PlainEntry> all;
    const auto name = [&] {
        std::string text;
        for (int i = 0, n = 1 + static_cast<int>(rng() % 3); i < n; ++i) {
            text += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
            text += std::to_string(rng() % 50);
        }
        return text + (rng() % 2 ? ".jpg" : ".TXT");
    };
    for (int r = 0; r < reports; ++r) {
        const std::string path = tree.Path("r" + std::to_string(r) + ".txt");
        std::string text;
        const bool cp1252 = r % 3 == 2;
        if (r % 2 == 0) {
            for (int i = 0; i < 40; ++i) {
                PlainEntry e{"CD0" + std::to_string(r % 3) + "-0" + std::to_string(i % 4), "", name(), "01/02/03", "04:05:06", path};
                if (cp1252 && i % 5 == 0) {
                    e.name += "\xe9t\xe9"; // "été" in Windows-1252
                    e.cp1252 = true;
                }
                e.size = rng() % 100000;
                e.line = static_cast<std::uint64_t>(i + 1);
                text += e.name + "\t" + std::to_string(e.size) + "\t01/02/03\t04:05:06\t" + e.medium + "\r\n";
                all.push_back(e);
            }
        } else {
            std::uint64_t line = 1;
            for (int folder = 0; folder < 3; ++folder) {
                const std::string header = "/MEDIA/DISK" + std::to_string(r) + "/F" + std::to_string(folder);
                text += (folder ? "\n" : "") + header + "\n\n";
                line += folder ? 3 : 2;
                for (int i = 0; i < 15; ++i, ++line) {
                    PlainEntry e{"", header, name(), "01/02/03", "04:05:06", path};
                    std::transform(e.name.begin(), e.name.end(), e.name.begin(),
                                   [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
                    e.folder_ = i % 4 == 0;
                    e.size = e.folder_ ? 0 : rng() % 1000;
                    e.line = line;
                    text += e.name + "\t" + (e.folder_ ? "<FOLDER>" : std::to_string(e.size)) + "\t01/02/03\t04:05:06\t" +
                            e.name + "\n";
                    all.push_back(e);
                }
            }
            text += "\nSummary: 3 Folder(s), 0 File(s)\t0 Bytes";
        }
        tree.WriteText("r" + std::to_string(r) + ".txt", text);
    }
    return all;
}

std::vector<std::string> Find(CCatalogue& catalogue, const CFindQuery& q, std::size_t limit, std::uint64_t* total) {
    const CFindResult result = catalogue.Find(q, limit);
    EXPECT_FALSE(result.m_bFailed) << catalogue.LastError();
    std::vector<std::string> out;
    for (const CFindHit& hit : result.m_arrHits) {
        out.push_back(Show(hit));
    }
    *total = result.m_nTotal;
    return out;
}

TEST(Catalogue, FindAgreesWithThePlainLoopOverEveryQuery) {
    CTempTree tree;
    const std::vector<PlainEntry> all = WriteReports(tree, 7, 12);
    CTempTree data;
    CCatalogue catalogue(data.Path("sub/catalogue.sqlite"));
    ASSERT_TRUE(catalogue.Open(true)) << catalogue.LastError();
    ASSERT_TRUE(catalogue.AddPaths({tree.Root()})) << catalogue.LastError();

    std::vector<CFindQuery> queries;
    for (const char* text : {"photo", "münchen", "MÜNCHEN", "ÉTÉ", "σοφια", "ΣΟΦΙΑ", "x", "a b", ".jpg", "zzz", "1"}) {
        CFindQuery q;
        q.m_arrTexts = {text};
        queries.push_back(q);
    }
    CFindQuery two;
    two.m_arrTexts = {"data", "tax"};
    queries.push_back(two);
    CFindQuery files = two;
    files.m_kinds = FindKinds::Files;
    files.m_arrTexts = {"o"};
    queries.push_back(files);
    CFindQuery folders = files;
    folders.m_kinds = FindKinds::Folders;
    queries.push_back(folders);
    CFindQuery medium;
    medium.m_arrTexts = {"a"};
    medium.m_strMediumPrefix = "cd01";
    queries.push_back(medium);
    for (const char* pattern : {"*.jpg", "photo*", "[a-d]*", "*m?nchen*", "*[!a-z]", "*"}) {
        CFindQuery q;
        q.m_strGlob = pattern;
        queries.push_back(q);
    }
    for (const CFindQuery& q : queries) {
        const std::vector<std::string> plain = PlainFind(all, q);
        for (const std::size_t limit : {std::size_t(0), std::size_t(3), std::size_t(1000000)}) {
            std::uint64_t total = 0;
            const std::vector<std::string> fast = Find(catalogue, q, limit, &total);
            const std::string what = (q.m_arrTexts.empty() ? q.m_strGlob : q.m_arrTexts[0]) + " limit " + std::to_string(limit);
            EXPECT_EQ(total, plain.size()) << what;
            EXPECT_EQ(fast, std::vector<std::string>(plain.begin(), plain.begin() + std::min(limit, plain.size())))
                << what;
        }
    }
    EXPECT_GT(PlainFind(all, queries[0]).size(), 5u);
}

// The index lives in segment files beside the catalogue, named after it:
// a catalogue object (the next process) maps those its database lists,
// changes add segments and merges replace them, files no commit lists are
// removed by the next writer, and a catalogue of the former form (entries
// in a table, a "-names" image) is converted at its first open, nothing lost.
TEST(Catalogue, SegmentsBesideTheCatalogueFollowItsChanges) {
    CTempTree tree;
    std::vector<PlainEntry> all;
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    std::vector<CFindQuery> queries(6);
    queries[0].m_arrTexts = {"o"};
    queries[1].m_arrTexts = {"ÉTÉ"}; // Windows-1252 lines
    queries[2].m_arrTexts = {"a"};
    queries[2].m_strMediumPrefix = "cd01";
    queries[3].m_arrTexts = {"o"};
    queries[3].m_kinds = FindKinds::Folders;
    queries[4].m_strGlob = "*m?nchen*";
    queries[5].m_strGlob = "*";
    const auto files = [&] {
        std::vector<std::string> names;
        if (DIR* dir = opendir(data.Root().c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name.rfind("catalogue.sqlite-", 0) == 0 && name != "catalogue.sqlite-wal" &&
                    name != "catalogue.sqlite-shm") {
                    names.push_back(name.substr(17));
                }
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        std::string text;
        for (const std::string& name : names) {
            text += name + " ";
        }
        return text;
    };
    const auto removeCatalogue = [&] {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            unlink((db + suffix).c_str());
        }
    };
    // The former form: the entries as blobs in their table, the segments gone.
    const auto formerForm = [&] {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(handle, "CREATE TABLE entries(source INTEGER PRIMARY KEY, data BLOB NOT NULL); "
                                       "DELETE FROM segments; DELETE FROM placement; DELETE FROM hidden;",
                               nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_stmt* sources = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(handle, "SELECT id, path FROM sources WHERE kind=0", -1, &sources, nullptr), SQLITE_OK);
        std::vector<std::pair<std::int64_t, std::string>> reports;
        while (sqlite3_step(sources) == SQLITE_ROW) {
            reports.emplace_back(sqlite3_column_int64(sources, 0),
                                 reinterpret_cast<const char*>(sqlite3_column_blob(sources, 1)));
        }
        sqlite3_finalize(sources);
        for (const auto& [id, path] : reports) {
            CEntryBlobWriter blob;
            CReportReader reader;
            const std::string bytes = CTempTree::ReadFile(path);
            ASSERT_TRUE(reader.Read(bytes, [&](const CReportEntry& e) { blob.Add(e); }));
            const std::string data = blob.Finish();
            sqlite3_stmt* insert = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(handle, "INSERT INTO entries VALUES(?,?)", -1, &insert, nullptr), SQLITE_OK);
            sqlite3_bind_int64(insert, 1, id);
            sqlite3_bind_blob(insert, 2, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_finalize(insert);
        }
        sqlite3_close(handle);
        for (const std::string& name : {std::string("seg-4")}) {
            unlink((db + "-" + name).c_str());
        }
        data.WriteText("catalogue.sqlite-names", "an image of the former form");
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        std::function<bool(CCatalogue&)> act; // what the catalogue object does before the searches
        const char* files;                    // the files beside the catalogue after the step
    };
    const auto add = [&](CCatalogue& c) { return c.AddPaths({tree.Root()}); };
    const auto nothing = [](CCatalogue&) { return true; };
    const std::vector<Step> steps = {
        {"First", [&] { all = WriteReports(tree, 11, 6); }, add, "seg-1 "},
        {"Unchanged", [] {}, nothing, "seg-1 "},
        {"ReportsChanged", [&] { all = WriteReports(tree, 12, 6); }, [](CCatalogue& c) { return c.Refresh(true); },
         "seg-2 "},
        {"OneRemovedThenCompacted", [&] { std::erase_if(all, [&](const PlainEntry& e) { return e.report == tree.Path("r2.txt"); }); },
         [&](CCatalogue& c) { return c.Remove({tree.Path("r2.txt")}) && c.Compact(); }, "seg-3 "},
        {"OrphanOfAStoppedWriter", [&] { data.WriteText("catalogue.sqlite-seg-9", "half written"); }, nothing,
         "seg-3 seg-9 "},
        {"RemovedByTheNextWriter", [&] { all = WriteReports(tree, 14, 6); },
         [](CCatalogue& c) { return c.Refresh(true); }, "seg-4 "},
        {"FormerForm", formerForm, nothing, "seg-5 "},
        {"CatalogueMadeAnew", removeCatalogue, add, "seg-1 "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        CCatalogue catalogue(db);
        ASSERT_TRUE(catalogue.Open(true)) << catalogue.LastError();
        ASSERT_TRUE(step.act(catalogue)) << catalogue.LastError();
        for (const CFindQuery& q : queries) {
            std::uint64_t total = 0;
            const std::vector<std::string> plain = PlainFind(all, q);
            EXPECT_EQ(Find(catalogue, q, 1000000, &total), plain);
            EXPECT_EQ(total, plain.size());
        }
        EXPECT_EQ(files(), step.files);
    }
    EXPECT_GT(PlainFind(all, queries[1]).size(), 0u);
}

TEST(Catalogue, SourcesFollowTheirFiles) {
    CTempTree tree;
    tree.Folder("disk", 0);
    tree.WriteText("disk/a.txt", "a\t1\t1/2/3\t4:05\tCD01-01\n");
    tree.WriteText("disk/b.txt", "b\t2\t1/2/3\t4:05\tCD01-02\n");
    tree.WriteText("disk/b.log", "CD01-02\t/home/me/B");
    tree.WriteText("disk/notes.txt", "just some notes\n");
    tree.Folder("stick", 0);
    tree.WriteText("stick/c.txt", "c\t3\t1/2/3\t4:05\tZIP01-01\n");
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    {
        CCatalogue catalogue(db);
        ASSERT_TRUE(catalogue.Open(true));
        std::string progress;
        ASSERT_TRUE(catalogue.AddPaths({tree.Path("disk"), tree.Path("stick/c.txt"), tree.Path("disk/../disk/a.txt")},
                                       [&](std::size_t done, std::size_t total) {
                                           progress += std::to_string(done) + "/" + std::to_string(total) + " ";
                                       }));
        EXPECT_EQ(progress, "0/4 1/4 2/4 3/4 4/4 "); // the log and the three reports
        EXPECT_FALSE(catalogue.AddPaths({tree.Path("nothing")}));
    }
    CCatalogue first(db);
    ASSERT_TRUE(first.Open(false));
    const auto list = [&](CCatalogue& catalogue) {
        std::vector<std::string> out;
        for (const CSourceInfo& s : catalogue.Sources()) {
            out.push_back(std::to_string(static_cast<int>(s.m_state)) + " " + std::to_string(static_cast<int>(s.m_kind)) +
                          " " + std::to_string(s.m_nEntries) + " " + s.m_strPath.substr(tree.Root().size()));
        }
        return out;
    };
    EXPECT_EQ(list(first), (std::vector<std::string>{"0 2 2 /disk", "0 0 1 /disk/a.txt", "0 1 1 /disk/b.log",
                                                     "0 0 1 /disk/b.txt", "0 0 1 /stick/c.txt"}));
    CFindQuery q;
    q.m_arrTexts = {"b"};
    std::uint64_t total = 0;
    EXPECT_EQ(Find(first, q, 10, &total),
              std::vector<std::string>{"CD01-02|/home/me/B|b|2|1/2/3|4:05|" + tree.Path("disk/b.txt") + ":1"});

    // Changed, deleted with its folder still there, unmounted with its folder.
    tree.WriteText("disk/a.txt", "a\t1\t1/2/3\t4:05\tCD01-01\nab\t5\t1/2/3\t4:05\tCD01-01\n");
    unlink(tree.Path("disk/b.txt").c_str());
    unlink(tree.Path("stick/c.txt").c_str());
    rmdir(tree.Path("stick").c_str());
    q.m_arrTexts = {""};
    // The next process (as each `stowlist-cli find` is) looks at the files before its first search.
    CCatalogue catalogue(db);
    ASSERT_TRUE(catalogue.Open(false));
    EXPECT_EQ(Find(catalogue, q, 0, &total), std::vector<std::string>{});
    EXPECT_EQ(total, 3u); // a, ab and the missing stick's c
    EXPECT_EQ(list(catalogue), (std::vector<std::string>{"0 2 1 /disk", "0 0 2 /disk/a.txt", "0 1 1 /disk/b.log",
                                                         "2 0 1 /stick/c.txt"}));
    ASSERT_TRUE(catalogue.Remove({tree.Path("stick/c.txt")}));
    ASSERT_TRUE(catalogue.RegisterReport(tree.Path("disk/notes.txt"), ""));
    EXPECT_EQ(list(catalogue).back(), "1 0 0 /disk/notes.txt");
    ASSERT_TRUE(catalogue.Refresh(true));
    EXPECT_EQ(list(catalogue), (std::vector<std::string>{"0 2 1 /disk", "0 0 2 /disk/a.txt", "0 1 1 /disk/b.log",
                                                "3 0 0 /disk/notes.txt"}));
}

} // namespace
