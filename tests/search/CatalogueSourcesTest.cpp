// The catalogue's sources against their files: offline media, reused
// inodes, files that are no reports, and changes made by another process.
#include "Catalogue.h"
#include "LocalFileSystem.h"
#include "TempTree.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The machine's file system, with what a test makes up on top: the file
// system a folder lies on, errors, device and inode of chosen paths; and
// counts of what was looked at and read.
struct CPlayedFileSystem {
    std::map<std::string, std::string> fileSystemOf; // folder -> identity
    std::map<std::string, int> errors;               // path -> errno of Stat
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> inodeOf; // path -> device, inode
    int stats = 0;
    int samples = 0;
};

class CPlayedLocal : public ISourceFileSystem {
public:
    explicit CPlayedLocal(std::shared_ptr<CPlayedFileSystem> played) : m_played(std::move(played)) {}
    int Stat(const std::string& path, CFileVersion& version) override {
        ++m_played->stats;
        if (const auto error = m_played->errors.find(path); error != m_played->errors.end()) {
            return error->second;
        }
        const int error = m_local.Stat(path, version);
        if (const auto inode = m_played->inodeOf.find(path); error == 0 && inode != m_played->inodeOf.end()) {
            version.m_nDevice = inode->second.first;
            version.m_nInode = inode->second.second;
        }
        return error;
    }
    std::string FileSystemOf(const std::string& folder) override {
        const auto played = m_played->fileSystemOf.find(folder);
        return played != m_played->fileSystemOf.end() ? played->second : m_local.FileSystemOf(folder);
    }
    int ReadHead(const std::string& path, std::size_t bytes, std::string& head) override {
        ++m_played->samples;
        return m_local.ReadHead(path, bytes, head);
    }

private:
    std::shared_ptr<CPlayedFileSystem> m_played;
    CLocalFileSystem m_local;
};

// "state kind entries path" lines, paths below root.
std::vector<std::string> List(CCatalogue& catalogue, const std::string& root) {
    std::vector<std::string> out;
    for (const CSourceInfo& s : catalogue.Sources()) {
        out.push_back(std::to_string(static_cast<int>(s.m_state)) + " " + std::to_string(static_cast<int>(s.m_kind)) +
                      " " + std::to_string(s.m_nEntries) + " " + s.m_strPath.substr(root.size()));
    }
    return out;
}

// Every entry found, as "name medium" lines.
std::vector<std::string> FindAll(CCatalogue& catalogue) {
    CFindQuery everything;
    everything.m_arrTexts = {""};
    const CFindResult result = catalogue.Find(everything, 100);
    EXPECT_FALSE(result.m_bFailed) << catalogue.LastError();
    std::vector<std::string> out;
    for (const CFindHit& hit : result.m_arrHits) {
        out.push_back(hit.m_strName + " " + hit.m_strMedium);
    }
    return out;
}

std::string ArchiveLine(const std::string& name, const std::string& tag) {
    return name + "\t1\t1/2/3\t4:05\t" + tag + "\r\n";
}

// A report kept on the medium it describes, at the root of its mount
// point; then the medium goes, or the file, or the disk fails. The report
// leaves the catalogue only when it is gone from its folder on the file
// system where it was seen.
TEST(CatalogueSources, OfflineMediaAreKept) {
    struct Case {
        const char* name;
        std::function<void(CTempTree&, CPlayedFileSystem&)> change;
        std::vector<std::string> list; // after the next process looked
        std::vector<std::string> found;
    };
    const std::vector<std::string> kept = {"a.jpg CD01-01"};
    const std::vector<Case> cases = {
        {"UnmountedFixedMountPoint",
         [](CTempTree& tree, CPlayedFileSystem& played) {
             unlink(tree.Path("media/usb/r.txt").c_str());
             played.fileSystemOf[tree.Path("media/usb")] = played.fileSystemOf[tree.Path("media")];
         },
         {"2 0 1 /media/usb/r.txt"},
         kept},
        {"AnotherMediumSameDeviceAndMountPoint",
         [](CTempTree& tree, CPlayedFileSystem& played) {
             unlink(tree.Path("media/usb/r.txt").c_str());
             played.fileSystemOf[tree.Path("media/usb")] = "mount-id 40 device 8:17 uuid 2222-BBBB";
         },
         {"2 0 1 /media/usb/r.txt"},
         kept},
        {"MountPointGone",
         [](CTempTree& tree, CPlayedFileSystem&) {
             unlink(tree.Path("media/usb/r.txt").c_str());
             rmdir(tree.Path("media/usb").c_str());
         },
         {"2 0 1 /media/usb/r.txt"},
         kept},
        {"PermissionDenied",
         [](CTempTree& tree, CPlayedFileSystem& played) { played.errors[tree.Path("media/usb/r.txt")] = EACCES; },
         {"3 0 1 /media/usb/r.txt"},
         kept},
        {"InputOutputError",
         [](CTempTree& tree, CPlayedFileSystem& played) { played.errors[tree.Path("media/usb/r.txt")] = EIO; },
         {"3 0 1 /media/usb/r.txt"},
         kept},
        {"DeletedFromTheMediumMounted",
         [](CTempTree& tree, CPlayedFileSystem&) { unlink(tree.Path("media/usb/r.txt").c_str()); },
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTempTree tree;
        tree.Folder("media", 0);
        tree.Folder("media/usb", 0);
        tree.WriteText("media/usb/r.txt", ArchiveLine("a.jpg", "CD01-01"));
        auto played = std::make_shared<CPlayedFileSystem>();
        played->fileSystemOf[tree.Path("media")] = "mount-id 21 device 8:1";
        played->fileSystemOf[tree.Path("media/usb")] = "mount-id 39 device 8:17 uuid 1111-AAAA";
        CTempTree data;
        const std::string db = data.Path("catalogue.sqlite");
        {
            CCatalogue catalogue(db, std::make_unique<CPlayedLocal>(played));
            ASSERT_TRUE(catalogue.Open(true));
            ASSERT_TRUE(catalogue.AddPaths({tree.Path("media/usb/r.txt")})) << catalogue.LastError();
        }
        c.change(tree, *played);
        CCatalogue next(db, std::make_unique<CPlayedLocal>(played));
        ASSERT_TRUE(next.Open(false));
        EXPECT_EQ(List(next, tree.Root()), c.list); // the list alone brings the states up to date
        EXPECT_EQ(FindAll(next), c.found);
        played->errors.clear(); // readable again: read again, still there
        if (c.list == std::vector<std::string>{"3 0 1 /media/usb/r.txt"}) {
            ASSERT_TRUE(next.Refresh(false));
            EXPECT_EQ(List(next, tree.Root()), std::vector<std::string>{"0 0 1 /media/usb/r.txt"});
        }
    }
}

// A tmpfs mounted on a folder that stays when it is unmounted, as a medium
// on /mnt/usb: the real file systems, where the test may mount them.
class CMountedMedium {
public:
    explicit CMountedMedium(std::string folder) : m_strFolder(std::move(folder)) {}
    ~CMountedMedium() { Unmount(); }
    CMountedMedium(const CMountedMedium&) = delete;
    CMountedMedium& operator=(const CMountedMedium&) = delete;
    bool Mount() { return m_bMounted = mount("tmpfs", m_strFolder.c_str(), "tmpfs", 0, "size=1m") == 0; }
    void Unmount() {
        if (m_bMounted) {
            umount2(m_strFolder.c_str(), MNT_DETACH);
            m_bMounted = false;
        }
    }

private:
    std::string m_strFolder;
    bool m_bMounted = false;
};

TEST(CatalogueSources, ReportOnAMountedMedium) {
    CTempTree tree;
    tree.Folder("usb", 0);
    CMountedMedium medium(tree.Path("usb"));
    if (!medium.Mount()) {
        GTEST_SKIP() << "mounting is not permitted here";
    }
    const std::string report = tree.Path("usb/r.txt");
    tree.WriteText("usb/r.txt", ArchiveLine("a.jpg", "CD01-01"));
    tree.WriteText("usb/gone.txt", ArchiveLine("b.jpg", "CD01-02"));
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    {
        CCatalogue catalogue(db);
        ASSERT_TRUE(catalogue.Open(true));
        ASSERT_TRUE(catalogue.AddPaths({report, tree.Path("usb/gone.txt")})) << catalogue.LastError();
    }
    unlink(tree.Path("usb/gone.txt").c_str()); // deleted from the medium while it is there
    struct Step {
        const char* name;
        std::function<void()> change;
        std::vector<std::string> list;
        std::vector<std::string> found;
    };
    const std::vector<Step> steps = {
        {"Mounted", [] {}, {"0 0 1 /usb/r.txt"}, {"a.jpg CD01-01"}},
        {"Unmounted", [&] { medium.Unmount(); }, {"2 0 1 /usb/r.txt"}, {"a.jpg CD01-01"}},
        {"AnotherMediumMounted", [&] { ASSERT_TRUE(medium.Mount()); }, {"2 0 1 /usb/r.txt"}, {"a.jpg CD01-01"}},
        {"BackWithTheReport",
         [&] { tree.WriteText("usb/r.txt", ArchiveLine("a.jpg", "CD01-01") + ArchiveLine("c.jpg", "CD01-01")); },
         {"0 0 2 /usb/r.txt"},
         {"a.jpg CD01-01", "c.jpg CD01-01"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        CCatalogue next(db); // each step a new process
        ASSERT_TRUE(next.Open(false));
        EXPECT_EQ(FindAll(next), step.found);
        EXPECT_EQ(List(next, tree.Root()), step.list);
    }
}

// Device and inode only suggest that a file is a known source: a new file
// that got a deleted report's inode is added; the same file under a second
// name (a hard link) is not added twice.
TEST(CatalogueSources, IdentityNeedsSizeAndTime) {
    struct Case {
        const char* name;
        std::function<void(CTempTree&)> secondFile;
        std::vector<std::string> list;
        std::vector<std::string> found;
    };
    const std::vector<Case> cases = {
        {"ReusedInode",
         [](CTempTree& tree) {
             unlink(tree.Path("old.txt").c_str());
             tree.WriteText("new.txt", ArchiveLine("new.jpg", "CD02-01") + ArchiveLine("more.jpg", "CD02-01"));
         },
         {"0 0 2 /new.txt"},
         {"more.jpg CD02-01", "new.jpg CD02-01"}},
        {"HardLink", [](CTempTree& tree) { link(tree.Path("old.txt").c_str(), tree.Path("new.txt").c_str()); },
         {"0 0 1 /old.txt"},
         {"old.jpg CD01-01"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTempTree tree;
        tree.WriteText("old.txt", ArchiveLine("old.jpg", "CD01-01"));
        auto played = std::make_shared<CPlayedFileSystem>();
        played->inodeOf[tree.Path("old.txt")] = {77, 12345};
        played->inodeOf[tree.Path("new.txt")] = {77, 12345};
        CTempTree data;
        CCatalogue catalogue(data.Path("catalogue.sqlite"), std::make_unique<CPlayedLocal>(played));
        ASSERT_TRUE(catalogue.Open(true));
        ASSERT_TRUE(catalogue.AddPaths({tree.Path("old.txt")}));
        c.secondFile(tree);
        ASSERT_TRUE(catalogue.AddPaths({tree.Path("new.txt")})) << catalogue.LastError();
        EXPECT_EQ(List(catalogue, tree.Root()), c.list);
        EXPECT_EQ(FindAll(catalogue), c.found);
    }
}

// Files in a remembered folder that are not reports are read once, then
// remembered by path, size and time until they change; they are never
// sources. A file named to be added that is not a report is refused.
TEST(CatalogueSources, NonReportsAreReadOnce) {
    CTempTree tree;
    tree.Folder("disk", 0);
    tree.WriteText("disk/r.txt", ArchiveLine("a.jpg", "CD01-01"));
    tree.WriteText("disk/notes.txt", "just some notes\n");
    tree.WriteText("disk/zeros.iso", std::string(20000, '\0'));
    // Starts like a report (the sniff lets it through), fails further on.
    tree.WriteText("disk/almost.txt", ArchiveLine("b.jpg", "CD01-01") + std::string(8000, 'x') + "\n" +
                                          ArchiveLine("c.jpg", "CD01-01"));
    auto played = std::make_shared<CPlayedFileSystem>();
    CTempTree data;
    CCatalogue catalogue(data.Path("catalogue.sqlite"), std::make_unique<CPlayedLocal>(played));
    ASSERT_TRUE(catalogue.Open(true));
    ASSERT_TRUE(catalogue.AddPaths({tree.Path("disk")})) << catalogue.LastError();
    EXPECT_EQ(played->samples, 4);
    EXPECT_EQ(catalogue.TakeWarnings(), std::vector<std::string>{});
    const std::vector<std::string> sources = {"0 2 1 /disk", "0 0 1 /disk/r.txt"};
    EXPECT_EQ(List(catalogue, tree.Root()), sources);

    struct Step {
        const char* name;
        std::function<void()> change;
        int samples; // files sniffed by the refresh
    };
    const std::vector<Step> steps = {
        {"Unchanged", [] {}, 0},
        {"UnchangedAgain", [] {}, 0},
        {"OneChanged", [&] { tree.WriteText("disk/notes.txt", "other notes, longer\n"); }, 1},
        {"NewJunk", [&] { tree.WriteText("disk/video.mkv", std::string(9000, '\x01')); }, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        played->samples = 0;
        ASSERT_TRUE(catalogue.Refresh(true)) << catalogue.LastError();
        EXPECT_EQ(played->samples, step.samples);
        EXPECT_EQ(List(catalogue, tree.Root()), sources);
    }

    struct Refusal {
        std::string path;
        std::string error;
    };
    const std::vector<Refusal> refusals = {
        {tree.Path("disk/notes.txt"), ": not a report (line 1: not a Stowlist report or archive log)"},
        {tree.Path("disk/zeros.iso"), ": not a report (binary data, not a text report)"},
        {tree.Path("disk/almost.txt"), ": not a report (line 2: not an archive report line)"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.path);
        EXPECT_FALSE(catalogue.AddPaths({refusal.path}));
        EXPECT_EQ(catalogue.LastError(), refusal.path + refusal.error);
        EXPECT_EQ(List(catalogue, tree.Root()), sources);
    }
}

// The catalogue held open by one process (as the Find window holds it)
// sees, at its next search, every report another process added or removed.
TEST(CatalogueSources, ChangesOfAnotherProcessAreSeen) {
    CTempTree tree;
    tree.WriteText("one.txt", ArchiveLine("one.jpg", "CD01-01"));
    tree.WriteText("two.txt", ArchiveLine("two.jpg", "CD02-01"));
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    {
        CCatalogue first(db);
        ASSERT_TRUE(first.Open(true));
        ASSERT_TRUE(first.AddPaths({tree.Path("one.txt")}));
    }
    int ask[2], answer[2];
    ASSERT_EQ(pipe(ask), 0);
    ASSERT_EQ(pipe(answer), 0);
    const pid_t searcher = fork();
    ASSERT_GE(searcher, 0);
    if (searcher == 0) {
        // Searches each time it is asked and answers the names found, one a line.
        close(ask[1]);
        close(answer[0]);
        CCatalogue held(db);
        if (!held.Open(false)) {
            _exit(2);
        }
        char go = 0;
        while (read(ask[0], &go, 1) == 1) {
            std::string text;
            for (const std::string& line : FindAll(held)) {
                text += line + "\n";
            }
            text += ".\n";
            if (write(answer[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
                _exit(3);
            }
        }
        _exit(0);
    }
    close(ask[0]);
    close(answer[1]);
    const auto search = [&] {
        EXPECT_EQ(write(ask[1], "?", 1), 1);
        std::string text;
        char c = 0;
        while (text.size() < 2 || text.compare(text.size() - 2, 2, ".\n") != 0) {
            if (read(answer[0], &c, 1) != 1) {
                break;
            }
            text.push_back(c);
        }
        return text;
    };
    CCatalogue other(db);
    ASSERT_TRUE(other.Open(false));
    struct Step {
        const char* name;
        std::function<bool()> change;
        std::string found;
    };
    const std::vector<Step> steps = {
        {"AsAtStart", [] { return true; }, "one.jpg CD01-01\n.\n"},
        {"Added", [&] { return other.AddPaths({tree.Path("two.txt")}); }, "one.jpg CD01-01\ntwo.jpg CD02-01\n.\n"},
        {"Removed", [&] { return other.Remove({tree.Path("one.txt")}); }, "two.jpg CD02-01\n.\n"},
        {"ReadAgain",
         [&] {
             tree.WriteText("two.txt", ArchiveLine("three.jpg", "CD02-01"));
             return other.Refresh(false);
         },
         "three.jpg CD02-01\n.\n"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(step.change()) << other.LastError();
        EXPECT_EQ(search(), step.found);
    }
    close(ask[1]);
    int status = 0;
    ASSERT_EQ(waitpid(searcher, &status, 0), searcher);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(answer[0]);
}

// Searching does not look at every source's file each time: at most once
// a window per catalogue object (each command-line run looks once).
TEST(CatalogueSources, FilesAreLookedAtOnceAWindow) {
    CTempTree tree;
    for (int i = 0; i < 5; ++i) {
        tree.WriteText("r" + std::to_string(i) + ".txt", ArchiveLine("n" + std::to_string(i), "CD01-01"));
    }
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    {
        CCatalogue adding(db);
        ASSERT_TRUE(adding.Open(true));
        ASSERT_TRUE(adding.AddPaths({tree.Root()}));
    }
    auto played = std::make_shared<CPlayedFileSystem>();
    CCatalogue catalogue(db, std::make_unique<CPlayedLocal>(played));
    ASSERT_TRUE(catalogue.Open(false));
    std::vector<int> stats;
    for (int search = 0; search < 3; ++search) {
        played->stats = 0;
        EXPECT_EQ(FindAll(catalogue).size(), 5u);
        catalogue.Sources();
        stats.push_back(played->stats);
    }
    EXPECT_EQ(stats, (std::vector<int>{6, 0, 0})); // the five reports and their folder, once
}

} // namespace

// Cancel() stops the search, refresh or add running now and nothing else:
// never a call that runs next (a report being registered), never the
// opening of the database on another thread.
TEST(CatalogueSources, CancelTouchesOnlyTheCallItMeant) {
    CTempTree data;
    for (int round = 0; round < 20; ++round) {
        CCatalogue catalogue(data.Path("c" + std::to_string(round) + ".sqlite"));
        std::atomic<bool> done{false};
        std::thread canceller([&] {
            while (!done) {
                catalogue.Cancel();
            }
        });
        bool opened = catalogue.Open(true);
        int registered = 0;
        for (int i = 0; opened && i < 50; ++i) {
            registered += catalogue.RegisterReport(data.Path("r" + std::to_string(i) + ".txt"), "CD01-01\t/x") ? 1 : 0;
        }
        done = true;
        canceller.join();
        ASSERT_TRUE(opened) << catalogue.LastError();
        EXPECT_EQ(registered, 50) << catalogue.LastError();
    }
}

// Many reports in a few folders, each folder's file system looked at once a
// pass: what went or changed among them is still told apart from what
// stayed, and only what changed is read again.
TEST(CatalogueSources, ManyReportsInFewFolders) {
    CTempTree tree;
    constexpr int kReports = 1100;
    for (int shelf = 0; shelf < 11; ++shelf) {
        tree.Folder("shelf" + std::to_string(shelf), 0);
    }
    const auto path = [](int i) { return "shelf" + std::to_string(i % 11) + "/r" + std::to_string(i) + ".txt"; };
    for (int i = 0; i < kReports; ++i) {
        tree.WriteText(path(i), ArchiveLine("f" + std::to_string(i) + ".jpg", "CD01-01"));
    }
    CTempTree data;
    const std::string db = data.Path("catalogue.sqlite");
    {
        CCatalogue catalogue(db);
        ASSERT_TRUE(catalogue.Open(true));
        ASSERT_TRUE(catalogue.AddPaths({tree.Root()})) << catalogue.LastError();
    }
    std::set<std::string> expected;
    for (int i = 0; i < kReports; ++i) {
        expected.insert("f" + std::to_string(i) + ".jpg CD01-01");
    }
    for (const int gone : {0, 549, 1099}) {
        unlink(tree.Path(path(gone)).c_str());
        expected.erase("f" + std::to_string(gone) + ".jpg CD01-01");
    }
    for (const int changed : {1, 550, 1098}) {
        tree.WriteText(path(changed), ArchiveLine("new" + std::to_string(changed) + ".jpg", "CD02-01"));
        expected.erase("f" + std::to_string(changed) + ".jpg CD01-01");
        expected.insert("new" + std::to_string(changed) + ".jpg CD02-01");
    }
    CCatalogue next(db);
    ASSERT_TRUE(next.Open(false));
    std::size_t read = 0; // only the changed reports are read again
    ASSERT_TRUE(next.Refresh(false, [&](std::size_t, std::size_t total) { read = total; })) << next.LastError();
    EXPECT_EQ(read, 3u);
    CFindQuery everything;
    everything.m_arrTexts = {""};
    const CFindResult result = next.Find(everything, 2 * kReports);
    ASSERT_FALSE(result.m_bFailed) << next.LastError();
    std::set<std::string> found;
    for (const CFindHit& hit : result.m_arrHits) {
        found.insert(hit.m_strName + " " + hit.m_strMedium);
    }
    EXPECT_EQ(found, expected);
}
