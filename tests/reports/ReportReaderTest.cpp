#include "EngineFixture.h"
#include "HostileTree.h"
#include "ReportShape.h"
#include "ReportReader.h"
#include "Windows1252.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

std::int64_t Time() { return LocalTime(2026, 3, 5, 14, 7, 9); }

// An entry as one comparable line: kind, folder, name, size, date, time, medium.
std::string Show(const CReportEntry& e) {
    return std::string(e.m_bFolder ? "D|" : "F|") + std::string(e.m_strFolder) + "|" + std::string(e.m_strName) + "|" +
           (e.m_bFolder ? "" : std::to_string(e.m_nSize)) + "|" + std::string(e.m_strDate) + "|" +
           std::string(e.m_strTime) + "|" + std::string(e.m_strMedium);
}

struct ReadBack {
    bool ok = false;
    ReportLayout layout = ReportLayout::ArchiveReport;
    std::string reason;
    std::vector<std::string> entries; // in report order
    std::vector<std::size_t> lines;
    std::vector<std::string> names;
};

ReadBack Read(std::string_view bytes, std::string_view log = {}) {
    CReportReader reader;
    reader.SetLog(log);
    ReadBack out;
    out.ok = reader.Read(bytes, [&](const CReportEntry& e) {
        out.entries.push_back(Show(e));
        out.lines.push_back(e.m_nLine);
        out.names.emplace_back(e.m_strName);
    });
    out.layout = reader.Layout();
    out.reason = reader.Reason();
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The n-th line of a report, from 1, without its line end.
std::string LineOf(const std::string& text, std::size_t n) {
    std::size_t start = 0;
    for (std::size_t i = 1; i < n; ++i) {
        start = text.find('\n', start) + 1;
    }
    std::string line = text.substr(start, text.find('\n', start) - start);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// A tree whose names test the columns: spaces, double and trailing spaces,
// names past 15 characters, control bytes, bytes that are not UTF-8, and
// sizes past 2^31 and 2^32.
struct TreeItem {
    std::string path; // relative, "/" separated
    bool folder;
    std::uint64_t size;
};

std::vector<TreeItem> FixedTree() {
    return {{"top", true, 0},
            {"top/a b", true, 0},
            {"top/a b/x", false, 1},
            {"top/two  spaces  name.txt", false, 12345},
            {"top/trailing ", false, 2},
            {"top/a name longer than fifteen characters.dat", false, 3'000'000'000ull},
            {"top/ctl\tname\x01", false, 5},
            {"top/latin\xe9\xfc", false, 6},
            {"top/huge", false, 5'000'000'000ull},
            {"top/Summary: 1 Folder(s), 2 File(s)\t3 Bytes", false, 7},
            {"top/empty", true, 0}};
}

std::vector<TreeItem> RandomTree(unsigned seed) {
    std::mt19937 rng(seed);
    // Single bytes only: "\xc3" and "\x80" make invalid UTF-8, or an "À" that is already upper case.
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789 ._-~()[]%\xc3\x80";
    std::vector<TreeItem> items{{"r", true, 0}};
    std::vector<std::string> folders{"r"};
    for (int i = 0; i < 60; ++i) {
        std::string name;
        const int length = 1 + static_cast<int>(rng() % 30);
        for (int c = 0; c < length; ++c) {
            name.push_back(alphabet[rng() % alphabet.size()]);
        }
        if (name == "." || name == ".." || name[0] == '.') {
            name = "n" + name;
        }
        const std::string parent = folders[rng() % folders.size()];
        const bool folder = rng() % 4 == 0;
        const std::string path = parent + "/" + name + std::to_string(i);
        items.push_back({path, folder, folder ? 0 : (rng() % 3 == 0 ? (rng() % 1000) * 10'000'019ull : rng() % 100000)});
        if (folder) {
            folders.push_back(path);
        }
    }
    return items;
}

std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

// The entries a listing of the tree's first folder must read back as.
std::vector<std::string> ExpectedListing(const CTempTree& tree, const std::vector<TreeItem>& items,
                                         const std::string& date, const std::string& time) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < items.size(); ++i) { // the dropped folder is a line of its parent's record
        const auto slash = items[i].path.rfind('/');
        const std::string folder =
            UpperAscii(Printable(slash == std::string::npos ? tree.Root() : tree.Path(items[i].path.substr(0, slash))));
        const std::string name = UpperAscii(Printable(items[i].path.substr(slash + 1)));
        out.push_back(std::string(items[i].folder ? "D|" : "F|") + folder + "|" + name + "|" +
                      (items[i].folder ? "" : std::to_string(items[i].size)) + "|" + date + "|" + time + "|");
    }
    return Sorted(out);
}

void Build(CTempTree& tree, const std::vector<TreeItem>& items) {
    for (const TreeItem& item : items) {
        if (item.folder) {
            tree.Folder(item.path, Time());
        } else {
            tree.File(item.path, item.size, Time());
        }
    }
    tree.Finish();
}

struct ListingCase {
    const char* name;
    const char* locale;
    int outputFormat;
    int formatSize;
    ReportLayout layout;
    const char* date;
    const char* time;
};

void PrintTo(const ListingCase& c, std::ostream* out) { *out << c.name; }

class ListingRoundTrip : public testing::TestWithParam<ListingCase> {};

TEST_P(ListingRoundTrip, FixedAndRandomTreesReadBackAsWritten) {
    const ListingCase& c = GetParam();
    for (unsigned seed = 0; seed < 4; ++seed) {
        const std::vector<TreeItem> items = seed == 0 ? FixedTree() : RandomTree(seed);
        CEngineFixture f(c.locale);
        Build(f.m_tree, items);
        f.SetOption(Option::ExportData, 0);
        f.SetOption(Option::ProcessType, 1);
        f.SetOption(Option::OutputFormat, c.outputFormat);
        f.SetOption(Option::FormatFileSize, c.formatSize);
        f.Drop({items[0].path});
        const std::string report = f.Export("report.txt"); // beside the walked folder, in the test's own tree
        const ReadBack back = Read(report);
        ASSERT_TRUE(back.ok) << back.reason << "\n" << report;
        EXPECT_EQ(back.layout, c.layout);
        const std::vector<std::string> got = Sorted(back.entries);
        const std::vector<std::string> expected = ExpectedListing(f.m_tree, items, c.date, c.time);
        std::vector<std::string> missing, extra;
        std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(), std::back_inserter(missing));
        std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(), std::back_inserter(extra));
        EXPECT_EQ(missing, std::vector<std::string>{}) << "seed " << seed;
        EXPECT_EQ(extra, std::vector<std::string>{}) << "seed " << seed;
        for (std::size_t i = 0; i < back.entries.size(); ++i) {
            EXPECT_NE(LineOf(report, back.lines[i]).find(back.names[i]), std::string::npos) << back.names[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ListingRoundTrip,
    testing::Values(ListingCase{"Tabbed", "C.UTF-8", 0, 0, ReportLayout::ListingTabbed, "03/05/26", "14:07:09"},
                    ListingCase{"Padded", "C.UTF-8", 1, 0, ReportLayout::ListingPadded, "03/05/26", "14:07:09"},
                    ListingCase{"TabbedGroupedUs", "en_US.UTF-8", 0, 1, ReportLayout::ListingTabbed, "03/05/2026",
                                "02:07:09 PM"},
                    ListingCase{"PaddedGroupedUsWideColumns", "en_US.UTF-8", 1, 1, ReportLayout::ListingPadded,
                                "03/05/2026", "02:07:09 PM"},
                    ListingCase{"PaddedGroupedGerman", "de_DE.UTF-8", 1, 1, ReportLayout::ListingPadded,
                                "05.03.2026", "14:07:09"}),
    [](const testing::TestParamInfo<ListingCase>& info) { return std::string(info.param.name); });

TEST(ReportRoundTrip, ArchiveReportWithItsLogGivesTagsAndFolders) {
    CEngineFixture f;
    Build(f.m_tree, {{"ArcA", true, 0}, {"ArcA/c d.txt", false, 7}, {"ArcB", true, 0},
                     {"ArcB/big", false, 4'294'967'296ull + 5}});
    f.SetOption(Option::ExportData, 0);
    f.SetOption(Option::ProcessType, 0);
    f.Drop({"ArcA", "ArcB"});
    const std::string log = f.m_engine->Log().Text();
    const std::string report = f.Export();
    const ReadBack back = Read(report, log);
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_EQ(back.layout, ReportLayout::ArchiveReport);
    EXPECT_EQ(back.entries, (std::vector<std::string>{
                                "F|" + f.m_tree.Path("ArcA") + "|c d.txt|7|03/05/26|14:07:09|CD01-01",
                                "F|" + f.m_tree.Path("ArcB") + "|big|4294967301|03/05/26|14:07:09|CD01-02"}));
    EXPECT_EQ(back.lines, (std::vector<std::size_t>{1, 2}));
    const ReadBack logBack = Read(log);
    EXPECT_TRUE(logBack.ok);
    EXPECT_EQ(logBack.layout, ReportLayout::ArchiveLog);
    EXPECT_TRUE(logBack.entries.empty());
}

TEST(ReportRoundTrip, FoldersOnlyLayoutsGiveOneFolderPerLine) {
    for (int excludeSub = 0; excludeSub < 2; ++excludeSub) {
        CEngineFixture f;
        Build(f.m_tree, {{"A", true, 0}, {"A/B", true, 0}, {"A/C d", true, 0}, {"A/f", false, 1}});
        f.SetOption(Option::ExportData, 0);
        f.SetOption(Option::ProcessType, 1);
        f.SetOption(Option::DirectoryOnly, 1);
        f.SetOption(Option::ExcludeSubFolders, excludeSub);
        f.Drop({"A"});
        const ReadBack back = Read(f.Export("r.txt"));
        ASSERT_TRUE(back.ok) << back.reason;
        EXPECT_EQ(back.layout, ReportLayout::FoldersOnly);
        // Every record's path with sub-folders walked; the dropped folder alone without.
        const std::string top = UpperAscii(f.m_tree.Root());
        const std::string parent = top.substr(0, top.rfind('/'));
        const std::string last = top.substr(top.rfind('/') + 1);
        const std::vector<std::string> expected =
            excludeSub == 0 ? std::vector<std::string>{"D|" + parent + "|" + last + "||||", "D|" + top + "|A||||",
                                                       "D|" + top + "/A|B||||", "D|" + top + "/A|C D||||"}
                            : std::vector<std::string>{"D|" + top + "|A||||"};
        EXPECT_EQ(back.entries, expected);
    }
}

// Counted against the line-by-line reading of the tests' own report shape.
TEST(ReportRoundTrip, HostileTreeListingCountsEveryFileAndByte) {
    CTempTree tree;
    HostileTreeOptions options;
    options.deepLevels = 300;
    options.crowdedEntries = 2000;
    const HostileTreeTotals totals = BuildHostileTree(tree.Path(""), options);
    for (int outputFormat = 0; outputFormat < 2; ++outputFormat) {
        CEngineFixture f;
        f.SetOption(Option::ExportData, 0);
        f.SetOption(Option::ProcessType, 1);
        f.SetOption(Option::OutputFormat, outputFormat);
        f.SetOption(Option::ExcludeHiddenSystemInfo, 1);
        f.DropAbsolute({tree.Root()});
        const std::string report = f.Export();
        CReportReader reader;
        std::int64_t files = 0, folders = 0;
        std::uint64_t bytes = 0;
        const bool ok = reader.Read(report, [&](const CReportEntry& e) {
            files += e.m_bFolder ? 0 : 1;
            folders += e.m_bFolder ? 1 : 0;
            bytes += e.m_nSize;
        });
        ASSERT_TRUE(ok) << reader.Reason();
        const ReportShape::Listing shape = ReportShape::ReadFullListing(report, outputFormat == 0);
        EXPECT_EQ(files, shape.fileLines);
        EXPECT_EQ(folders, shape.folderLines);
        if (outputFormat == 0) {
            EXPECT_EQ(bytes, shape.bytes);
        }
        EXPECT_GE(files, totals.files); // as root the locked folders are read too
        EXPECT_GT(bytes, 6ULL << 32);
    }
    RemoveDeepTree(tree.Root());
}

// Reports as the Windows program wrote them: drive paths, 8.3 short names,
// Windows-1252 bytes, CRLF, sizes past 2 GiB as negative numbers.
TEST(ReportReader, WindowsFormOfTheLayouts) {
    const std::string padded = "C:\\DATA\r\n\r\n"
                               "PROGRA~1       " "  " "            <FOLDER>" "  " "05.03.26" "  " "   14:07:09" "  "
                               "Program Files\r\n"
                               "M\xdcNCHEN.TXT     " "  " "       -1.294.967.296" "  " "05.03.26" "  " "   14:07:09"
                               "  " "M\xdcNCHEN.TXT\r\n"
                               "\r\nC:\\DATA\\PROGRA~1\r\n\r\nFOLDER IS EMPTY\r\n"
                               "\r\nSummary: 2 Folder(s), 1 File(s)  " "       -1.294.967.296 Bytes";
    ReadBack back = Read(padded);
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_EQ(back.layout, ReportLayout::ListingPadded);
    EXPECT_EQ(back.entries, (std::vector<std::string>{"D|C:\\DATA|Program Files||05.03.26|14:07:09|",
                                                      "F|C:\\DATA|M\xdcNCHEN.TXT|3000000000|05.03.26|14:07:09|"}));
    EXPECT_EQ(back.lines, (std::vector<std::size_t>{3, 4}));

    const std::string tabbed = "D:\\\r\n\r\nREADME~1.TXT\t-2147483648\t1/2/99\t3:04:05 AM\treadme file.txt\r\n"
                               "\r\nSummary: 1 Folder(s), 1 File(s)\t-2147483648 Bytes\r\n";
    back = Read(tabbed);
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_EQ(back.entries,
              (std::vector<std::string>{"F|D:\\|readme file.txt|2147483648|1/2/99|3:04:05 AM|"}));

    const std::string folders = "C:\\DATA\\SUB ONE\nC:\\DATA\\caf\xe9\n\nSummary: 2 Folder(s), 0 File(s)\t0 Bytes";
    back = Read(folders);
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_EQ(back.layout, ReportLayout::FoldersOnly);
    EXPECT_EQ(back.entries, (std::vector<std::string>{"D|C:\\DATA|SUB ONE||||", "D|C:\\DATA|caf\xe9||||"}));

    const std::string archive = "caf\xe9.doc\t-5\t05.03.26\t14:07:09\tCD01-03\nb.doc\t5\t05.03.26\t14:07:09\tCD01-04";
    back = Read(archive, "CD01-03\tC:\\WORK\r\nCD01-04\tC:\\WORK\\B");
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_EQ(back.entries, (std::vector<std::string>{"F|C:\\WORK|caf\xe9.doc|4294967291|05.03.26|14:07:09|CD01-03",
                                                      "F|C:\\WORK\\B|b.doc|5|05.03.26|14:07:09|CD01-04"}));
}

TEST(ReportReader, RefusesWhatIsNoReportWithOneLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "empty file"},
        {std::string("abc\0def", 7), "binary data, not a text report"},
        {"Dear diary,\ntoday I burnt a CD.\n", "line 1: not a Stowlist report or archive log"},
        {"a\t1\tx\ty\tCD01-01\r\nnot a line\r\n", "line 2: not an archive report line"},
        {"CD01-01\t/a\nCD01-02\n", "line 2: not an archive log line"},
        {"/A\n\nB\t<FOLDER>\t1\t2\tB\nbroken line\n\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes",
         "line 4: not a directory listing line"},
        {"/A\n\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes\nmore", "line 1: not a Stowlist report or archive log"},
    };
    for (const auto& [bytes, reason] : cases) {
        const ReadBack back = Read(bytes);
        EXPECT_FALSE(back.ok) << bytes;
        EXPECT_EQ(back.reason, reason) << bytes;
    }
}

TEST(ReportReader, SizesInAnyGrouping) {
    const std::vector<std::pair<std::string, std::uint64_t>> good = {
        {"0", 0}, {"1,234", 1234}, {"1.234.567", 1234567}, {"1\xe2\x80\xaf" "234", 1234}, {"12'345", 12345},
        {"-1", 4294967295ull}, {"-2147483648", 2147483648ull}, {"18446744073709551615", 18446744073709551615ull}};
    for (const auto& [text, value] : good) {
        std::uint64_t size = 0;
        EXPECT_TRUE(CReportReader::ParseSize(text, true, size)) << text;
        EXPECT_EQ(size, value) << text;
    }
    for (const std::string text : {"", "-", "1,", ",1", "1\t2", "12345678901234567890123", "-2147483649", "1-2",
                                   "18446744073709551616"}) {
        std::uint64_t size = 0;
        EXPECT_FALSE(CReportReader::ParseSize(text, true, size)) << text;
    }
    std::uint64_t size = 0;
    EXPECT_FALSE(CReportReader::ParseSize("1,234", false, size));
}

TEST(Windows1252, DecodesForShowingAndKeepsUtf8) {
    std::string out;
    Windows1252::AppendShown(out, "M\xdcNCHEN \x80\x81", true);
    EXPECT_EQ(out, "M\xc3\x9cNCHEN \xe2\x82\xac\xef\xbf\xbd");
    EXPECT_TRUE(Windows1252::IsValidUtf8("M\xc3\x9cNCHEN"));
    EXPECT_FALSE(Windows1252::IsValidUtf8("M\xdcNCHEN"));
    EXPECT_FALSE(Windows1252::IsValidUtf8("\xed\xa0\x80")); // a surrogate
}

// Long names are checked eight ASCII bytes at a time: a sequence anywhere,
// across such a stride or cut off by the end, is still judged byte by byte.
TEST(Windows1252, JudgesEverySequenceOfALongName) {
    const std::string ascii = "BACKUP OF THE WHOLE DRIVE.ISO";
    const struct {
        const char* sequence;
        bool valid;
    } cases[] = {
        {"\xc3\x9c", true},      // Ü
        {"\xe2\x82\xac", true}, // €
        {"\xdc", false},         // Ü in Windows-1252
        {"\xe2\x82", false},     // cut short
        {"\xed\xa0\x80", false}, // a surrogate
    };
    for (const auto& c : cases) {
        for (std::size_t at = 0; at <= ascii.size(); ++at) {
            const std::string text = ascii.substr(0, at) + c.sequence + ascii.substr(at);
            EXPECT_EQ(Windows1252::IsValidUtf8(text), c.valid) << c.sequence << " at " << at;
        }
        EXPECT_EQ(Windows1252::IsValidUtf8(ascii + ascii + c.sequence), c.valid) << c.sequence << " at the end";
    }
}

} // namespace
