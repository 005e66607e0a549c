#include "EngineFixture.h"
#include "Unprivileged.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A function, not a constant: the test time zone is set in main.
std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }

std::string Spaces(std::size_t n) { return std::string(n, ' '); }

// "{R}" stands for the tree's root in upper case.
std::string Expand(std::string text, const std::string& root) {
    for (auto at = text.find("{R}"); at != std::string::npos; at = text.find("{R}")) {
        text.replace(at, 3, UpperAscii(root));
    }
    return text;
}

void BuildTree(CTempTree& tree) {
    tree.Folder("A", Time());
    tree.Folder("A/B", Time());
    tree.File("A/f.txt", 1234, Time());
    tree.Folder("ArcA", Time());
    tree.File("ArcA/c.txt", 7, Time());
    tree.Folder("ArcB", Time());
    tree.File("ArcB/d.txt", 8, Time());
    tree.Folder("Empty", Time());
    tree.Folder("P1", Time());
    tree.File("P1/one", 1, Time());
    tree.Folder("P2", Time());
    tree.Folder("P3", Time());
    for (const char* name : {"P3/x", "P3/y", "P3/z"}) {
        tree.File(name, 1, Time());
    }
    tree.Finish();
}

// Dropping A/B and A/f.txt gives two records: A with one sub-folder line and
// one file line, and the empty A/B.
const std::vector<std::string> kTwoRecords = {"A/B", "A/f.txt"};

const std::string kTabbedB = "B\t<FOLDER>\t03/05/26\t14:07:09\tB";
const std::string kTabbedF = "F.TXT\t1234\t03/05/26\t14:07:09\tF.TXT";
const std::string kPaddedB = "B" + Spaces(14) + "  " + Spaces(12) + "<FOLDER>  03/05/26  " + Spaces(3) + "14:07:09  B";
const std::string kPaddedF =
    "F.TXT" + Spaces(10) + "  " + Spaces(16) + "1234  03/05/26  " + Spaces(3) + "14:07:09  F.TXT";

struct LayoutCase {
    const char* name;
    const char* locale;
    std::vector<std::pair<Option, int>> options;
    std::vector<std::string> dropped;
    int processTypeAtExport; // -1: as dropped
    std::string report;
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.name; }

class ReportLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ReportLayout, WholeReportBytes) {
    const LayoutCase& c = GetParam();
    CEngineFixture f(c.locale);
    BuildTree(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    for (const auto& [option, value] : c.options) {
        f.SetOption(option, value);
    }
    f.Drop(c.dropped);
    if (c.processTypeAtExport >= 0) {
        f.SetOption(Option::ProcessType, c.processTypeAtExport);
    }
    EXPECT_EQ(f.Export(), Expand(c.report, f.m_tree.Root()));
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 1);
    EXPECT_EQ(f.m_host.m_statuses.back(), "Idle");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReportLayout,
    testing::Values(
        LayoutCase{"FullListing", "C.UTF-8", {}, kTwoRecords, -1,
                   "{R}/A\r\n\r\n" + kTabbedB + "\r\n" + kTabbedF +
                       "\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\nSummary: 2 Folder(s), 1 File(s)\t1234 Bytes"},
        LayoutCase{"FullListingWithoutEmptyFolders", "C.UTF-8", {{Option::ExcludeEmptyFolders, 1}}, kTwoRecords, -1,
                   "{R}/A\r\n\r\n" + kTabbedB + "\r\n" + kTabbedF +
                       "\r\n\r\nSummary: 1 Folder(s), 1 File(s)\t1234 Bytes"},
        LayoutCase{"FullListingPadded", "C.UTF-8", {{Option::OutputFormat, 1}}, kTwoRecords, -1,
                   "{R}/A\r\n\r\n" + kPaddedB + "\r\n" + kPaddedF +
                       "\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\nSummary: 2 Folder(s), 1 File(s)  " + Spaces(16) +
                       "1234 Bytes"},
        LayoutCase{"FullListingGroupedInUnitedStatesEnglish", "en_US.UTF-8", {}, kTwoRecords, -1,
                   "{R}/A\r\n\r\nB\t<FOLDER>\t03/05/2026\t02:07:09 PM\tB\r\n"
                   "F.TXT\t1,234\t03/05/2026\t02:07:09 PM\tF.TXT\r\n\r\n{R}/A/B\r\n\r\nFOLDER IS EMPTY\r\n\r\n"
                   "Summary: 2 Folder(s), 1 File(s)\t1,234 Bytes"},
        LayoutCase{"FoldersOnly", "C.UTF-8", {{Option::DirectoryOnly, 1}}, kTwoRecords, -1,
                   "{R}/A\r\n{R}/A/B\r\n\r\nSummary: 2 Folder(s), 0 File(s)\t0 Bytes"},
        LayoutCase{"FoldersOnlyWithoutSubFolders",
                   "C.UTF-8",
                   {{Option::DirectoryOnly, 1}, {Option::ExcludeSubFolders, 1}},
                   kTwoRecords,
                   -1,
                   "{R}/A/B\r\n\r\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes"},
        LayoutCase{"FoldersOnlyPaddedNameFromCharacter62",
                   "C.UTF-8",
                   {{Option::DirectoryOnly, 1}, {Option::ExcludeSubFolders, 1}, {Option::OutputFormat, 1}},
                   kTwoRecords,
                   -1,
                   "{R}/A/B\r\n\r\nSummary: 1 Folder(s), 0 File(s)  " + Spaces(19) + "0 Bytes"},
        // A ten-character date and an eleven-character time push the
        // separator in front of the name past character 62.
        LayoutCase{"FoldersOnlyPaddedWideColumnsPushIntoTheName",
                   "en_US.UTF-8",
                   {{Option::DirectoryOnly, 1}, {Option::ExcludeSubFolders, 1}, {Option::OutputFormat, 1}},
                   kTwoRecords,
                   -1,
                   "{R}/A/  B\r\n\r\nSummary: 1 Folder(s), 0 File(s)  " + Spaces(19) + "0 Bytes"},
        LayoutCase{"FoldersOnlyRootRecordGetsNoSecondSlash",
                   "C.UTF-8",
                   {{Option::DirectoryOnly, 1}, {Option::ExcludeSubFolders, 1}},
                   {"A/"},
                   -1,
                   "{R}/A/B\r\n\r\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes"},
        LayoutCase{"ArchiveReport", "C.UTF-8", {{Option::ProcessType, 0}}, {"ArcA", "ArcB"}, -1,
                   "c.txt\t7\t03/05/26\t14:07:09\tCD01-01\r\nd.txt\t8\t03/05/26\t14:07:09\tCD01-02\r\n"},
        LayoutCase{"ListingSessionWrittenAsArchiveIsEmpty", "C.UTF-8", {}, kTwoRecords, 0, ""},
        LayoutCase{"ArchiveSessionWrittenAsListing", "C.UTF-8", {{Option::ProcessType, 0}}, {"ArcA"}, 1,
                   "\r\nSummary: 0 Folder(s), 1 File(s)\t0 Bytes"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

class Export : public testing::Test {
protected:
    Export() {
        BuildTree(f.m_tree);
        f.SetOption(Option::ExportData, 0);
        f.SetOption(Option::AutoView, 0);
    }
    // The statuses shown from the given index on.
    std::vector<std::string> StatusesFrom(std::size_t index) const {
        const auto& all = f.m_host.m_statuses;
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(std::min(index, all.size())),
                                        all.end());
    }
    std::vector<std::string> FolderContents(const std::string& relative) const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(f.m_tree.Path(relative).c_str())) {
            while (const dirent* entry = readdir(dir)) {
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
                    names.push_back(entry->d_name);
                }
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    CEngineFixture f;
};

TEST_F(Export, ProposalFollowsTheDigitsOfTheChosenName) {
    struct Step {
        bool drop;
        std::string chosen; // "" cancels
        std::string proposal;
    };
    const std::vector<Step> steps = {
        {true, "Backup12.txt", "Export1"},
        {true, "2001.txt", "Export13"},
        {true, "Report.txt", "Export2002"},
        {true, "", "Export2002"},
        {false, "007.txt", "Export2002"},
        {true, "x99999999999999999999999.txt", "Export8"},
        {true, "", "Export1000000000000000000"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.chosen);
        if (step.drop) {
            ASSERT_EQ(f.Drop({"A"}), DropOutcome::Sorting);
        }
        const auto records = f.Records();
        f.m_host.m_saveAsAnswers = {step.chosen.empty() ? "" : f.m_tree.Path(step.chosen)};
        f.m_engine->ExportCatalogue();
        EXPECT_EQ(f.m_host.m_proposals.back(), step.proposal);
        if (step.chosen.empty()) {
            EXPECT_EQ(f.m_host.m_statuses.back(), "Data can now be exported");
            EXPECT_EQ(f.Records(), records);
            EXPECT_EQ(f.m_engine->Session().m_bSaved, 0);
        } else {
            EXPECT_TRUE(CTempTree::Exists(f.m_tree.Path(step.chosen)));
            EXPECT_TRUE(f.Records().empty());
        }
    }
    EXPECT_EQ(f.m_host.m_initialFolders.front(), "");
    EXPECT_EQ(f.m_host.m_initialFolders.back(), f.m_tree.Root() + "/");
}

TEST_F(Export, ProgressTexts) {
    struct Case {
        const char* name;
        int processType;
        std::vector<std::string> dropped;
        int processTypeAtExport;
        std::vector<std::string> statuses;
    };
    const std::vector<Case> cases = {
        {"archive lines", 0, {"ArcA", "ArcB", "P1/one"}, 0,
         {" 33% Exported", " 67% Exported", "100% Exported", "100% Exported", "Idle"}},
        {"records after records with files", 1, {"P1", "P2", "P3"}, 1,
         {" 25% Exported", " 50% Exported", "100% Exported", "Idle"}},
        {"more than all files is shown as 100%", 1, kTwoRecords, 1, {"100% Exported", "100% Exported", "Idle"}},
        {"listing without files", 1, {"Empty"}, 1, {"100% Exported", "Idle"}},
        {"archive without lines", 1, kTwoRecords, 0, {"100% Exported", "Idle"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.SetOption(Option::ProcessType, c.processType);
        ASSERT_NE(f.Drop(c.dropped), DropOutcome::NoFiles);
        f.SetOption(Option::ProcessType, c.processTypeAtExport);
        const std::size_t before = f.m_host.m_statuses.size();
        f.Export();
        EXPECT_EQ(StatusesFrom(before), c.statuses);
    }
}

TEST_F(Export, WrittenReportIsRememberedShownAndOpened) {
    CEngineTiming timing;
    timing.minimumSortTime = std::chrono::milliseconds(0);
    timing.exportPause = std::chrono::milliseconds(2000); // the fake host does not sleep
    f.m_engine = std::make_unique<CCatalogEngine>(f.m_host, f.m_settings,
                                                  CLocaleFormat("C.UTF-8", "C.UTF-8", "C.UTF-8"), timing);
    f.SetOption(Option::AutoView, 1);
    ASSERT_EQ(f.Drop(kTwoRecords), DropOutcome::Sorting);
    f.m_host.m_events.clear();
    const std::size_t before = f.m_host.m_statuses.size();
    f.Export("out.txt");
    EXPECT_EQ(StatusesFrom(before), (std::vector<std::string>{"100% Exported", "100% Exported", "Idle"}));
    EXPECT_EQ(f.m_host.m_events, (std::vector<std::string>{"Pause", "Export off"}));
    EXPECT_EQ(f.m_host.m_openedReports, std::vector<std::string>{f.m_tree.Path("out.txt")});
    EXPECT_EQ(f.m_settings.GetDefaultDir(), f.m_tree.Root() + "/");
}

TEST_F(Export, ExistingReportIsReplacedWhole) {
    f.m_tree.WriteText("out.txt", std::string(100000, 'x'));
    ASSERT_EQ(f.Drop({"Empty"}), DropOutcome::Sorting);
    EXPECT_EQ(f.Export("out.txt"), Expand("{R}\r\n\r\nEMPTY\t<FOLDER>\t03/05/26\t14:07:09\tEMPTY\r\n\r\n"
                                          "{R}/EMPTY\r\n\r\nFOLDER IS EMPTY\r\n\r\n"
                                          "Summary: 2 Folder(s), 0 File(s)\t0 Bytes",
                                          f.m_tree.Root()));
    EXPECT_EQ(FolderContents(""),
              (std::vector<std::string>{"A", "ArcA", "ArcB", "Empty", "P1", "P2", "P3", "out.txt"}));
}

// After a failed open nothing has changed but the proposal number.
void ExpectOpenFailure(CEngineFixture& f, std::size_t statusesBefore, const std::string& text) {
    ASSERT_EQ(f.m_host.m_boxes.size(), 1u);
    EXPECT_EQ(f.m_host.m_boxes[0].text, text);
    EXPECT_EQ(f.m_host.m_boxes[0].caption, "Error exporting data!");
    EXPECT_EQ(f.m_host.m_boxes[0].style, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(f.m_host.m_statuses.size(), statusesBefore);
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 0);
    EXPECT_EQ(f.Records().size(), 2u);
    EXPECT_EQ(f.m_settings.GetDefaultDir(), "");
}

TEST_F(Export, OpenFailureInAMissingFolder) {
    ASSERT_EQ(f.Drop(kTwoRecords), DropOutcome::Sorting);
    const std::size_t before = f.m_host.m_statuses.size();
    const std::string chosen = f.m_tree.Path("missing/Export5.txt");
    f.m_host.m_saveAsAnswers = {chosen};
    f.m_engine->ExportCatalogue();
    ExpectOpenFailure(f, before, chosen + " contains an invalid path.");
    EXPECT_EQ(f.m_engine->Session().m_nExportCount, 5);
}

TEST_F(Export, OpenFailureInAReadOnlyFolder) {
    f.m_tree.Folder("ro", Time());
    f.m_tree.WriteText("ro/old.txt", "earlier");
    chmod(f.m_tree.Path("ro/old.txt").c_str(), 0444);
    chmod(f.m_tree.Path("ro").c_str(), 0555);
    ASSERT_EQ(f.Drop(kTwoRecords), DropOutcome::Sorting);
    const std::size_t before = f.m_host.m_statuses.size();
    for (const std::string name : {"ro/new.txt", "ro/old.txt"}) {
        const std::string chosen = f.m_tree.Path(name);
        // Root may write anywhere: the check runs as an ordinary user.
        EXPECT_TRUE(RunUnprivileged(f.m_tree.Root(), [&] {
            f.m_host.m_saveAsAnswers = {chosen};
            f.m_engine->ExportCatalogue();
            return f.m_host.m_boxes.size() == 1 && f.m_host.m_boxes[0].text == "Access to " + chosen + " was denied." &&
                   f.m_host.m_boxes[0].caption == "Error exporting data!" && f.m_host.m_statuses.size() == before &&
                   f.m_engine->Session().m_bSaved == 0 && f.m_settings.GetDefaultDir().empty();
        })) << name;
    }
    EXPECT_EQ(FolderContents("ro"), std::vector<std::string>{"old.txt"});
    EXPECT_EQ(f.m_tree.ReadText("ro/old.txt"), "earlier");
}

void ExpectDiskFull(CEngineFixture& f, const std::string& path, const std::string& lastStatus) {
    ASSERT_EQ(f.m_host.m_boxes.size(), 1u);
    EXPECT_EQ(f.m_host.m_boxes[0].text, "Disk full while accessing " + path + ".");
    EXPECT_EQ(f.m_host.m_boxes[0].caption, "Stowlist");
    EXPECT_EQ(f.m_host.m_boxes[0].style, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(f.m_host.m_statuses.back(), lastStatus);
    EXPECT_EQ(f.m_engine->Session().m_bSaved, 0);
    EXPECT_EQ(f.Records().size(), 4u);
    EXPECT_EQ(f.m_settings.GetDefaultDir(), "");
    EXPECT_TRUE(f.m_host.m_openedReports.empty());
}

TEST_F(Export, WriteFailureOnAFullDevice) {
    f.SetOption(Option::AutoView, 1);
    ASSERT_EQ(f.Drop({"P1", "P2", "P3"}), DropOutcome::Sorting);
    f.m_host.m_saveAsAnswers = {"/dev/full"};
    f.m_engine->ExportCatalogue();
    ExpectDiskFull(f, "/dev/full", " 50% Exported");
    // The catalogue can be exported again.
    f.m_host.m_boxes.clear();
    EXPECT_EQ(f.Export("again.txt").substr(0, f.m_tree.Root().size()), UpperAscii(f.m_tree.Root()));
}

// Holds the file size limit low for the process while it lives.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(Export, FailedWriteKeepsTheEarlierFile) {
    f.m_tree.Folder("out", Time());
    f.m_tree.WriteText("out/Export7.txt", "earlier report\r\n");
    ASSERT_EQ(f.Drop({"P1", "P2", "P3"}), DropOutcome::Sorting);
    const std::string chosen = f.m_tree.Path("out/Export7.txt");
    f.m_host.m_saveAsAnswers = {chosen};
    {
        const CFileSizeLimit limit(64); // the report is longer: the write fails half way
        f.m_engine->ExportCatalogue();
    }
    ExpectDiskFull(f, chosen, " 50% Exported");
    EXPECT_EQ(f.m_tree.ReadText("out/Export7.txt"), "earlier report\r\n");
    EXPECT_EQ(FolderContents("out"), std::vector<std::string>{"Export7.txt"});
    EXPECT_EQ(f.m_engine->Session().m_nExportCount, 7);
}

} // namespace
