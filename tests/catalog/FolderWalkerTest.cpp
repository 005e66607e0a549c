#include "EngineFixture.h"
#include "FolderWalker.h"
#include "LineArena.h"
#include "Unprivileged.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Records what the walker delivers, in order.
class CRecordingSink : public IWalkSink {
public:
    CLineArena m_paths;
    std::vector<std::string> m_events; // "line <name> in <record path>", "record <path>"

    void AddEntry(const CFindData& entry, CFolderRecord* record) override {
        m_events.push_back("line " + std::string(entry.m_strName) + (entry.m_bDirectory ? "/" : "") + " in " +
                           (record ? std::string(record->m_path) : "-"));
    }
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override {
        auto record = std::make_unique<CFolderRecord>();
        record->m_path = m_paths.Store(path);
        return record;
    }
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override {
        m_events.push_back("record " + std::string(record->m_path));
    }
    std::vector<std::string> Records() const {
        std::vector<std::string> records;
        for (const auto& e : m_events) {
            if (e.rfind("record ", 0) == 0) {
                records.push_back(e.substr(7));
            }
        }
        return records;
    }
    bool Has(const std::string& event) const {
        return std::find(m_events.begin(), m_events.end(), event) != m_events.end();
    }
    std::size_t IndexOf(const std::string& event) const {
        return static_cast<std::size_t>(std::find(m_events.begin(), m_events.end(), event) - m_events.begin());
    }
};

class FolderWalker : public testing::Test {
protected:
    FolderWalker() : m_store(m_config.Path("s.INI")), m_settings(m_store), m_walker(m_sink) {}
    bool Walk(const std::string& path) { return m_walker.WalkFolder(path, m_settings.Snapshot()); }
    void Set(const char* key, int value) { m_store.WriteInt("Options", key, value); }
    std::string P(const std::string& relative) const { return m_tree.Path(relative); }

    CTempTree m_tree;
    CTempTree m_config;
    CSettingsStore m_store;
    CAppSettings m_settings;
    CRecordingSink m_sink;
    CFolderWalker m_walker;
};

TEST_F(FolderWalker, RecordsComeInPostOrder) {
    for (const char* folder : {"top", "top/A", "top/A/A1", "top/A/A2", "top/B", "top/B/B1"}) {
        m_tree.Folder(folder, 0);
    }
    m_tree.File("top/A/A1/f", 1, 0);
    ASSERT_TRUE(Walk(P("top")));
    const auto records = m_sink.Records();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records.back(), P("top"));
    // Each folder's record follows all records below it, and a subtree's records are contiguous.
    for (const std::string& sub : {P("top/A"), P("top/B")}) {
        const auto at = std::find(records.begin(), records.end(), sub) - records.begin();
        const auto children = std::count_if(records.begin(), records.end(), [&](const std::string& r) {
            return r.rfind(sub + "/", 0) == 0;
        });
        for (auto i = at - children; i < at; ++i) {
            EXPECT_EQ(records[static_cast<std::size_t>(i)].rfind(sub + "/", 0), 0u) << records[i];
        }
    }
    // A sub-folder's line is delivered before anything inside it.
    EXPECT_LT(m_sink.IndexOf("line A1/ in " + P("top/A")), m_sink.IndexOf("line f in " + P("top/A/A1")));
}

TEST_F(FolderWalker, EmptyFolderGivesAnEmptyRecordOrNothing) {
    m_tree.Folder("empty", 0);
    ASSERT_TRUE(Walk(P("empty")));
    EXPECT_EQ(m_sink.m_events, std::vector<std::string>{"record " + P("empty")});

    Set("ProcessType", 0);
    m_sink.m_events.clear();
    ASSERT_TRUE(Walk(P("empty")));
    EXPECT_TRUE(m_sink.m_events.empty());
}

TEST_F(FolderWalker, ExcludedSubFoldersAreListedButNotWalked) {
    m_tree.Folder("top", 0);
    m_tree.Folder("top/sub", 0);
    m_tree.File("top/sub/inner", 1, 0);
    Set("ExcludeSubFolders", 1);
    ASSERT_TRUE(Walk(P("top")));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"line sub/ in " + P("top"), "record " + P("top")}));
}

TEST_F(FolderWalker, HiddenEntriesFollowTheOption) {
    m_tree.Folder("top", 0);
    m_tree.Folder("top/.cache", 0);
    m_tree.File("top/.cache/blob", 1, 0);
    m_tree.File("top/.profile", 1, 0);
    m_tree.File("top/visible", 1, 0);
    ASSERT_TRUE(Walk(P("top")));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"line visible in " + P("top"), "record " + P("top")}));

    Set("ExcludeHiddenSystemInfo", 0);
    m_sink.m_events.clear();
    ASSERT_TRUE(Walk(P("top")));
    EXPECT_TRUE(m_sink.Has("line .profile in " + P("top")));
    EXPECT_TRUE(m_sink.Has("line .cache/ in " + P("top")));
    EXPECT_TRUE(m_sink.Has("line blob in " + P("top/.cache")));
    EXPECT_EQ(m_sink.Records().size(), 2u);
}

TEST_F(FolderWalker, LinksAreEntriesAndLoopsEnd) {
    m_tree.Folder("top", 0);
    m_tree.Folder("top/sub", 0);
    m_tree.Symlink("top/sub/up", "..", 0);
    m_tree.Symlink("top/self", ".", 0);
    m_tree.Symlink("top/dangling", "nowhere", 0);
    m_tree.Symlink("top/tosub", "sub", 0);
    ASSERT_TRUE(Walk(P("top")));
    for (const char* line : {"line self in ", "line dangling in ", "line tosub in "}) {
        EXPECT_TRUE(m_sink.Has(line + P("top"))) << line;
    }
    EXPECT_TRUE(m_sink.Has("line up in " + P("top/sub")));
    EXPECT_EQ(m_sink.Records(), (std::vector<std::string>{P("top/sub"), P("top")}));
}

TEST_F(FolderWalker, RootKeepsItsSlashAndChildrenGetNoDoubleSlash) {
    m_tree.Folder("medium", 0);
    m_tree.Folder("medium/dir", 0);
    ASSERT_TRUE(Walk(P("medium") + "/"));
    EXPECT_EQ(m_sink.Records(), (std::vector<std::string>{P("medium/dir"), P("medium") + "/"}));
}

TEST_F(FolderWalker, MissingFolderGivesNothing) {
    EXPECT_FALSE(Walk(P("missing")));
    EXPECT_TRUE(m_sink.m_events.empty());
}

TEST_F(FolderWalker, TreeDeeperThanPathMaxIsWalkedInFull) {
    constexpr int kDepth = 3000; // about 9000 bytes of path
    int fd = open(m_tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(mkdirat(fd, "deep", 0755), 0);
    int current = openat(fd, "deep", O_RDONLY | O_DIRECTORY);
    close(fd);
    for (int level = 0; level < kDepth; ++level) {
        ASSERT_EQ(mkdirat(current, "dd", 0755), 0);
        const int next = openat(current, "dd", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0);
        if (level == kDepth - 1) {
            const int file = openat(next, "bottom.txt", O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(file, 0);
            close(file);
        }
        close(current);
        current = next;
    }
    close(current);

    ASSERT_TRUE(Walk(P("deep")));
    const auto records = m_sink.Records();
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kDepth + 1));
    EXPECT_GT(records.front().size(), 4096u * 2);
    EXPECT_TRUE(m_sink.Has("line bottom.txt in " + records.front()));
    EXPECT_EQ(records.back(), P("deep"));

    // Nothing is left open afterwards.
    const int probe = open("/dev/null", O_RDONLY);
    EXPECT_LT(probe, 64);
    close(probe);

    // Remove it the same way, since its paths are too long for the tree's own cleanup.
    std::string relative = "deep";
    for (int level = 0; level < kDepth; ++level) {
        relative += "/dd";
    }
    std::vector<int> fds{open(m_tree.Root().c_str(), O_RDONLY | O_DIRECTORY)};
    for (std::size_t start = 0; start < relative.size();) {
        auto end = relative.find('/', start);
        if (end == std::string::npos) {
            end = relative.size();
        }
        fds.push_back(openat(fds.back(), relative.substr(start, end - start).c_str(), O_RDONLY | O_DIRECTORY));
        start = end + 1;
    }
    unlinkat(fds.back(), "bottom.txt", 0);
    for (std::size_t i = fds.size() - 1; i > 0; --i) {
        close(fds[i]);
        unlinkat(fds[i - 1], i == 1 ? "deep" : "dd", AT_REMOVEDIR);
    }
    close(fds[0]);
}

TEST_F(FolderWalker, VanishedEntriesAreLeftOut) {
    m_tree.Folder("top", 0);
    m_tree.Folder("top/goes", 0);
    m_tree.Folder("top/swapped", 0);
    m_tree.File("top/deleted", 1, 0);
    m_tree.File("top/stays", 1, 0);
    const std::string top = P("top");
    m_walker.m_onFolderListed = [&](const std::string& folder) {
        if (folder == top) {
            unlink((top + "/deleted").c_str());
            rmdir((top + "/swapped").c_str());
            symlink("/", (top + "/swapped").c_str());
        }
    };
    ASSERT_TRUE(Walk(top));
    EXPECT_FALSE(m_sink.Has("line deleted in " + top));
    EXPECT_TRUE(m_sink.Has("line stays in " + top));
    EXPECT_TRUE(m_sink.Has("line swapped in " + top)); // now a link: a file line, never walked
    EXPECT_EQ(m_sink.Records(), (std::vector<std::string>{P("top/goes"), top}));
}

TEST_F(FolderWalker, UnreadableFoldersAreLeftOutSilently) {
    m_tree.Folder("top", 0);
    m_tree.Folder("top/noread", 0);
    m_tree.Folder("top/noexec", 0);
    m_tree.Folder("top/noexec/inner", 0);
    m_tree.File("top/noread/secret", 1, 0);
    ASSERT_EQ(chmod(P("top/noread").c_str(), 0311), 0);
    ASSERT_EQ(chmod(P("top/noexec").c_str(), 0644), 0);
    const std::string top = P("top");
    const std::string store = m_config.Path("s.INI");
    EXPECT_TRUE(RunUnprivileged(m_tree.Root(), [&] {
        CSettingsStore settingsStore(store);
        CAppSettings settings(settingsStore);
        CRecordingSink sink;
        CFolderWalker walker(sink);
        // Both sub-folders keep their lines; neither yields a record of its own.
        return walker.WalkFolder(top, settings.Snapshot()) && sink.Has("line noread/ in " + top) &&
               sink.Has("line noexec/ in " + top) && sink.Records() == std::vector<std::string>{top};
    }));
}

} // namespace
