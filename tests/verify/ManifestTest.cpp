// Manifests as GNU sha256sum writes and checks them: lines compared with the
// real sha256sum's over the same names, paths relative to a drop's base,
// the reader's accepted and refused forms, and the real `sha256sum --strict
// -c` run on what the writer wrote.
#include "ChecksumStage.h"
#include "ManifestPath.h"
#include "ManifestReader.h"
#include "ManifestWriter.h"
#include "TempTree.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

// Runs a shell command; its standard output, and its exit status.
std::string RunShell(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

// Hashes the tree's files with the stage, in the given order.
std::vector<CChecksumResult> HashAll(const std::vector<CChecksumFile>& files) {
    CChecksumStage stage(files, {2, 4096, 2});
    EXPECT_TRUE(stage.Run());
    return stage.Results();
}

// Names with every character that sha256sum escapes, and some it does not.
const std::vector<std::string> kAwkwardNames = {
    "plain.txt", "back\\slash", "line\nfeed", "carriage\rreturn", "all\\\n\r", "tab\tname",
    " leading space", "star*", "trailing space ", "\\", "umlaut \xc3\xa4",
};

TEST(ManifestLine, SameBytesAsSha256sumOverAwkwardNames) {
    CTempTree tree;
    std::vector<CChecksumFile> files;
    std::string names;
    for (std::size_t i = 0; i < kAwkwardNames.size(); ++i) {
        tree.WriteText(kAwkwardNames[i], "content " + std::to_string(i));
        files.push_back({tree.Path(kAwkwardNames[i]), kAwkwardNames[i], 1, 9});
        names += " '" + kAwkwardNames[i] + "'";
    }
    const auto results = HashAll(files);
    std::string ours;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_EQ(results[i].m_nError, 0);
        ours += ManifestLine(results[i].m_digest, files[i].m_strManifestPath);
    }
    int status = 0;
    const std::string theirs = RunShell("cd '" + tree.Root() + "' && sha256sum --" + names, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ours, theirs);
}

TEST(ManifestLine, EscapesOnlyBackslashLineFeedAndCarriageReturn) {
    Sha256Digest digest{};
    digest[0] = 0xAB;
    digest[31] = 0x0F;
    const std::string hex = "ab" + std::string(60, '0') + "0f";
    const struct {
        std::string path;
        std::string line;
    } cases[] = {
        {"a/b c", hex + "  a/b c\n"},
        {"a\\b", "\\" + hex + "  a\\\\b\n"},
        {"a\nb", "\\" + hex + "  a\\nb\n"},
        {"a\rb", "\\" + hex + "  a\\rb\n"},
        {"\\n", "\\" + hex + "  \\\\n\n"},
        {"*x", hex + "  *x\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ManifestLine(digest, c.path), c.line);
    }
}

TEST(ManifestPath, RelativeToTheDropsBase) {
    const struct {
        const char* base;
        const char* absolute;
        const char* relative;
    } cases[] = {
        {"/media/cd/", "/media/cd/a/b.jpg", "a/b.jpg"},        // a whole medium
        {"/", "/etc/hosts", "etc/hosts"},                      // the file system's root
        {"/home/u/photos", "/home/u/photos/x", "x"},           // the first item's folder
        {"/home/u/photos/", "/home/u/photos/2024/y.jpg", "2024/y.jpg"},
        {"/home/u/photos", "/home/u/music/z.flac", "../music/z.flac"}, // another folder
        {"/home/u/photos", "/opt/w", "../../../opt/w"},
        {"/home/u/photos", "/home/u/photosets/q", "../photosets/q"}, // a prefix that is not a folder
        {"/home//u/./photos", "/home/u/photos//a", "a"},
        {"/home/u", "/home/u", "."},
        {"/a/b c", "/a/b c/d\ne", "d\ne"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ManifestRelativePath(c.base, c.absolute), c.relative) << c.base << " " << c.absolute;
    }
}

TEST(ManifestPath, FileNameBesideTheReport) {
    const struct {
        const char* report;
        const char* manifest;
    } cases[] = {
        {"/r/cd01.txt", "/r/cd01.sha256"}, {"/r/CD01.TXT", "/r/CD01.sha256"}, {"/r/a.Txt", "/r/a.sha256"},
        {"/r/report", "/r/report.sha256"}, {"/r/a.txt.bak", "/r/a.txt.bak.sha256"}, {"/r/.txt", "/r/.txt.sha256"},
        {"/r.txt/list", "/r.txt/list.sha256"}, {"a.txt", "a.sha256"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ManifestFileFor(c.report), c.manifest);
    }
}

const std::string kHexA = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kHexB = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";

TEST(ManifestReader, ReadsEveryFormSha256sumAccepts) {
    const struct {
        const char* label;
        std::string text;
        std::vector<std::pair<std::string, bool>> entries; // path, binary
    } cases[] = {
        {"plain", kHexA + "  a\n" + kHexB + "  dir/b c\n", {{"a", false}, {"dir/b c", false}}},
        {"no final line feed", kHexA + "  a", {{"a", false}}},
        {"crlf", kHexA + "  a\r\n" + kHexB + "  b\r\n", {{"a", false}, {"b", false}}},
        {"binary marker", kHexA + " *a\n", {{"a", true}}},
        {"escaped", "\\" + kHexA + "  x\\\\y\\nz\\r\n", {{"x\\y\nz\r", false}}},
        {"backslash kept unescaped", kHexA + "  x\\y\n", {{"x\\y", false}}},
        {"upper-case hex", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08  a\n", {{"a", false}}},
        {"comments and blank lines", "# made by hand\n\n" + kHexA + "  a\n\r\n", {{"a", false}}},
        {"leading blanks and tab", " \t" + kHexA + "\t a\n", {{"a", false}}},
        {"name with spaces at both ends", kHexA + "   a \n", {{" a ", false}}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        CManifestReader reader;
        ASSERT_TRUE(reader.Parse(c.text)) << c.label << ": " << reader.FaultText();
        ASSERT_EQ(reader.Entries().size(), c.entries.size()) << c.label;
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(reader.Entries()[i].m_strPath, c.entries[i].first) << c.label;
            EXPECT_EQ(reader.Entries()[i].m_bBinary, c.entries[i].second) << c.label;
        }
    }
    CManifestReader reader;
    ASSERT_TRUE(reader.Parse(kHexA + "  a\n"));
    EXPECT_EQ(DigestHex(reader.Entries()[0].m_digest), kHexA);
}

TEST(ManifestReader, RefusesGarbageWithTheLineAndReason) {
    const struct {
        const char* label;
        std::string text;
        ManifestFault fault;
        std::size_t line;
        const char* message;
    } cases[] = {
        {"short digest", kHexA.substr(1) + "  a\n", ManifestFault::NotSha256, 1,
         "line 1: no SHA-256 checksum (64 hexadecimal digits) at the start"},
        {"not hex", "g" + kHexA.substr(1) + "  a\n", ManifestFault::NotSha256, 1, nullptr},
        {"md5 line", "d41d8cd98f00b204e9800998ecf8427e  a\n", ManifestFault::NotSha256, 1, nullptr},
        {"tagged form", "SHA256 (a) = " + kHexA + "\n", ManifestFault::NotSha256, 1, nullptr},
        {"one space", kHexA + "  a\n" + kHexB + " b\n", ManifestFault::NoSeparator, 2,
         "line 2: the checksum is not followed by two spaces or by a space and \"*\""},
        {"digest glued to name", kHexA + "a\n", ManifestFault::NoSeparator, 1, nullptr},
        {"digest alone", "\n" + kHexA + "\n", ManifestFault::NoSeparator, 2, nullptr},
        {"no name", kHexA + "  \n", ManifestFault::NoPath, 1, "line 1: no file name after the checksum"},
        {"no name after star", kHexA + " *\n", ManifestFault::NoPath, 1, nullptr},
        {"unknown escape", "\\" + kHexA + "  a\\tb\n", ManifestFault::BadEscape, 1, nullptr},
        {"backslash at the end", "\\" + kHexA + "  ab\\\n", ManifestFault::BadEscape, 1, nullptr},
        {"nul byte", kHexA + "  a" + std::string(1, '\0') + "b\n", ManifestFault::NulByte, 1,
         "line 1: a NUL byte in the line"},
        {"binary garbage", "\x7f" "ELF\x02\x01\x01", ManifestFault::NotSha256, 1, nullptr},
    };
    for (const auto& c : cases) {
        CManifestReader reader;
        EXPECT_FALSE(reader.Parse(c.text)) << c.label;
        EXPECT_EQ(reader.Fault(), c.fault) << c.label;
        EXPECT_EQ(reader.FaultLine(), c.line) << c.label;
        EXPECT_TRUE(reader.Entries().empty()) << c.label;
        EXPECT_EQ(reader.FaultText().find('\n'), std::string::npos) << c.label;
        if (c.message != nullptr) {
            EXPECT_EQ(reader.FaultText(), c.message) << c.label;
        }
    }
    CManifestReader reader;
    EXPECT_FALSE(reader.ReadFile("/nonexistent/manifest.sha256"));
    EXPECT_EQ(reader.Fault(), ManifestFault::Unreadable);
    EXPECT_EQ(reader.FaultText(), "No such file or directory");
}

// A drop of items from two folders and awkward names: the writer's manifest
// reads back to the same entries and passes the real sha256sum's check.
TEST(ManifestRoundTrip, WrittenManifestReadsBackAndPassesSha256sum) {
    CTempTree tree;
    tree.Folder("drop", 1000);
    tree.Folder("drop/sub", 1000);
    tree.Folder("other", 1000);
    std::vector<std::string> absolute;
    for (const std::string& name : kAwkwardNames) {
        tree.WriteText("drop/sub/" + name, "in sub: " + name);
        absolute.push_back(tree.Path("drop/sub/" + name));
    }
    tree.WriteText("drop/top", std::string(70000, 'x'));
    absolute.push_back(tree.Path("drop/top"));
    tree.WriteText("other/line\nfeed", "from the other folder");
    absolute.push_back(tree.Path("other/line\nfeed"));
    tree.Finish();
    absolute.insert(absolute.begin() + 3, tree.Path("drop/vanished")); // fails: left out of the manifest

    const std::string base = tree.Path("drop");
    std::vector<CChecksumFile> files;
    for (const std::string& path : absolute) {
        files.push_back({path, ManifestRelativePath(base, path), 1, 0});
    }
    auto results = HashAll(files);
    EXPECT_EQ(results[3].m_nError, ENOENT);
    const std::string manifest = tree.Path("list.sha256");
    CManifestWriter writer;
    ASSERT_TRUE(writer.Open(manifest));
    ASSERT_TRUE(writer.AddResults(files, results));
    ASSERT_TRUE(writer.Commit());
    files.erase(files.begin() + 3);
    results.erase(results.begin() + 3);

    CManifestReader reader;
    ASSERT_TRUE(reader.ReadFile(manifest)) << reader.FaultText();
    ASSERT_EQ(reader.Entries().size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(reader.Entries()[i].m_strPath, files[i].m_strManifestPath);
        EXPECT_EQ(reader.Entries()[i].m_digest, results[i].m_digest);
        EXPECT_FALSE(reader.Entries()[i].m_bBinary);
    }
    EXPECT_EQ(files.back().m_strManifestPath, "../other/line\nfeed");

    int status = 0;
    const std::string output = RunShell("cd '" + base + "' && sha256sum --strict -c '" + manifest + "' 2>&1", status);
    EXPECT_EQ(status, 0) << output;
    // A changed byte is caught by the same check.
    tree.WriteText("drop/sub/back\\slash", "changed");
    RunShell("cd '" + base + "' && sha256sum --strict -c '" + manifest + "' 2>&1", status);
    EXPECT_EQ(status, 1);
}

TEST(ManifestRoundTrip, AbandonedWriterLeavesTheOldManifest) {
    CTempTree tree;
    tree.WriteText("list.sha256", "old\n");
    Sha256Digest digest{};
    {
        CManifestWriter writer;
        ASSERT_TRUE(writer.Open(tree.Path("list.sha256")));
        ASSERT_TRUE(writer.Add(digest, "a"));
    } // destroyed without Commit
    EXPECT_EQ(tree.ReadText("list.sha256"), "old\n");
    CManifestWriter writer;
    ASSERT_TRUE(writer.Open(tree.Path("list.sha256")));
    EXPECT_FALSE(writer.Add(digest, ""));
    EXPECT_FALSE(writer.Commit()); // a refused line never leaves a manifest with a gap
    EXPECT_EQ(tree.ReadText("list.sha256"), "old\n");
}

} // namespace
