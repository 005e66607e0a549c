#include "AppSettings.h"
#include "ArchiveSettings.h"
#include "AtomicFile.h"
#include "StringTable.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Write {
    std::string section, key, value;
};

struct WriteCase {
    const char* name;
    std::string before; // "" with beforeExists false: no file
    bool beforeExists;
    std::vector<Write> writes;
    std::string after;
};

class SettingsWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(SettingsWrite, LeavesExactBytes) {
    const WriteCase& c = GetParam();
    CTempTree dir;
    if (c.beforeExists) {
        dir.WriteText("s.INI", c.before);
    }
    CSettingsStore store(dir.Path("s.INI"));
    for (const Write& w : c.writes) {
        EXPECT_TRUE(store.WriteString(w.section, w.key, w.value));
    }
    EXPECT_EQ(dir.ReadText("s.INI"), c.after);
}

const std::vector<Write> kNineOptions = {
    {"Options", "ExportData", "1"},     {"Options", "AutoView", "1"},
    {"Options", "FormatFileSize", "1"}, {"Options", "ExcludeEmptyFolders", "0"},
    {"Options", "OutputFormat", "0"},   {"Options", "ProcessType", "1"},
    {"Options", "DirectoryOnly", "0"},  {"Options", "ExcludeHiddenSystemInfo", "1"},
    {"Options", "ExcludeSubFolders", "0"},
};

INSTANTIATE_TEST_SUITE_P(
    Ini, SettingsWrite,
    testing::Values(
        WriteCase{"NineOptionsIntoMissingFile", "", false, kNineOptions,
                  "[Options]\nExportData=1\nAutoView=1\nFormatFileSize=1\nExcludeEmptyFolders=0\n"
                  "OutputFormat=0\nProcessType=1\nDirectoryOnly=0\nExcludeHiddenSystemInfo=1\n"
                  "ExcludeSubFolders=0\n"},
        WriteCase{"ExistingKeyAnyCase", "[options]\n exportdata = 0\nAutoView=0\n", true,
                  {{"Options", "ExportData", "1"}}, "[options]\nExportData=1\nAutoView=0\n"},
        WriteCase{"NewKeyEndsItsSection", "[A]\nx=1\n\n[B]\ny=2\n", true, {{"a", "z", "3"}},
                  "[A]\nx=1\nz=3\n\n[B]\ny=2\n"},
        WriteCase{"NewSectionEndsFile", "[A]\nx=1\n", true, {{"B", "y", "2"}}, "[A]\nx=1\n\n[B]\ny=2\n"},
        WriteCase{"NoFinalLineEnd", "[A]\nx=1", true, {{"A", "y", "2"}}, "[A]\nx=1\ny=2"},
        WriteCase{"CrLfKept", "[A]\r\nx=1\r\n", true, {{"A", "x", "5"}, {"C", "k", "v"}},
                  "[A]\r\nx=5\r\n\r\n[C]\r\nk=v\r\n"},
        WriteCase{"CommentsAndStrangersKept", "; mine\n[A]\n# note=1\nx=1\nrubbish line\n", true,
                  {{"A", "note", "2"}}, "; mine\n[A]\n# note=1\nx=1\nrubbish line\nnote=2\n"},
        WriteCase{"NotIniAtAll", "\x01\x02 binary \xff", true, {{"A", "x", "1"}}, "\x01\x02 binary \xff\n\n[A]\nx=1\n"},
        WriteCase{"NegativeInteger", "", false, {{"A", "n", std::to_string(-7)}}, "[A]\nn=-7\n"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* name;
    std::string file;
    bool exists;
    const char* section;
    const char* key;
    int defaultValue;
    int expected;
};

class SettingsReadInt : public testing::TestWithParam<ReadCase> {};

TEST_P(SettingsReadInt, GivesProfileValue) {
    const ReadCase& c = GetParam();
    CTempTree dir;
    if (c.exists) {
        dir.WriteText("s.INI", c.file);
    }
    CSettingsStore store(dir.Path("s.INI"));
    EXPECT_EQ(store.GetInt(c.section, c.key, c.defaultValue), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ini, SettingsReadInt,
    testing::Values(ReadCase{"MissingFile", "", false, "A", "x", 7, 7},
                    ReadCase{"MissingSection", "[B]\nx=1\n", true, "A", "x", 7, 7},
                    ReadCase{"MissingKey", "[A]\ny=1\n", true, "A", "x", 7, 7},
                    ReadCase{"NamesIgnoreCase", "[a]\nX=12\n", true, "A", "x", 7, 12},
                    ReadCase{"LeadingDigits", "[A]\nx= 12abc\n", true, "A", "x", 7, 12},
                    ReadCase{"NotANumber", "[A]\nx=abc\n", true, "A", "x", 7, 0},
                    ReadCase{"EmptyValue", "[A]\nx=\n", true, "A", "x", 7, 7},
                    ReadCase{"Negative", "[A]\nx=-5\n", true, "A", "x", 7, -5},
                    ReadCase{"Clamped", "[A]\nx=99999999999999\n", true, "A", "x", 7, 2147483647},
                    ReadCase{"FirstSectionWins", "[A]\ny=1\n[A]\nx=2\n", true, "A", "x", 7, 7},
                    ReadCase{"FirstKeyWins", "[A]\nx=1\nx=2\n", true, "A", "x", 7, 1},
                    ReadCase{"CrLf", "[A]\r\nx=3\r\n", true, "A", "x", 7, 3},
                    ReadCase{"Binary", std::string("\0\xff[A\0]\nx=\x01", sizeof("\0\xff[A\0]\nx=\x01") - 1), true, "A", "x", 7, 7}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(SettingsStore, StringsAreCutAndUnquoted) {
    CTempTree dir;
    dir.WriteText("s.INI", "[A]\nlong=" + std::string(5000, 'v') + "\nquoted=\"a b\"\n");
    CSettingsStore store(dir.Path("s.INI"));
    EXPECT_EQ(store.GetString("A", "long", ""), std::string(4095, 'v'));
    EXPECT_EQ(store.GetString("A", "quoted", ""), "a b");
    EXPECT_EQ(store.GetString("A", "none", "CD"), "CD");
}

TEST(SettingsStore, EveryGetterHasItsDefaultWithoutAFile) {
    CTempTree dir;
    CSettingsStore store(dir.Path("none.INI"));
    CAppSettings settings(store);
    EXPECT_EQ(settings.Get(Option::ExportData), 1);
    EXPECT_EQ(settings.Get(Option::AutoView), 1);
    EXPECT_EQ(settings.Get(Option::FormatFileSize), 1);
    EXPECT_EQ(settings.Get(Option::ExcludeEmptyFolders), 0);
    EXPECT_EQ(settings.Get(Option::OutputFormat), 0);
    EXPECT_EQ(settings.Get(Option::ProcessType), 1);
    EXPECT_EQ(settings.Get(Option::DirectoryOnly), 0);
    EXPECT_EQ(settings.Get(Option::ExcludeHiddenSystemInfo), 1);
    EXPECT_EQ(settings.Get(Option::ExcludeSubFolders), 0);
    EXPECT_EQ(settings.GetMultipleArchive(), 0);
    EXPECT_EQ(settings.GetDefaultDir(), "");
    EXPECT_FALSE(CTempTree::Exists(dir.Path("none.INI")));
}

TEST(SettingsStore, HandEditIsSeenAtTheNextRead) {
    CTempTree dir;
    dir.WriteText("s.INI", "[Options]\nProcessType=1\n");
    CSettingsStore store(dir.Path("s.INI"));
    CAppSettings settings(store);
    ASSERT_EQ(settings.Get(Option::ProcessType), 1);
    dir.WriteText("s.INI", "[Options]\nProcessType=0\nOutputFormat=1\n");
    EXPECT_EQ(settings.Get(Option::ProcessType), 0);
    EXPECT_EQ(settings.Get(Option::OutputFormat), 1);
}

// On a file system with coarse timestamps a same-size rewrite can keep the
// file's whole identity; only a file old enough is trusted by its identity.
TEST(SettingsStore, RecentlyModifiedFileIsReadAgainWhateverItsIdentity) {
    struct Case {
        std::int64_t ageMs;
        int expected;
    };
    for (const Case& c : {Case{0, 0}, Case{1900, 0}, Case{2100, 1}, Case{60000, 1}}) {
        CTempTree dir;
        dir.WriteText("s.INI", "[Options]\nAutoView=1\n");
        CSettingsStore store(dir.Path("s.INI"));
        const CSettingsStore::FileIdentity frozen = store.m_identityOf(store.Path());
        store.m_identityOf = [frozen](const std::string&) { return frozen; };
        store.m_now = [&] {
            timespec now = frozen.modified;
            now.tv_sec += c.ageMs / 1000;
            now.tv_nsec += (c.ageMs % 1000) * 1'000'000;
            if (now.tv_nsec >= 1'000'000'000) {
                ++now.tv_sec;
                now.tv_nsec -= 1'000'000'000;
            }
            return now;
        };
        CAppSettings settings(store);
        ASSERT_EQ(settings.Get(Option::AutoView), 1);
        dir.WriteText("s.INI", "[Options]\nAutoView=0\n"); // same size, identity frozen
        EXPECT_EQ(settings.Get(Option::AutoView), c.expected) << c.ageMs << " ms";
    }
}

TEST(SettingsStore, OwnWritesAreSeenAtOnce) {
    CTempTree dir;
    CSettingsStore store(dir.Path("s.INI"));
    CAppSettings settings(store);
    ASSERT_EQ(settings.Get(Option::ExcludeSubFolders), 0);
    store.WriteInt("OPTIONS", "excludesubfolders", 1);
    EXPECT_EQ(settings.Get(Option::ExcludeSubFolders), 1);
}

TEST(SettingsStore, OverrideIsNotWritten) {
    CTempTree dir;
    CSettingsStore store(dir.Path("s.INI"));
    CAppSettings settings(store);
    settings.Override(Option::OutputFormat, 1);
    EXPECT_EQ(settings.Get(Option::OutputFormat), 1);
    EXPECT_FALSE(CTempTree::Exists(dir.Path("s.INI")));
}

TEST(SettingsStore, DefaultDirKeepsTheFolderPart) {
    CTempTree dir;
    CSettingsStore store(dir.Path("s.INI"));
    CAppSettings settings(store);
    settings.SetDefaultDir("/home/me/Lists/Export12.txt");
    EXPECT_EQ(settings.GetDefaultDir(), "/home/me/Lists/");
    settings.SetDefaultDir("Export12.txt");
    EXPECT_EQ(settings.GetDefaultDir(), "Export12.txt");
    EXPECT_EQ(dir.ReadText("s.INI"), "[Export Dialogue]\nDefaultDir=Export12.txt\n");
}

TEST(SettingsStore, LineBreakInAValueIsRefusedWithoutDamage) {
    CTempTree dir;
    dir.WriteText("s.INI", "[Export Dialogue]\nDefaultDir=/old/\n");
    CSettingsStore store(dir.Path("s.INI"));
    EXPECT_FALSE(store.WriteString("Export Dialogue", "DefaultDir", "/evil\n[Options]\nProcessType=0/"));
    EXPECT_EQ(dir.ReadText("s.INI"), "[Export Dialogue]\nDefaultDir=/old/\n");
}

TEST(SettingsStore, WritesThroughASymbolicLink) {
    CTempTree dir;
    dir.Folder("dotfiles", 0);
    dir.WriteText("dotfiles/real.INI", "[A]\nx=1\n");
    dir.Symlink("s.INI", dir.Path("dotfiles/real.INI"), 0);
    CSettingsStore store(dir.Path("s.INI"));
    EXPECT_TRUE(store.WriteInt("A", "x", 2));
    struct stat info {};
    ASSERT_EQ(lstat(dir.Path("s.INI").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.ReadText("dotfiles/real.INI"), "[A]\nx=2\n");
}

TEST(SettingsStore, CreatesMissingConfigFolder) {
    CTempTree dir;
    CSettingsStore store(dir.Path("config/deeper/s.INI"));
    EXPECT_TRUE(store.WriteInt("A", "x", 1));
    EXPECT_EQ(dir.ReadText("config/deeper/s.INI"), "[A]\nx=1\n");
}

TEST(SettingsStore, UnusableFilesGiveDefaultsAndRefuseWrites) {
    CTempTree dir;
    dir.Folder("a-folder.INI", 0);
    dir.Symlink("full.INI", "/dev/full", 0);
    dir.WriteText("huge.INI", "[A]\nx=1\n" + std::string(CSettingsStore::kMaxFileSize, '#'));
    for (const char* name : {"a-folder.INI", "full.INI", "huge.INI"}) {
        SCOPED_TRACE(name);
        CSettingsStore store(dir.Path(name));
        EXPECT_EQ(store.GetInt("A", "x", 9), 9);
        EXPECT_FALSE(store.WriteInt("A", "x", 2));
        EXPECT_EQ(store.GetInt("A", "x", 9), 9);
    }
    EXPECT_EQ(dir.ReadText("huge.INI").size(), std::string("[A]\nx=1\n").size() + CSettingsStore::kMaxFileSize);
}

TEST(SettingsStore, ReadOnlyFolderLosesNothing) {
    CTempTree dir;
    dir.Folder("ro", 0);
    dir.WriteText("ro/s.INI", "[A]\nx=1\n");
    ASSERT_EQ(chmod(dir.Path("ro").c_str(), 0555), 0);
    const std::string path = dir.Path("ro/s.INI");
    EXPECT_TRUE(RunUnprivileged(dir.Root(), [&] {
        CSettingsStore store(path);
        const bool refused = !store.WriteInt("A", "x", 2) && !store.WriteInt("B", "y", 3);
        return refused && store.GetInt("A", "x", 0) == 1 && store.GetInt("B", "y", 0) == 0;
    }));
    EXPECT_EQ(dir.ReadText("ro/s.INI"), "[A]\nx=1\n");
}

TEST(ArchiveSettings, LoadsDefaultsAndMatchesMediaTypeAnyCase) {
    CTempTree dir;
    CSettingsStore store(dir.Path("s.INI"));
    CArchiveSettings tags;
    EXPECT_EQ(tags.LoadArchiveSettings(store), 0); // "CD"
    EXPECT_EQ(tags.m_nMediaNumber, 1);
    EXPECT_EQ(tags.m_nArchiveNumber, 1);
    EXPECT_EQ(tags.m_bMultipleArchive, 1);
    EXPECT_EQ(tags.m_strMediaType, ""); // the text only chooses the list entry

    dir.WriteText("s.INI", "[Archive Options]\nMediaType=dat\nMediaNumber=4\n");
    EXPECT_EQ(tags.LoadArchiveSettings(store), 1);
    EXPECT_EQ(tags.m_nMediaNumber, 4);
    dir.WriteText("s.INI", "[Archive Options]\nMediaType=DVD\n");
    EXPECT_EQ(tags.LoadArchiveSettings(store), -1);
}

TEST(ArchiveSettings, SavesTheFourKeysInOrder) {
    CTempTree dir;
    CSettingsStore store(dir.Path("s.INI"));
    CArchiveSettings tags;
    tags.m_strMediaType = "ZIP";
    tags.m_nMediaNumber = 5;
    tags.m_nArchiveNumber = 12;
    tags.m_bMultipleArchive = 0;
    tags.SaveArchiveSettings(store);
    EXPECT_EQ(dir.ReadText("s.INI"),
              "[Archive Options]\nMediaNumber=5\nArchiveNumber=12\nMultipleArchive=0\nMediaType=ZIP\n");
}

} // namespace

namespace {

// The creation mask is read without being changed (another thread creating a
// file meanwhile would get no mask), and a new file gets what the mask allows.
TEST(AtomicFile, NewFileTakesTheModeTheUmaskAllows) {
    const mode_t saved = umask(022);
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}, mode_t{0}, mode_t{0777}}) {
        umask(mask);
        EXPECT_EQ(CurrentUmask(), mask);
        CTempTree dir;
        CAtomicFile file;
        ASSERT_TRUE(file.Open(dir.Path("new.txt")));
        ASSERT_TRUE(file.Write("x") && file.Commit());
        struct stat info {};
        ASSERT_EQ(stat(dir.Path("new.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
        EXPECT_EQ(umask(mask), mask); // still the mask that was set
    }
    umask(saved);
}

} // namespace
