// The hashing stage against the obvious way (each file read whole and
// hashed with one libcrypto call), over real trees, under every mix of
// hashers, buffer sizes and read-ahead, with files that end on and beside
// buffer boundaries and files that cannot be read.
#include "ChecksumStage.h"
#include "FileDigest.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kSmallBuffer = 4096;

// Bytes that differ from file to file and position to position.
std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint64_t state = 0x9E3779B97F4A7C15ULL * (seed + 1);
    for (char& byte : bytes) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        byte = static_cast<char>(state >> 56);
    }
    return bytes;
}

// The obvious way: the whole file in memory, one EVP_Digest call.
std::string OneShotHex(const std::string& path) {
    const std::string bytes = CTempTree::ReadFile(path);
    Sha256Digest digest{};
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr), 1);
    return DigestHex(digest);
}

struct CFileSpec {
    const char* name;
    std::size_t size;
    dev_t device; // only groups the files; every file is on the same disk
};

// Sizes around the small buffer and around the default one.
const std::vector<CFileSpec> kFiles = {
    {"empty", 0, 1},
    {"one-byte", 1, 1},
    {"one-buffer", kSmallBuffer, 1},
    {"one-buffer-and-one", kSmallBuffer + 1, 2},
    {"three-buffers-less-one", 3 * kSmallBuffer - 1, 1},
    {"big/one-mebibyte", std::size_t{1} << 20, 2},
    {"big/one-mebibyte-and-one", (std::size_t{1} << 20) + 1, 1},
    {"big/odd", 2'500'001, 3},
    {"second-empty", 0, 3},
    {"tail", 70'000, 2},
};

struct CStageCase {
    const char* label;
    CChecksumLimits limits;
};

class ChecksumStageTest : public testing::TestWithParam<CStageCase> {};

TEST_P(ChecksumStageTest, MatchesOneShotDigestsAndReportsProgress) {
    CTempTree tree;
    tree.Folder("big", 1000);
    std::vector<CChecksumFile> files;
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        tree.WriteText(kFiles[i].name, Pattern(kFiles[i].size, static_cast<unsigned>(i)));
        files.push_back({tree.Path(kFiles[i].name), kFiles[i].name, kFiles[i].device, kFiles[i].size});
    }
    CChecksumStage stage(files, GetParam().limits);
    std::vector<int> percents;
    std::mutex guard;
    ASSERT_TRUE(stage.Run([&](int percent) {
        std::lock_guard lock(guard);
        percents.push_back(percent);
    }));

    ASSERT_EQ(stage.Results().size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(stage.Results()[i].m_nError, 0) << kFiles[i].name;
        EXPECT_EQ(DigestHex(stage.Results()[i].m_digest), OneShotHex(files[i].m_strOpenPath)) << kFiles[i].name;
        EXPECT_EQ(stage.Files()[i].m_strManifestPath, kFiles[i].name);
    }
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    for (std::size_t i = 1; i < percents.size(); ++i) {
        EXPECT_LT(percents[i - 1], percents[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ChecksumStageTest,
    testing::Values(CStageCase{"Defaults", {}}, CStageCase{"OneHasherSmallBuffers", {1, kSmallBuffer, 1}},
                    CStageCase{"TwoHashersSmallBuffers", {2, kSmallBuffer, 2}},
                    CStageCase{"FourHashersDeepReadAhead", {4, kSmallBuffer, 16}},
                    CStageCase{"ThreeHashersOddBuffer", {3, 1000, 3}}),
    [](const testing::TestParamInfo<CStageCase>& info) { return std::string(info.param.label); });

// How many of this process's descriptors are open on files under `root`.
int OpenFilesUnder(const std::string& root) {
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    while (dirent* entry = fds != nullptr ? readdir(fds) : nullptr) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = readlink(link.c_str(), target, sizeof target);
        if (length > 0 && std::string_view(target, static_cast<std::size_t>(length)).starts_with(root + "/")) {
            ++count;
        }
    }
    if (fds != nullptr) {
        closedir(fds);
    }
    return count;
}

// A device read faster than it is hashed gets a second file opened beside the
// first, so two hashers work at once; with one hasher, or a device that the
// hashers keep up with, it is read one file at a time.
TEST(ChecksumStageReading, SecondFileOpensOnlyWhenTheHashersFallBehind) {
    CTempTree tree;
    std::vector<CChecksumFile> files;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "f" + std::to_string(i);
        tree.WriteText(name, Pattern(400 * kSmallBuffer, static_cast<unsigned>(i)));
        files.push_back({tree.Path(name), name, 1, 400 * kSmallBuffer});
    }
    for (const unsigned hashers : {1u, 2u}) {
        CChecksumStage stage(files, {hashers, kSmallBuffer, 4});
        int most = 0;
        ASSERT_TRUE(stage.Run([&](int) {
            most = std::max(most, OpenFilesUnder(tree.Root()));
            std::this_thread::sleep_for(std::chrono::milliseconds(3)); // hashing slower than reading
        }));
        EXPECT_EQ(most, static_cast<int>(hashers)) << hashers << " hashers";
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(DigestHex(stage.Results()[i].m_digest), OneShotHex(files[i].m_strOpenPath));
        }
    }
}

// Files that cannot be read fail on their own; the rest hash as before.
TEST(ChecksumStageFailures, UnreadableFilesFailAloneWithTheirReason) {
    CTempTree tree;
    tree.WriteText("before", Pattern(9000, 1));
    tree.WriteText("after", Pattern(5000, 2));
    tree.WriteText("vanished", "x");
    ASSERT_EQ(unlink(tree.Path("vanished").c_str()), 0);
    ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0); // a FIFO where a file was
    tree.Symlink("link", "before", 1000);
    tree.Folder("folder", 1000);
    tree.Finish();
    const std::vector<std::pair<std::string, int>> expected = {
        {"before", 0}, {"vanished", ENOENT}, {"fifo", ENOTSUP}, {"link", ELOOP}, {"folder", EISDIR}, {"after", 0},
    };
    for (const unsigned hashers : {1u, 2u}) {
        std::vector<CChecksumFile> files;
        for (const auto& [name, error] : expected) {
            files.push_back({tree.Path(name), name, 7, 1000});
        }
        CChecksumStage stage(files, {hashers, kSmallBuffer, 2});
        ASSERT_TRUE(stage.Run());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(stage.Results()[i].m_nError, expected[i].second) << expected[i].first;
            if (expected[i].second == 0) {
                EXPECT_EQ(DigestHex(stage.Results()[i].m_digest), OneShotHex(tree.Path(expected[i].first)));
            }
        }
    }
}

TEST(ChecksumStageFailures, FileWithoutPermissionFailsForAnOrdinaryUser) {
    CTempTree tree;
    tree.WriteText("open", Pattern(20000, 3));
    tree.WriteText("closed", Pattern(20000, 4));
    ASSERT_EQ(chmod(tree.Path("closed").c_str(), 0), 0);
    const std::string expectedOpen = OneShotHex(tree.Path("open"));
    EXPECT_TRUE(RunUnprivileged(tree.Root(), [&] {
        CChecksumStage stage({{tree.Path("closed"), "closed", 1, 20000}, {tree.Path("open"), "open", 1, 20000}},
                             {2, kSmallBuffer, 2});
        return stage.Run() && stage.Results()[0].m_nError == EACCES && stage.Results()[1].m_nError == 0 &&
               DigestHex(stage.Results()[1].m_digest) == expectedOpen;
    }));
}

// A cancel stops the run; what was finished is right, the rest says so.
TEST(ChecksumStageCancel, CancelFromProgressStopsTheRun) {
    CTempTree tree;
    std::vector<CChecksumFile> files;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(i);
        tree.WriteText(name, Pattern(64 * 1024, static_cast<unsigned>(i)));
        files.push_back({tree.Path(name), name, 1, 64 * 1024});
    }
    CChecksumStage stage(files, {2, kSmallBuffer, 2});
    ASSERT_FALSE(stage.Run([&](int percent) {
        if (percent >= 10) {
            stage.Cancel();
        }
    }));
    std::size_t cancelled = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CChecksumResult& result = stage.Results()[i];
        if (result.m_nError == ECANCELED) {
            ++cancelled;
        } else {
            EXPECT_EQ(result.m_nError, 0);
            EXPECT_EQ(DigestHex(result.m_digest), OneShotHex(files[i].m_strOpenPath));
        }
    }
    EXPECT_GT(cancelled, 0u);
}

TEST(ChecksumStageCancel, CancelBeforeRunHashesNothing) {
    CTempTree tree;
    tree.WriteText("a", "abc");
    CChecksumStage stage({{tree.Path("a"), "a", 1, 3}});
    stage.Cancel();
    EXPECT_FALSE(stage.Run());
    EXPECT_EQ(stage.Results()[0].m_nError, ECANCELED);
}

TEST(ChecksumStageEmpty, NoFilesIsDoneAtOnce) {
    CChecksumStage stage({});
    int last = -1;
    EXPECT_TRUE(stage.Run([&](int percent) { last = percent; }));
    EXPECT_EQ(last, 100);
    EXPECT_TRUE(stage.Results().empty());
}

// The single-file path gives the same digests, and the same failures.
TEST(FileDigest, MatchesOneShotAndRefusesNonFiles) {
    CTempTree tree;
    const std::vector<std::size_t> sizes = {0, 1, kSmallBuffer, kSmallBuffer + 1, 100'000};
    for (const std::size_t size : sizes) {
        const std::string name = "s" + std::to_string(size);
        tree.WriteText(name, Pattern(size, static_cast<unsigned>(size)));
        Sha256Digest digest{};
        ASSERT_EQ(HashFile(tree.Path(name), digest, kSmallBuffer), 0);
        EXPECT_EQ(DigestHex(digest), OneShotHex(tree.Path(name))) << size;
    }
    ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0);
    Sha256Digest digest{};
    EXPECT_EQ(HashFile(tree.Path("fifo"), digest), ENOTSUP);
    EXPECT_EQ(HashFile(tree.Path("missing"), digest), ENOENT);
    EXPECT_EQ(HashFile(tree.Root(), digest), EISDIR);
}

} // namespace
