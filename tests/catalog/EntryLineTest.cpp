#include "EngineFixture.h"
#include "EntryCollector.h"
#include "FakeHost.h"
#include "StringTable.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::string Spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The tree every whole-report test below catalogues.
void BuildMedia(CTempTree& tree) {
    tree.Folder("Media", LocalTime(2026, 2, 3, 10, 0, 0));
    tree.Folder("Media/Docs", LocalTime(2026, 1, 2, 3, 4, 5));
    tree.File("Media/Docs/report.txt", 1234567, LocalTime(2026, 3, 5, 14, 7, 9));
    tree.File("Media/Docs/midnight.dat", 0, LocalTime(2026, 3, 5, 0, 0, 0));
    tree.File("Media/big.iso", 5368709120ULL, LocalTime(2026, 7, 1, 9, 30, 0));
    tree.File("Media/\xC3\x9C" "berweisung.pdf", 2048, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.File("Media/\xC3\x84rger.txt", 3, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.File("Media/tab\tand\nnewline", 7, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.File("Media/.hidden", 5, LocalTime(2025, 12, 24, 18, 0, 0));
    tree.Finish();
}

TEST(WholeReport, TabbedListingInUnitedStatesEnglish) {
    CEngineFixture f("en_US.UTF-8");
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    ASSERT_EQ(f.Drop({"Media"}), DropOutcome::Sorting);
    const std::string root = UpperAscii(f.m_tree.Root());
    const std::string expected =
        root + "\r\n\r\n"
        "MEDIA\t<FOLDER>\t02/03/2026\t10:00:00 AM\tMEDIA\r\n"
        "\r\n" + root + "/MEDIA\r\n\r\n"
        "DOCS\t<FOLDER>\t01/02/2026\t03:04:05 AM\tDOCS\r\n"
        "BIG.ISO\t5,368,709,120\t07/01/2026\t09:30:00 AM\tBIG.ISO\r\n"
        "TAB?AND?NEWLINE\t7\t12/24/2025\t06:00:00 PM\tTAB?AND?NEWLINE\r\n"
        "\xC3\x84RGER.TXT\t3\t12/24/2025\t06:00:00 PM\t\xC3\x84RGER.TXT\r\n"
        "\xC3\x9C" "BERWEISUNG.PDF\t2,048\t12/24/2025\t06:00:00 PM\t\xC3\x9C" "BERWEISUNG.PDF\r\n"
        "\r\n" + root + "/MEDIA/DOCS\r\n\r\n"
        "MIDNIGHT.DAT\t0\t03/05/2026\t12:00:00 AM\tMIDNIGHT.DAT\r\n"
        "REPORT.TXT\t1,234,567\t03/05/2026\t02:07:09 PM\tREPORT.TXT\r\n"
        "\r\nSummary: 3 Folder(s), 6 File(s)\t5,369,945,745 Bytes";
    EXPECT_EQ(f.Export(), expected);
}

TEST(WholeReport, PaddedListingInGermanCountsCharacters) {
    CEngineFixture f("de_DE.UTF-8");
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    f.SetOption(Option::OutputFormat, 1);
    ASSERT_EQ(f.Drop({"Media"}), DropOutcome::Sorting);
    const std::string root = UpperAscii(f.m_tree.Root());
    const std::string folder = Spaces(12) + "<FOLDER>";
    const std::string expected =
        root + "\r\n\r\n" +
        "MEDIA" + Spaces(10) + "  " + folder + "  03.02.2026  " + Spaces(3) + "10:00:00  MEDIA\r\n" +
        "\r\n" + root + "/MEDIA\r\n\r\n" +
        "DOCS" + Spaces(11) + "  " + folder + "  02.01.2026  " + Spaces(3) + "03:04:05  DOCS\r\n" +
        "BIG.ISO" + Spaces(8) + "  " + Spaces(7) + "5.368.709.120  01.07.2026  " + Spaces(3) +
        "09:30:00  BIG.ISO\r\n" +
        "TAB?AND?NEWLINE  " + Spaces(19) + "7  24.12.2025  " + Spaces(3) + "18:00:00  TAB?AND?NEWLINE\r\n" +
        "\xC3\x84RGER.TXT" + Spaces(6) + "  " + Spaces(19) + "3  24.12.2025  " + Spaces(3) +
        "18:00:00  \xC3\x84RGER.TXT\r\n" +
        "\xC3\x9C" "BERWEISUNG.PDF  " + Spaces(15) + "2.048  24.12.2025  " + Spaces(3) +
        "18:00:00  \xC3\x9C" "BERWEISUNG.PDF\r\n" +
        "\r\n" + root + "/MEDIA/DOCS\r\n\r\n" +
        "MIDNIGHT.DAT" + Spaces(3) + "  " + Spaces(19) + "0  05.03.2026  " + Spaces(3) +
        "00:00:00  MIDNIGHT.DAT\r\n" +
        "REPORT.TXT" + Spaces(5) + "  " + Spaces(11) + "1.234.567  05.03.2026  " + Spaces(3) +
        "14:07:09  REPORT.TXT\r\n" +
        "\r\nSummary: 3 Folder(s), 6 File(s)  " + Spaces(7) + "5.369.945.745 Bytes";
    EXPECT_EQ(f.Export(), expected);
}

TEST(WholeReport, ArchiveReportInCUtf8) {
    CEngineFixture f("C.UTF-8");
    BuildMedia(f.m_tree);
    f.SetOption(Option::ExportData, 0);
    f.SetOption(Option::ProcessType, 0);
    ASSERT_EQ(f.Drop({"Media"}), DropOutcome::Ready);
    const std::string report = f.Export();
    // An archive report keeps the order of the walk, which is the file system's.
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < report.size();) {
        const auto end = report.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends in CRLF";
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    const std::vector<std::string> expected = {
        "big.iso\t5368709120\t07/01/26\t09:30:00\tCD01-01",
        "midnight.dat\t0\t03/05/26\t00:00:00\tCD01-01",
        "report.txt\t1234567\t03/05/26\t14:07:09\tCD01-01",
        "tab?and?newline\t7\t12/24/25\t18:00:00\tCD01-01",
        "\xC3\x84rger.txt\t3\t12/24/25\t18:00:00\tCD01-01",
        "\xC3\x9C" "berweisung.pdf\t2048\t12/24/25\t18:00:00\tCD01-01",
    };
    EXPECT_EQ(lines, expected);
}

struct LineCase {
    const char* name;
    const char* locale;
    int processType;
    int outputFormat;
    int formatFileSize;
    CFindData entry;
    std::string expected;
};

class EntryLine : public testing::TestWithParam<LineCase> {};

// AddEntry with a record of its own: the one line it stores.
TEST_P(EntryLine, IsBuiltExactly) {
    const LineCase& c = GetParam();
    CLocaleFormat locale(c.locale, c.locale, c.locale);
    CCatalogSession session;
    CFakeHost host;
    CArchiveSettings tags;
    tags.m_strMediaType = "DAT";
    tags.m_nMediaNumber = 100;
    tags.m_nArchiveNumber = 9;
    CEntryCollector collector(session, locale, tags, host, std::chrono::milliseconds(30));
    COptionsSnapshot options;
    options[Option::ProcessType] = c.processType;
    options[Option::OutputFormat] = c.outputFormat;
    options[Option::FormatFileSize] = c.formatFileSize;
    collector.Begin(options);
    CFolderRecord record;
    collector.AddEntry(c.entry, &record);
    if (c.processType == kProcessListing) {
        const CLineArray& lines = c.entry.m_bDirectory ? record.m_arrSubFolders : record.m_arrFiles;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], c.expected);
        EXPECT_EQ(session.m_dwTotalBytes, c.entry.m_nSize);
    } else if (c.entry.m_bDirectory) {
        EXPECT_TRUE(session.m_arrArchiveLines.empty());
    } else {
        ASSERT_EQ(session.m_arrArchiveLines.size(), 1u);
        EXPECT_EQ(session.m_arrArchiveLines[0], c.expected);
        EXPECT_EQ(session.m_dwTotalBytes, 0u);
    }
    EXPECT_EQ(session.m_nFileCount, c.entry.m_bDirectory ? 0 : 1);
    collector.ShowProcessing(true);
    ASSERT_FALSE(host.m_statuses.empty());
    EXPECT_EQ(host.m_statuses.back(), c.entry.m_bDirectory ? "Processing file: 0" : "Processing file: 1");
}

CFindData Entry(std::string_view name, bool directory, std::uint64_t size, std::int64_t time) {
    CFindData data;
    data.m_strName = name;
    data.m_bDirectory = directory;
    data.m_nSize = size;
    data.m_nLastWrite = time;
    return data;
}

// 2026-03-05 12:00:00 in the test time zone (CET, UTC+1).
const std::int64_t kNoon = 1772708400;
const std::int64_t kYear10000 = 253402300800LL + 86400 * 400;

INSTANTIATE_TEST_SUITE_P(
    Layouts, EntryLine,
    testing::Values(
        LineCase{"ArchiveTagsPadTwoDigits", "C.UTF-8", 0, 0, 1, Entry("a.txt", false, 1500, kNoon),
                 "a.txt\t1500\t03/05/26\t12:00:00\tDAT100-09"},
        LineCase{"ArchiveFolderStoresNothing", "C.UTF-8", 0, 0, 1, Entry("dir", true, 0, kNoon), ""},
        LineCase{"ArchiveKeepsCase", "de_DE.UTF-8", 0, 0, 1, Entry("Stra\xC3\x9F" "e", false, 1, kNoon),
                 "Stra\xC3\x9F" "e\t1\t05.03.2026\t12:00:00\tDAT100-09"},
        LineCase{"ListingWithoutGrouping", "en_US.UTF-8", 1, 0, 0, Entry("big", false, 5368709120ULL, kNoon),
                 "BIG\t5368709120\t03/05/2026\t12:00:00 PM\tBIG"},
        LineCase{"ListingFolder", "C.UTF-8", 1, 0, 1, Entry("sub dir", true, 0, kNoon),
                 "SUB DIR\t<FOLDER>\t03/05/26\t12:00:00\tSUB DIR"},
        LineCase{"PaddedLongNamePushesTwoSpaces", "C.UTF-8", 1, 1, 1,
                 Entry("a-name-of-20-chars.x", false, 12, kNoon),
                 "A-NAME-OF-20-CHARS.X  " + Spaces(18) + "12  03/05/26     12:00:00  A-NAME-OF-20-CHARS.X"},
        LineCase{"InvalidTimeHasNoDateAndMidnight", "en_US.UTF-8", 1, 0, 1, Entry("old", false, 0, kYear10000),
                 "OLD\t0\t\t12:00:00 AM\tOLD"},
        LineCase{"ControlCharactersBecomeQuestionMarks", "C.UTF-8", 0, 0, 1,
                 Entry(std::string_view("x\ry\x7f\x01", 5), false, 0, kNoon), "x?y??\t0\t03/05/26\t12:00:00\tDAT100-09"},
        LineCase{"InvalidUtf8PassesThrough", "de_DE.UTF-8", 1, 0, 1, Entry("f\xFF\xC3name", false, 0, kNoon),
                 "F\xFF\xC3NAME\t0\t05.03.2026\t12:00:00\tF\xFF\xC3NAME"}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* locale;
    std::int64_t value;
    const char* expected;
};

class FormatNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(FormatNumber, GroupsTheWholeNumber) {
    const NumberCase& c = GetParam();
    CLocaleFormat locale(c.locale, c.locale, c.locale);
    EXPECT_EQ(locale.FormatNumber(c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Locales, FormatNumber,
                         testing::Values(NumberCase{"en_US.UTF-8", 0, "0"}, NumberCase{"en_US.UTF-8", 999, "999"},
                                         NumberCase{"en_US.UTF-8", 1000, "1,000"},
                                         NumberCase{"en_US.UTF-8", -1234567, "-1,234,567"},
                                         NumberCase{"de_DE.UTF-8", 5368709120LL, "5.368.709.120"},
                                         NumberCase{"C.UTF-8", 1234567, "1234567"},
                                         NumberCase{"no_SUCH.locale", 1234567, "1234567"}),
                         [](const testing::TestParamInfo<NumberCase>& info) { return "Case" + std::to_string(info.index); });

TEST(LocaleFormat, MissingLocaleFallsBackQuietly) {
    CLocaleFormat locale("xx_XX.UTF-8", "xx_XX.UTF-8", "xx_XX.UTF-8");
    std::string upper;
    locale.AppendUpper(upper, "\xC3\xA4" "bc");
    EXPECT_EQ(upper, "\xC3\x84" "BC"); // C.UTF-8 still knows the case of letters beyond ASCII
}

TEST(EntryLine, StatusShowsAfterAFolderWithCountZero) {
    CLocaleFormat locale("C.UTF-8", "C.UTF-8", "C.UTF-8");
    CCatalogSession session;
    CFakeHost host;
    CArchiveSettings tags;
    CEntryCollector collector(session, locale, tags, host, std::chrono::milliseconds(30));
    COptionsSnapshot options;
    options[Option::ProcessType] = kProcessListing;
    collector.Begin(options);
    CFolderRecord record;
    collector.AddEntry(Entry("dir", true, 0, kNoon), &record);
    ASSERT_EQ(host.m_statuses.size(), 1u);
    EXPECT_EQ(host.m_statuses[0], "Processing file: 0");
}

// Memory that runs out half way: one message for the drop, and the counts
// say what the report holds, not what the walk met.
TEST(EntryLine, OutOfMemoryIsShownOnceAndCountsOnlyWhatWasStored) {
    for (const int processType : {kProcessListing, kProcessArchive}) {
        CLocaleFormat locale("C.UTF-8", "C.UTF-8", "C.UTF-8");
        CCatalogSession session;
        session.m_lines.m_nReserveLimit = CLineArena::kBlockSize;
        CFakeHost host;
        CArchiveSettings tags;
        tags.m_strMediaType = "CD";
        CEntryCollector collector(session, locale, tags, host, std::chrono::milliseconds(30));
        COptionsSnapshot options;
        options[Option::ProcessType] = processType;
        collector.Begin(options);
        CFolderRecord record;
        const std::string name(200, 'n');
        for (int i = 0; i < 20000; ++i) { // about 4 MB of lines: twice what fits
            collector.AddEntry(Entry(name, false, 3, kNoon), &record);
        }
        const std::size_t stored = processType == kProcessListing ? record.m_arrFiles.size()
                                                                  : session.m_arrArchiveLines.size();
        ASSERT_GT(stored, 1000u) << host.m_boxes.size() << " boxes, " << session.m_nFileCount << " files, " << session.m_lines.BytesReserved();
        ASSERT_LT(stored, 20000u);
        EXPECT_EQ(host.m_boxes.size(), 1u);
        EXPECT_EQ(session.m_nFileCount, static_cast<std::int64_t>(stored));
        EXPECT_EQ(session.m_dwTotalBytes, processType == kProcessListing ? 3 * stored : 0u);
        // A folder met after memory ran out still has its path for the report.
        EXPECT_EQ(collector.NewRecord("/media/later")->m_path, "/MEDIA/LATER");
    }
}

// The product's formatter is the engine's, holding a locale moved into it:
// the eight-bytes-at-a-time upper case must survive the move.
TEST(EntryLine, EngineLocaleKeepsTheFastUpperCase) {
    struct Case {
        const char* locale;
        bool plain;
    };
    for (const Case& c : {Case{"C.UTF-8", true}, Case{"en_US.UTF-8", true}, Case{"de_DE.UTF-8", true},
                          Case{"tr_TR.UTF-8", false}}) {
        if (std::string(c.locale) == "tr_TR.UTF-8" && newlocale(LC_ALL_MASK, c.locale, nullptr) == nullptr) {
            continue; // not installed here
        }
        CEngineFixture f(c.locale);
        EXPECT_EQ(f.m_engine->Locale().HasPlainAsciiUpper(), c.plain) << c.locale;
        EXPECT_EQ(CLocaleFormat(c.locale, c.locale, c.locale).HasPlainAsciiUpper(), c.plain) << c.locale;
    }
}

} // namespace
