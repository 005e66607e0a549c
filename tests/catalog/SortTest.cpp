#include "CatalogSorter.h"
#include "EngineFixture.h"
#include "SortWorker.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

struct CompareCase {
    std::string a;
    std::string b;
    int result;
};

TEST(SortKeys, CompareFoldsOnlyAsciiLettersOfUnsignedBytes) {
    const std::vector<CompareCase> cases = {
        {"readme.txt", "README.TXT", 0},
        {"DATA", "DATA1", -1},
        {"DATA1", "DATA", 1},
        {"", "", 0},
        {"", "a", -1},
        {"_NOTES", "ANNEX", -1},   // '_' (0x5F) lies below the folded letters
        {"Z", "_", 1},             // 'z' (0x7A) above it
        {"A/B", "A1", -1},         // '/' (0x2F) below the digits
        {"A B", "A/B", -1},        // space, hyphen and full stop below '/'
        {"A-1", "A/B", -1},
        {"A.1", "A/B", -1},
        {"a\t1", "A 1", -1},       // the tab of a listing line lies below everything printable
        {"\xC9", "\xE9", -1},      // bytes from 0x80 up are never folded
        {"\xE9", "z", 1},          // and sort after every ASCII character
        {"[", "a", -1},            // 0x5B: between the upper and the lower case letters
        {"[", "A", -1},
    };
    for (const CompareCase& c : cases) {
        EXPECT_EQ(CompareKeys(c.a, c.b), c.result) << '"' << c.a << "\" vs \"" << c.b << '"';
        EXPECT_EQ(CompareKeys(c.b, c.a), -c.result) << '"' << c.b << "\" vs \"" << c.a << '"';
    }
}

// Distinct texts with equal keys: the case variants of one word, numbered by
// the bits of their index (bit k set: letter k in upper case).
std::vector<std::string> CaseVariants(std::size_t count) {
    const std::string word = "abcde";
    std::vector<std::string> variants;
    for (std::size_t index = 0; index < count; ++index) {
        std::string text = word;
        for (std::size_t bit = 0; bit < word.size(); ++bit) {
            if (index & (std::size_t{1} << bit)) {
                text[bit] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[bit])));
            }
        }
        variants.push_back(text);
    }
    return variants;
}

struct EqualKeysCase {
    std::size_t count;
    std::vector<std::size_t> order; // where each original element ends up, by its index
};

// The order of equal keys is the fingerprint of the algorithm: pivot from the
// middle, both scans stopping at once and exchanging, insertion sort (stable)
// for ranges of at most 13, recursion into the smaller part. Worked out by
// hand from those rules.
TEST(SortKeys, EqualKeysEndInTheOrderOfTheQuicksort) {
    const std::vector<EqualKeysCase> cases = {
        {13, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {14, {7, 13, 12, 11, 10, 9, 8, 6, 0, 5, 4, 3, 2, 1}},
        {16, {8, 15, 14, 13, 12, 11, 10, 9, 7, 0, 6, 5, 4, 3, 2, 1}},
        {28, {21, 15, 16, 17, 18, 19, 20, 22, 14, 23, 24, 25, 26, 27, 13, 0, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
    };
    for (const EqualKeysCase& c : cases) {
        SCOPED_TRACE(c.count);
        const auto variants = CaseVariants(c.count);
        std::vector<std::string> expected;
        for (const std::size_t index : c.order) {
            expected.push_back(variants[index]);
        }

        CCatalogSession lines;
        lines.m_arrFolderRecords.push_back(std::make_unique<CFolderRecord>());
        CFolderRecord& record = *lines.m_arrFolderRecords[0];
        for (const std::string& text : variants) {
            record.m_arrFiles.push_back(lines.m_lines.Store(text));
        }
        SortCatalogue(lines);
        EXPECT_EQ(std::vector<std::string>(record.m_arrFiles.begin(), record.m_arrFiles.end()), expected);

        CCatalogSession records; // the same for records, by path
        for (const std::string& text : variants) {
            records.m_arrFolderRecords.push_back(std::make_unique<CFolderRecord>());
            records.m_arrFolderRecords.back()->m_path = records.m_lines.Store(text);
        }
        SortCatalogue(records);
        std::vector<std::string> paths;
        for (const auto& sorted : records.m_arrFolderRecords) {
            paths.emplace_back(sorted->m_path);
        }
        EXPECT_EQ(paths, expected);
    }
}

TEST(SortKeys, ManyKeysWithRepeatsEndInOrder) {
    std::mt19937 random(7);
    const std::string alphabet = "aA_/ -.1\xE9";
    CCatalogSession session;
    auto record = std::make_unique<CFolderRecord>();
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        std::string text(1 + random() % 4, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        texts.push_back(text);
        record->m_arrSubFolders.push_back(session.m_lines.Store(text));
    }
    CFolderRecord& sorted = *record;
    session.m_arrFolderRecords.push_back(std::move(record));
    SortCatalogue(session);

    const auto& lines = sorted.m_arrSubFolders;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ASSERT_LE(CompareKeys(lines[i - 1], lines[i]), 0) << i;
    }
    std::vector<std::string> after(lines.begin(), lines.end());
    std::sort(after.begin(), after.end());
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(after, texts); // nothing lost, nothing added
}

// "/" is 0x2F: a name continued by a space (0x20), a hyphen (0x2D) or a full
// stop (0x2E) comes before the folder's own sub-folders, one continued by a
// digit (0x31), an underscore (0x5F) or a letter after them.
TEST(SortedListing, RecordsFollowTheByteOrderOfTheirPaths) {
    CEngineFixture f;
    f.SetOption(Option::ExportData, 0);
    for (const char* folder : {"A", "A/B", "A1", "A B", "A-1", "A.1", "A_1", "AB"}) {
        f.m_tree.Folder(folder, 0);
    }
    ASSERT_EQ(f.Drop({"AB", "A_1", "A1", "A.1", "A-1", "A B", "A"}), DropOutcome::Sorting);
    std::vector<std::string> paths;
    for (const auto& record : f.m_engine->Session().m_arrFolderRecords) {
        paths.emplace_back(record->m_path);
    }
    const std::string root = UpperAscii(f.m_tree.Root());
    EXPECT_EQ(paths, (std::vector<std::string>{root, root + "/A", root + "/A B", root + "/A-1", root + "/A.1",
                                               root + "/A/B", root + "/A1", root + "/A_1", root + "/AB"}));
}

TEST(SortWorker, RunsOffTheCallingThreadAndCompletesThroughTheHost) {
    struct Case {
        const char* name;
        std::vector<std::string> dropped;
        int exportData;
    };
    for (const Case& c : {Case{"records", {"one", "two"}, 0}, Case{"no records", {"one/.hidden"}, 0},
                          Case{"export at once", {"one"}, 1}}) {
        SCOPED_TRACE(c.name);
        CEngineFixture f;
        f.m_tree.Folder("one", 0);
        f.m_tree.Folder("two", 0);
        f.m_tree.File("one/.hidden", 1, 0);
        f.SetOption(Option::ExportData, c.exportData);
        f.m_host.m_events.clear();
        std::vector<std::string> paths;
        for (const std::string& relative : c.dropped) {
            paths.push_back(f.m_tree.Path(relative));
        }
        ASSERT_EQ(f.m_engine->ProcessDrop(paths), DropOutcome::Sorting);
        EXPECT_TRUE(f.m_engine->IsSorting());
        EXPECT_EQ(f.m_engine->Session().m_bBusy, 1);
        EXPECT_EQ(f.m_engine->Session().m_bSaved, 0);
        f.m_host.CompleteSort(*f.m_engine);
        EXPECT_NE(f.m_host.m_sortDoneThread, std::thread::id());
        EXPECT_NE(f.m_host.m_sortDoneThread, std::this_thread::get_id());
        EXPECT_FALSE(f.m_engine->IsSorting());
        EXPECT_EQ(f.m_engine->Session().m_bBusy, 0);
        EXPECT_EQ(f.m_host.m_events,
                  (std::vector<std::string>{"Busy on", "SortStarted", "SortFinished", "Busy off"}));
        if (c.exportData != 0) {
            EXPECT_EQ(f.m_host.m_proposals, std::vector<std::string>{"Export1"});
        } else {
            EXPECT_TRUE(f.m_host.m_proposals.empty());
        }
        EXPECT_EQ(f.m_host.m_statuses.back(), "Data can now be exported"); // or the cancelled export's
    }
}

TEST(SortWorker, SortsOnTheCallingThreadWhenNoThreadStarts) {
    CCatalogSession session;
    for (const char* path : {"/B", "/a", "/C"}) {
        auto record = std::make_unique<CFolderRecord>();
        record->m_path = session.m_lines.Store(path);
        session.m_arrFolderRecords.push_back(std::move(record));
    }
    CSortWorker worker;
    worker.m_bFailThreadStart = true;
    std::thread::id doneOn;
    worker.Start(session, std::chrono::milliseconds(60000), [&] { doneOn = std::this_thread::get_id(); });
    EXPECT_EQ(doneOn, std::this_thread::get_id()); // done inside Start, without the display pause
    EXPECT_EQ(session.m_arrFolderRecords[0]->m_path, "/a");
    EXPECT_EQ(session.m_arrFolderRecords[2]->m_path, "/C");
}

TEST(SortWorker, WaitsOutTheMinimumTimeBeforeItReports) {
    CCatalogSession session;
    CSortWorker worker;
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    worker.Start(session, std::chrono::milliseconds(150), [&] { done = true; });
    worker.Join();
    EXPECT_TRUE(done);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST(SortWorker, SpinnerContinuesWhereTheLastSortStopped) {
    CEngineFixture f;
    f.SetOption(Option::ExportData, 0);
    f.m_tree.Folder("one", 0);
    std::vector<std::string> shown;
    for (int tick = 0; tick < 6; ++tick) {
        f.m_engine->SpinnerStep();
        shown.push_back(f.m_host.m_statuses.back());
    }
    ASSERT_EQ(f.Drop({"one"}), DropOutcome::Sorting);
    f.m_engine->SpinnerStep();
    shown.push_back(f.m_host.m_statuses.back());
    EXPECT_EQ(shown, (std::vector<std::string>{"Sorting: /", "Sorting: -", "Sorting: \\", "Sorting: |", "Sorting: /",
                                               "Sorting: -", "Sorting: \\"}));
}

} // namespace
