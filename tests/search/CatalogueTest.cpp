#include "Catalogue.h"
#include "CaseFold.h"
#include "GlobPattern.h"
#include "TempTree.h"
#include "Windows1252.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
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

// The name image saved beside the catalogue serves the next catalogue
// object (the next process) only while it was made from the entries as they
// are: the file is replaced when it is rebuilt and left as it is when used.
TEST(Catalogue, SavedNameImageIsUsedOnlyWhileItFits) {
    CTempTree tree;
    std::vector<PlainEntry> all;
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    const std::string image = db + "-names";
    std::vector<CFindQuery> queries(6);
    queries[0].m_arrTexts = {"o"};
    queries[1].m_arrTexts = {"ÉTÉ"}; // Windows-1252 lines
    queries[2].m_arrTexts = {"a"};
    queries[2].m_strMediumPrefix = "cd01";
    queries[3].m_arrTexts = {"o"};
    queries[3].m_kinds = FindKinds::Folders;
    queries[4].m_strGlob = "*m?nchen*";
    queries[5].m_strGlob = "*";
    const auto imageFile = [&] {
        struct stat info {};
        return stat(image.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto removeCatalogue = [&] {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            unlink((db + suffix).c_str());
        }
    };
    // Keeps the header (key and sizes), so only the image's own checks can refuse it.
    const auto zeroImage = [&] {
        struct stat info {};
        ASSERT_EQ(stat(image.c_str(), &info), 0);
        const std::string zeros(static_cast<std::size_t>(info.st_size) - 64, '\0');
        const int fd = open(image.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(pwrite(fd, zeros.data(), zeros.size(), 64), static_cast<ssize_t>(zeros.size()));
        close(fd);
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        bool add;     // the reports added to a catalogue made anew
        bool rebuilt; // the image made again rather than mapped
    };
    const std::vector<Step> steps = {
        {"First", [&] { all = WriteReports(tree, 11, 6); }, true, true},
        {"Unchanged", [] {}, false, false},
        {"CatalogueMadeAnew", removeCatalogue, true, true},
        {"Truncated", [&] { ASSERT_EQ(truncate(image.c_str(), 4096), 0); }, false, true},
        {"NotAnImage", [&] { data.WriteText("catalogue.sqlite-names", "not an image"); }, false, true},
        {"ZeroedPastItsHeader", zeroImage, false, true},
        {"ReportsChanged", [&] { all = WriteReports(tree, 12, 6); }, false, true},
        {"UnchangedAgain", [] {}, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        const ino_t before = imageFile();
        CCatalogue catalogue(db);
        ASSERT_TRUE(catalogue.Open(true)) << catalogue.LastError();
        if (step.add) {
            ASSERT_TRUE(catalogue.AddPaths({tree.Root()})) << catalogue.LastError();
        }
        for (const CFindQuery& q : queries) {
            std::uint64_t total = 0;
            const std::vector<std::string> plain = PlainFind(all, q);
            EXPECT_EQ(Find(catalogue, q, 1000000, &total), plain);
            EXPECT_EQ(total, plain.size());
        }
        EXPECT_NE(imageFile(), 0u);
        EXPECT_EQ(imageFile() != before, step.rebuilt);
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
