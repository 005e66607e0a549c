// Reading ahead on a second thread must not change what the walk delivers,
// nor its order: every test walks the same tree with and without the helper
// and compares the whole sequence of calls the sink receives.
#include "AppSettings.h"
#include "FolderWalker.h"
#include "LineArena.h"
#include "StringTable.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Records every call, with the folder record it came with.
class CRecordingSink : public IWalkSink {
public:
    CLineArena m_paths;
    std::vector<std::string> m_events;
    // Called with each entry's name before it is recorded (to change settings mid-walk).
    std::function<void(std::string_view name)> m_onEntry;

    void AddEntry(const CFindData& entry, CFolderRecord* record) override {
        if (m_onEntry) {
            m_onEntry(entry.m_strName);
        }
        m_events.push_back("line " + std::string(entry.m_strName) + (entry.m_bDirectory ? "/ " : " ") +
                           std::to_string(entry.m_nSize) + " " + std::to_string(entry.m_nLastWrite) + " in " +
                           (record ? std::string(record->m_path) : "-"));
    }
    std::unique_ptr<CFolderRecord> NewRecord(const std::string& path) override {
        m_events.push_back("new " + path);
        auto record = std::make_unique<CFolderRecord>();
        record->m_path = m_paths.Store(path);
        return record;
    }
    void AppendRecord(std::unique_ptr<CFolderRecord> record) override {
        m_events.push_back("record " + std::string(record->m_path));
    }
};

// The same small random number sequence on every run.
class CSequence {
public:
    unsigned Next(unsigned bound) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(m_state >> 33) % bound;
    }

private:
    std::uint64_t m_state = 42;
};

// Folders of varied width and depth, hidden entries, links and empty
// folders; returns the folders' paths.
std::vector<std::string> BuildForest(CTempTree& tree, int folders, int files) {
    CSequence random;
    std::vector<std::string> paths = {"top"};
    std::vector<int> depths = {0};
    tree.Folder("top", 1000);
    for (int i = 0; i < folders; ++i) {
        const auto parent = random.Next(static_cast<unsigned>(paths.size()));
        const std::string name = (random.Next(9) == 0 ? ".d" : "d") + std::to_string(i);
        paths.push_back(paths[parent] + "/" + name);
        depths.push_back(depths[parent] + 1);
        tree.Folder(paths.back(), 2000 + i);
    }
    for (int i = 0; i < files; ++i) {
        const std::string& folder = paths[random.Next(static_cast<unsigned>(paths.size()))];
        const std::string name = (random.Next(11) == 0 ? ".f" : "f") + std::to_string(i);
        if (random.Next(25) == 0) {
            tree.Symlink(folder + "/" + name, "..", 3000 + i);
        } else {
            tree.File(folder + "/" + name, random.Next(100000), 3000 + i);
        }
    }
    tree.Finish();
    return paths;
}

class ReadAhead : public testing::Test {
protected:
    ReadAhead() : m_store(m_config.Path("s.INI")), m_settings(m_store) {}
    void Set(int keyId, int value) { m_store.WriteInt(LoadString(IDS_SECTION_OPTIONS), LoadString(keyId), value); }

    // The calls of one walk of `relative`, with or without the helper.
    std::vector<std::string> Walk(const std::string& relative, bool readAhead,
                                  const std::function<void(std::string_view)>& onEntry = {},
                                  std::size_t limit = CFolderPrefetcher::kMaxAheadEntries) {
        CRecordingSink sink;
        sink.m_onEntry = onEntry;
        CFolderWalker walker(sink);
        walker.m_bReadAhead = readAhead;
        walker.m_nReadAheadLimit = limit;
        EXPECT_TRUE(walker.WalkFolder(m_tree.Path(relative), m_settings.Snapshot()));
        m_nReadAhead += walker.FoldersReadAhead();
        return sink.m_events;
    }
    // With more than one processor the helper must have taken part, or
    // these tests would compare the walk with itself.
    void ExpectHelperTookPart() const {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 1) {
            EXPECT_GT(m_nReadAhead, 0u);
        } else {
            EXPECT_EQ(m_nReadAhead, 0u); // one processor: no helper to pay for
        }
    }

    CTempTree m_tree;
    CTempTree m_config;
    CSettingsStore m_store;
    CAppSettings m_settings;
    std::size_t m_nReadAhead = 0;
};

TEST_F(ReadAhead, DeliversExactlyWhatTheWalkAloneDoes) {
    BuildForest(m_tree, 300, 2000);
    for (const int listing : {1, 0}) {
        for (const int hidden : {1, 0}) {
            Set(IDS_KEY_PROCESS_TYPE, listing);
            Set(IDS_KEY_EXCLUDE_HIDDEN, hidden);
            const auto alone = Walk("top", false);
            ASSERT_GT(alone.size(), 500u);
            // Several times: the two threads meet at different places each time.
            for (int run = 0; run < 5; ++run) {
                EXPECT_EQ(Walk("top", true), alone) << "listing " << listing << " hidden " << hidden;
            }
        }
    }
    ExpectHelperTookPart();
}

// The helper waits when enough of its listings wait for the walk, and goes
// on when the walk has taken some.
TEST_F(ReadAhead, BoundOnListingsWaitingHoldsUpNothing) {
    BuildForest(m_tree, 250, 1200);
    Set(IDS_KEY_PROCESS_TYPE, 1);
    const auto alone = Walk("top", false);
    for (const std::size_t limit : {std::size_t{1}, std::size_t{20}, std::size_t{300}}) {
        for (int run = 0; run < 3; ++run) {
            EXPECT_EQ(Walk("top", true, {}, limit), alone) << limit;
        }
    }
    ExpectHelperTookPart();
}

// A walk takes its options once: an edit of the settings file during the
// walk counts from the next walk on, with or without the helper.
TEST_F(ReadAhead, SettingsChangedDuringTheWalkCountFromTheNextOne) {
    BuildForest(m_tree, 300, 1500);
    struct Change {
        std::size_t atEntry; // the change comes with the walk's entry of this number
        int keyId;
        int value;
    };
    for (const Change change : {Change{150, IDS_KEY_EXCLUDE_HIDDEN, 0}, Change{600, IDS_KEY_EXCLUDE_SUBFOLDERS, 1},
                                Change{40, IDS_KEY_EXCLUDE_HIDDEN, 1}}) {
        const auto initialHidden = change.keyId == IDS_KEY_EXCLUDE_HIDDEN ? 1 - change.value : 1;
        auto reset = [&] {
            Set(IDS_KEY_EXCLUDE_HIDDEN, initialHidden);
            Set(IDS_KEY_EXCLUDE_SUBFOLDERS, 0);
        };
        reset();
        const auto unchanged = Walk("top", false);
        ASSERT_GT(unchanged.size(), 800u);
        for (const bool readAhead : {false, true}) {
            reset();
            std::size_t entries = 0;
            const auto changedDuring = Walk("top", readAhead, [&](std::string_view) {
                if (++entries == change.atEntry) {
                    Set(change.keyId, change.value);
                }
            });
            ASSERT_GT(entries, change.atEntry);
            EXPECT_EQ(changedDuring, unchanged) << change.atEntry;
            EXPECT_NE(Walk("top", readAhead), unchanged) << change.atEntry; // the next walk takes it
        }
    }
}

TEST_F(ReadAhead, DeepAndWideTreesAreWalkedTheSame) {
    // A chain deeper than the helper goes, with a few sub-folders at each level.
    std::string path = "deep";
    m_tree.Folder(path, 1);
    for (int level = 0; level < static_cast<int>(CFolderPrefetcher::kMaxDepth) + 20; ++level) {
        for (int side = 0; side < 3; ++side) {
            m_tree.Folder(path + "/s" + std::to_string(side), 10 + level);
            m_tree.File(path + "/s" + std::to_string(side) + "/f", static_cast<std::uint64_t>(level), 20 + level);
        }
        path += "/n";
        m_tree.Folder(path, 30 + level);
    }
    // One folder with many sub-folders side by side.
    m_tree.Folder("wide", 1);
    for (int i = 0; i < 600; ++i) {
        m_tree.Folder("wide/w" + std::to_string(i), 40 + i);
        m_tree.File("wide/w" + std::to_string(i) + "/x", static_cast<std::uint64_t>(i), 50 + i);
    }
    m_tree.Finish();
    for (const char* top : {"deep", "wide"}) {
        const auto alone = Walk(top, false);
        for (int run = 0; run < 3; ++run) {
            EXPECT_EQ(Walk(top, true), alone) << top;
        }
    }
    ExpectHelperTookPart();
}

TEST_F(ReadAhead, UnreadableFoldersAreLeftOutTheSame) {
    const auto folders = BuildForest(m_tree, 120, 600);
    for (const std::size_t i : {7u, 30u, 99u}) {
        ASSERT_EQ(chmod(m_tree.Path(folders[i]).c_str(), 0311), 0); // may not be listed
    }
    for (const std::size_t i : {12u, 64u}) {
        ASSERT_EQ(chmod(m_tree.Path(folders[i]).c_str(), 0644), 0); // listed, but not searched
    }
    const std::string top = m_tree.Path("top");
    const std::string store = m_config.Path("s.INI");
    EXPECT_TRUE(RunUnprivileged(m_tree.Root(), [&] {
        CSettingsStore settingsStore(store);
        CAppSettings settings(settingsStore);
        std::vector<std::string> results[2];
        for (const bool readAhead : {false, true}) {
            CRecordingSink sink;
            CFolderWalker walker(sink);
            walker.m_bReadAhead = readAhead;
            if (!walker.WalkFolder(top, settings.Snapshot())) {
                return false;
            }
            results[readAhead ? 1 : 0] = sink.m_events;
        }
        return results[0] == results[1] && results[0].size() > 100;
    }));
}

} // namespace
