#include "EngineFixture.h"
#include "StringTable.h"

#include <algorithm>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// 5 March 2026, 14:07:09 local time: "03/05/26" and "14:07:09" in C.UTF-8.
// A function, not a constant: the test time zone is set in main.
std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }
const std::string kStamp = "03/05/26\t14:07:09";

// "{R}" stands for the tree's root in upper case, "{r}" for it as it is.
std::string Expand(std::string text, const std::string& root) {
    for (auto at = text.find("{R}"); at != std::string::npos; at = text.find("{R}")) {
        text.replace(at, 3, UpperAscii(root));
    }
    for (auto at = text.find("{r}"); at != std::string::npos; at = text.find("{r}")) {
        text.replace(at, 3, root);
    }
    return text;
}

std::string Folder(const std::string& name) {
    return UpperAscii(name) + "\t<FOLDER>\t" + kStamp + "\t" + UpperAscii(name);
}
std::string File(const std::string& name, int size) {
    return UpperAscii(name) + "\t" + std::to_string(size) + "\t" + kStamp + "\t" + UpperAscii(name);
}
std::string Archived(const std::string& name, int size, const std::string& tag) {
    return name + "\t" + std::to_string(size) + "\t" + kStamp + "\t" + tag;
}

// The tree every drop below is made from. Archive folders hold one file
// each, since an archive report keeps the order the file system returns.
void BuildTree(CTempTree& tree) {
    tree.Folder("Media", Time());
    tree.Folder("Media/Sub", Time());
    tree.File("Media/Sub/a.txt", 10, Time());
    tree.File("Media/b.txt", 20, Time());
    tree.File("Media/.secret", 5, Time());
    tree.Folder("Empty", Time());
    tree.Folder("Two", Time());
    tree.File("Two/x.txt", 1, Time());
    tree.File("Two/y.txt", 2, Time());
    tree.File("Two/.h", 3, Time());
    tree.Folder("ArcA", Time());
    tree.File("ArcA/c.txt", 7, Time());
    tree.Folder("ArcB", Time());
    tree.File("ArcB/d.txt", 8, Time());
    tree.Finish();
}

struct DropCase {
    const char* name;
    std::vector<std::pair<Option, int>> options;
    std::vector<std::pair<std::string, std::string>> storedArchive; // "Archive Options" before the drop
    std::vector<std::string> dropped;                               // relative; "/" at the end kept
    DropOutcome outcome;
    std::vector<std::string> catalogue; // records ("PATH|subs|files") or archive lines
    std::string log;
    std::string storedArchiveNumber; // after the drop; "" when never written
    std::vector<std::string> boxes;
};

void PrintTo(const DropCase& c, std::ostream* out) { *out << c.name; }

class DropTable : public testing::TestWithParam<DropCase> {};

TEST_P(DropTable, CatalogueLogAndStoredNumber) {
    const DropCase& c = GetParam();
    CEngineFixture f;
    BuildTree(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    for (const auto& [option, value] : c.options) {
        f.SetOption(option, value);
    }
    for (const auto& [key, value] : c.storedArchive) {
        f.SetArchive(key, value);
    }
    std::vector<std::string> paths;
    for (const std::string& relative : c.dropped) {
        paths.push_back(f.m_tree.Path(relative));
    }
    EXPECT_EQ(f.DropAbsolute(paths), c.outcome);

    const std::string root = f.m_tree.Root();
    std::vector<std::string> expected;
    for (const std::string& line : c.catalogue) {
        expected.push_back(Expand(line, root));
    }
    if (f.m_settings.Get(Option::ProcessType) == kProcessListing) {
        EXPECT_EQ(f.Records(), expected);
        EXPECT_TRUE(f.m_engine->Session().m_arrArchiveLines.empty());
    } else {
        const auto& lines = f.m_engine->Session().m_arrArchiveLines;
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), expected);
        EXPECT_TRUE(f.m_engine->Session().m_arrFolderRecords.empty());
    }
    EXPECT_EQ(f.m_engine->Log().Text(), Expand(c.log, root));
    EXPECT_EQ(f.m_store.GetString("Archive Options", "ArchiveNumber", ""), c.storedArchiveNumber);
    std::vector<std::string> boxes;
    for (const auto& box : f.m_host.m_boxes) {
        boxes.push_back(box.text + " / " + box.caption + " / " + std::to_string(box.style));
    }
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(f.m_engine->Session().m_bBusy, 0);
    const bool completed = c.outcome == DropOutcome::Sorting || c.outcome == DropOutcome::Ready;
    EXPECT_EQ(f.m_engine->Session().m_bSaved, completed ? 0 : 1);
}

const std::string kNoFiles = "No files to process! / Drop Files / 64";

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTable,
    testing::Values(
        DropCase{"FolderGivesItsRecordsAndADropRecordForItsParent", {}, {}, {"Media"}, DropOutcome::Sorting,
                 {"{R}|" + Folder("Media") + "|", "{R}/MEDIA|" + Folder("Sub") + "|" + File("b.txt", 20),
                  "{R}/MEDIA/SUB||" + File("a.txt", 10)},
                 "", "", {}},
        DropCase{"TwoFilesOfOneFolderGiveOneRecord", {}, {}, {"Two/y.txt", "Two/x.txt"}, DropOutcome::Sorting,
                 {"{R}/TWO||" + File("x.txt", 1) + ";" + File("y.txt", 2)}, "", "", {}},
        DropCase{"HiddenDroppedFileIsSkippedWithoutADropRecord", {}, {}, {"Two/.h"}, DropOutcome::Sorting, {}, "",
                 "", {}},
        DropCase{"HiddenFileBeforeAVisibleOne", {}, {}, {"Two/.h", "Two/x.txt"}, DropOutcome::Sorting,
                 {"{R}/TWO||" + File("x.txt", 1)}, "", "", {}},
        DropCase{"HiddenFileKeptWhenHiddenEntriesAreIncluded",
                 {{Option::ExcludeHiddenSystemInfo, 0}},
                 {},
                 {"Two/.h"},
                 DropOutcome::Sorting,
                 {"{R}/TWO||" + File(".h", 3)},
                 "",
                 "",
                 {}},
        DropCase{"FolderNotWalkedWithSubFoldersExcluded",
                 {{Option::ExcludeSubFolders, 1}},
                 {},
                 {"Media"},
                 DropOutcome::Sorting,
                 {"{R}|" + Folder("Media") + "|"},
                 "",
                 "",
                 {}},
        DropCase{"RootDropHasNoLineAndNoDropRecord", {}, {}, {"Media/"}, DropOutcome::Sorting,
                 {"{R}/MEDIA/|" + Folder("Sub") + "|" + File("b.txt", 20), "{R}/MEDIA/SUB||" + File("a.txt", 10)},
                 "", "", {}},
        DropCase{"RootIsWalkedEvenWithSubFoldersExcluded",
                 {{Option::ExcludeSubFolders, 1}},
                 {},
                 {"Media/"},
                 DropOutcome::Sorting,
                 {"{R}/MEDIA/|" + Folder("Sub") + "|" + File("b.txt", 20)},
                 "",
                 "",
                 {}},
        DropCase{"EmptyFolderProceedsToTheSort", {}, {}, {"Empty"}, DropOutcome::Sorting,
                 {"{R}|" + Folder("Empty") + "|", "{R}/EMPTY||"}, "", "", {}},
        DropCase{"EmptyFolderWithEmptyFoldersExcluded",
                 {{Option::ExcludeEmptyFolders, 1}},
                 {},
                 {"Empty"},
                 DropOutcome::NoFiles,
                 {},
                 "",
                 "",
                 {kNoFiles}},
        DropCase{"MissingPathStopsTheDropAndKeepsNothing", {}, {}, {"Media", "Missing", "Two"},
                 DropOutcome::PathNotFound, {}, "", "", {}},
        DropCase{"TwoArchivesNumberedFromOne",
                 {{Option::ProcessType, 0}},
                 {},
                 {"ArcA", "ArcB"},
                 DropOutcome::Ready,
                 {Archived("c.txt", 7, "CD01-01"), Archived("d.txt", 8, "CD01-02")},
                 "CD01-01\t{r}/ArcA\r\nCD01-02\t{r}/ArcB",
                 "3",
                 {}},
        DropCase{"LogLineOfTheStoredTags",
                 {{Option::ProcessType, 0}},
                 {{"MediaType", "dat"}, {"MediaNumber", "2"}, {"ArchiveNumber", "5"}},
                 {"ArcA"},
                 DropOutcome::Ready,
                 {Archived("c.txt", 7, "DAT02-05")},
                 "DAT02-05\t{r}/ArcA",
                 "6",
                 {}},
        DropCase{"SingleArchiveWritesNoLog",
                 {{Option::ProcessType, 0}},
                 {{"MultipleArchive", "0"}, {"ArchiveNumber", "4"}},
                 {"ArcA", "ArcB"},
                 DropOutcome::Ready,
                 {Archived("c.txt", 7, "CD01-04"), Archived("d.txt", 8, "CD01-04")},
                 "",
                 "4",
                 {}},
        DropCase{"DroppedFileCarriesTheCurrentNumber",
                 {{Option::ProcessType, 0}},
                 {},
                 {"ArcA/c.txt", "ArcB", "Two/x.txt"},
                 DropOutcome::Ready,
                 {Archived("c.txt", 7, "CD01-01"), Archived("d.txt", 8, "CD01-01"), Archived("x.txt", 1, "CD01-02")},
                 "CD01-01\t{r}/ArcB",
                 "2",
                 {}},
        DropCase{"RootDropIsOneArchive",
                 {{Option::ProcessType, 0}},
                 {{"ArchiveNumber", "9"}},
                 {"ArcA/"},
                 DropOutcome::Ready,
                 {Archived("c.txt", 7, "CD01-09")},
                 "CD01-09\t{r}/ArcA/",
                 "10",
                 {}},
        DropCase{"UnwalkedFolderNeitherLogsNorAdvances",
                 {{Option::ProcessType, 0}, {Option::ExcludeSubFolders, 1}},
                 {},
                 {"ArcA", "Two/x.txt"},
                 DropOutcome::Ready,
                 {Archived("x.txt", 1, "CD01-01")},
                 "",
                 "1",
                 {}},
        DropCase{"AdvancedNumberOfAnEmptyArchiveIsNotStored",
                 {{Option::ProcessType, 0}},
                 {{"ArchiveNumber", "4"}},
                 {"Empty"},
                 DropOutcome::NoFiles,
                 {},
                 "CD01-04\t{r}/Empty",
                 "4",
                 {kNoFiles}}),
    [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

class DropProcessing : public testing::Test {
protected:
    DropProcessing() {
        BuildTree(f.m_tree);
        f.SetOption(Option::ExportData, 0);
        f.m_host.m_events.clear();
    }
    std::size_t Count(const std::string& event) const {
        return static_cast<std::size_t>(std::count(f.m_host.m_events.begin(), f.m_host.m_events.end(), event));
    }
    CEngineFixture f;
};

TEST_F(DropProcessing, UnsavedCatalogueIsKeptWhenTheUserSaysNo) {
    ASSERT_EQ(f.Drop({"Two"}), DropOutcome::Sorting);
    const auto before = f.Records();
    f.m_host.m_boxAnswers = {IDNO};
    EXPECT_EQ(f.Drop({"Media"}), DropOutcome::Abandoned);
    ASSERT_EQ(f.m_host.m_boxes.size(), 1u);
    EXPECT_EQ(f.m_host.m_boxes[0].text, "You have unsaved data!  Overwrite?");
    EXPECT_EQ(f.m_host.m_boxes[0].caption, "Warning!");
    EXPECT_EQ(f.m_host.m_boxes[0].style, 36u);
    EXPECT_EQ(f.Records(), before);
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 0);

    f.m_host.m_boxAnswers = {IDYES};
    EXPECT_EQ(f.Drop({"Empty"}), DropOutcome::Sorting);
    const std::string root = UpperAscii(f.m_tree.Root());
    EXPECT_EQ(f.Records(), (std::vector<std::string>{root + "|" + Folder("Empty") + "|", root + "/EMPTY||"}));
}

TEST_F(DropProcessing, CancelledArchiveSettingsAbandonTheDropAfterTheReset) {
    f.SetOption(Option::ProcessType, 0);
    ASSERT_EQ(f.Drop({"ArcA", "ArcB"}), DropOutcome::Ready);
    ASSERT_FALSE(f.m_engine->Log().IsLogEmpty());
    f.m_host.m_events.clear();
    f.m_host.m_bArchiveSettingsOk = false;
    f.m_host.m_onArchiveSettings = [](CArchiveSettings& tags) { tags.m_nArchiveNumber = 42; };
    EXPECT_EQ(f.Drop({"Two"}), DropOutcome::Abandoned);
    EXPECT_EQ(f.m_host.m_nArchiveDialogs, 2);
    EXPECT_TRUE(f.m_engine->Session().m_arrArchiveLines.empty()); // the user agreed to lose it
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 1);
    EXPECT_TRUE(f.m_engine->Log().IsLogEmpty());
    EXPECT_EQ(f.m_store.GetString("Archive Options", "ArchiveNumber", ""), "3");
    EXPECT_EQ(f.m_host.m_events, std::vector<std::string>{"Export off"}); // never busy
}

TEST_F(DropProcessing, CompletedArchiveReportWaitsForExport) {
    f.SetOption(Option::ProcessType, 0);
    ASSERT_EQ(f.Drop({"ArcA"}), DropOutcome::Ready);
    EXPECT_EQ(f.m_host.m_statuses.back(), "Data can now be exported");
    EXPECT_EQ(f.m_host.m_events, (std::vector<std::string>{"Busy on", "Export on", "Busy off"}));
    EXPECT_TRUE(f.m_host.m_proposals.empty());
    EXPECT_EQ(f.m_engine->Session().m_nFileCount, 1);
}

TEST_F(DropProcessing, ArchiveReportIsExportedAtOnceWhenSoSet) {
    f.SetOption(Option::ProcessType, 0);
    f.SetOption(Option::ExportData, 1);
    f.SetOption(Option::AutoView, 0);
    f.m_host.m_saveAsAnswers = {f.m_tree.Path("out.txt")};
    ASSERT_EQ(f.Drop({"ArcA", "ArcB"}), DropOutcome::Ready);
    EXPECT_EQ(f.m_host.m_proposals, std::vector<std::string>{"Export1"});
    EXPECT_EQ(f.m_tree.ReadText("out.txt"),
              Archived("c.txt", 7, "CD01-01") + "\r\n" + Archived("d.txt", 8, "CD01-02") + "\r\n");
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 1); // exported and reset
    EXPECT_EQ(f.m_host.m_statuses.back(), "Idle");
}

TEST_F(DropProcessing, StoppedDropLeavesNothingForTheNextOne) {
    EXPECT_EQ(f.Drop({"Media", "Missing"}), DropOutcome::PathNotFound);
    EXPECT_EQ(f.m_engine->PathNotFound(), f.m_tree.Path("Missing"));
    EXPECT_TRUE(f.m_host.m_boxes.empty());
    EXPECT_EQ(f.m_engine->Session().m_nFileCount, 0);
    EXPECT_EQ(Count("SortStarted"), 0u);

    f.SetOption(Option::ExcludeEmptyFolders, 1);
    EXPECT_EQ(f.Drop({"Media", "Empty"}), DropOutcome::Sorting); // no question: nothing was kept
    EXPECT_TRUE(f.m_host.m_boxes.empty());
    const std::string root = UpperAscii(f.m_tree.Root());
    EXPECT_EQ(f.Records(), (std::vector<std::string>{
                               root + "|" + Folder("Empty") + ";" + Folder("Media") + "|", root + "/EMPTY||",
                               root + "/MEDIA|" + Folder("Sub") + "|" + File("b.txt", 20),
                               root + "/MEDIA/SUB||" + File("a.txt", 10)}));
}

TEST_F(DropProcessing, NextArchiveDropStartsFromTheStoredNumber) {
    f.SetOption(Option::ProcessType, 0);
    f.SetArchive("ArchiveNumber", "7");
    ASSERT_EQ(f.Drop({"Empty", "ArcA"}), DropOutcome::Ready);
    // ArcA was archive 8: the empty folder took 7.
    EXPECT_EQ(f.m_store.GetString("Archive Options", "ArchiveNumber", ""), "9");
    f.m_host.m_boxAnswers = {IDYES};
    ASSERT_EQ(f.Drop({"Empty"}), DropOutcome::NoFiles);
    EXPECT_EQ(f.m_engine->ArchiveSettings().m_nArchiveNumber, 10);
    EXPECT_EQ(f.m_store.GetString("Archive Options", "ArchiveNumber", ""), "9");
    ASSERT_EQ(f.Drop({"ArcB"}), DropOutcome::Ready);
    EXPECT_EQ(std::string(f.m_engine->Session().m_arrArchiveLines.at(0)), Archived("d.txt", 8, "CD01-09"));
}

TEST_F(DropProcessing, LogIsEmptiedByAListingDropToo) {
    f.SetOption(Option::ProcessType, 0);
    ASSERT_EQ(f.Drop({"ArcA"}), DropOutcome::Ready);
    ASSERT_FALSE(f.m_engine->Log().IsLogEmpty());
    f.SetOption(Option::ProcessType, 1);
    ASSERT_EQ(f.Drop({"Two"}), DropOutcome::Sorting);
    EXPECT_TRUE(f.m_engine->Log().IsLogEmpty());
}

TEST_F(DropProcessing, StatusCountsFilesAndEndsReadyForExport) {
    ASSERT_EQ(f.Drop({"Media", "Two"}), DropOutcome::Sorting);
    const auto& statuses = f.m_host.m_statuses;
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[statuses.size() - 2], "Processing file: 4");
    EXPECT_EQ(statuses.back(), "Data can now be exported");
    for (std::size_t i = 0; i + 2 < statuses.size(); ++i) {
        EXPECT_EQ(statuses[i].rfind("Processing file: ", 0), 0u) << statuses[i];
    }
    EXPECT_EQ(f.m_engine->Session().m_dwTotalBytes, 33u);
}

// A file that lies directly in "/" gets the drop record "/": any entry of
// "/" that is not a folder will do (a link such as /bin is a file entry).
TEST_F(DropProcessing, FileInTheRootFolderGivesTheRootRecord) {
    std::string name;
    if (DIR* root = opendir("/")) {
        while (const dirent* entry = readdir(root)) {
            struct stat info {};
            const std::string path = std::string("/") + entry->d_name;
            if (entry->d_name[0] != '.' && lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
                name = entry->d_name;
                break;
            }
        }
        closedir(root);
    }
    if (name.empty()) {
        GTEST_SKIP() << "no file or link directly in /";
    }
    ASSERT_EQ(f.DropAbsolute({"/" + name}), DropOutcome::Sorting);
    const auto records = f.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].rfind("/||" + UpperAscii(name) + "\t", 0), 0u) << records[0];
}

TEST_F(DropProcessing, LaterPathEndingInASlashBelongsToItsParent) {
    ASSERT_EQ(f.Drop({"Two/.h", "Empty/"}), DropOutcome::Sorting);
    const std::string root = UpperAscii(f.m_tree.Root());
    EXPECT_EQ(f.Records(), (std::vector<std::string>{root + "|" + Folder("Empty") + "|", root + "/EMPTY/||"}));
}

} // namespace
