#include "MediaRules.h"
#include "SizeText.h"
#include "StringTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

struct SizeCase {
    const char* text;
    std::uint64_t bytes; // when accepted
    ESizeError reason;   // kNone when accepted
};

class SizeTextTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, ParsesExactlyOrRefusesWithReason) {
    const SizeCase& c = GetParam();
    std::uint64_t bytes = 12345;
    ESizeError reason = ESizeError::kNone;
    const bool ok = CSizeText::Parse(c.text, bytes, reason);
    EXPECT_EQ(ok, c.reason == ESizeError::kNone);
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(bytes, ok ? c.bytes : 12345u) << "a refused text leaves the value alone";
    if (!ok) {
        EXPECT_FALSE(LoadString(IDS_SIZE_ERROR_FIRST + static_cast<int>(reason)).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeTextTest,
    testing::Values(
        SizeCase{"737280000", 737280000, ESizeError::kNone},
        SizeCase{"0", 0, ESizeError::kNone},
        SizeCase{"4.7G", 4700000000, ESizeError::kNone},
        SizeCase{"700M", 700000000, ESizeError::kNone},
        SizeCase{"1.5GiB", 1610612736, ESizeError::kNone},
        SizeCase{"512KiB", 524288, ESizeError::kNone},
        SizeCase{"1k", 1000, ESizeError::kNone},
        SizeCase{"2T", 2000000000000, ESizeError::kNone},
        SizeCase{"1TiB", 1099511627776, ESizeError::kNone},
        SizeCase{"0.1KiB", 102, ESizeError::kNone},          // 102.4 rounded down
        SizeCase{"0.999999999999k", 999, ESizeError::kNone}, // never rounded up
        SizeCase{"8.5MiB", 8912896, ESizeError::kNone},
        SizeCase{"0004.70G", 4700000000, ESizeError::kNone},
        // 1/2^40 written out exactly: one byte, which a shortened fraction would lose.
        SizeCase{"0.0000000000009094947017729282379150390625TiB", 1, ESizeError::kNone},
        SizeCase{"18446744073709551615", kMax, ESizeError::kNone},
        SizeCase{"", 0, ESizeError::kEmpty},
        SizeCase{"-1", 0, ESizeError::kNotANumber},
        SizeCase{"+5", 0, ESizeError::kNotANumber},
        SizeCase{" 5", 0, ESizeError::kNotANumber},
        SizeCase{".5G", 0, ESizeError::kNotANumber},
        SizeCase{"G", 0, ESizeError::kNotANumber},
        SizeCase{"4.G", 0, ESizeError::kBadFraction},
        SizeCase{"1.5", 0, ESizeError::kBadFraction},
        SizeCase{"4.7g", 0, ESizeError::kBadUnit},
        SizeCase{"4.7GB", 0, ESizeError::kBadUnit},
        SizeCase{"1K", 0, ESizeError::kBadUnit},
        SizeCase{"1kib", 0, ESizeError::kBadUnit},
        SizeCase{"5 M", 0, ESizeError::kBadUnit},
        SizeCase{"5M ", 0, ESizeError::kBadUnit},
        SizeCase{"1.2.3G", 0, ESizeError::kBadUnit},
        SizeCase{"1e9", 0, ESizeError::kBadUnit},
        SizeCase{"18446744073709551616", 0, ESizeError::kTooLarge},
        SizeCase{"18446744073709551615k", 0, ESizeError::kTooLarge},
        SizeCase{"16777216TiB", 0, ESizeError::kTooLarge},
        SizeCase{"16777215.99999999999999999999TiB", kMax, ESizeError::kNone},
        SizeCase{"16777215TiB", 16777215ULL << 40, ESizeError::kNone}));

struct RulesCase {
    const char* type;
    std::optional<std::uint64_t> capacity;
    std::optional<std::uint64_t> block;
    std::uint64_t reserve;
    EMediaRuleError error;
    std::uint64_t capacityMade;
    std::uint64_t blockMade;
};

class MediaRulesTest : public testing::TestWithParam<RulesCase> {};

TEST_P(MediaRulesTest, DefaultsAndRefusals) {
    const RulesCase& c = GetParam();
    CMediaRules rules(1, 1, 0);
    EXPECT_EQ(CMediaRules::Make(c.type, c.capacity, c.block, c.reserve, rules), c.error);
    if (c.error == EMediaRuleError::kNone) {
        EXPECT_EQ(rules.Capacity(), c.capacityMade);
        EXPECT_EQ(rules.BlockSize(), c.blockMade);
        EXPECT_EQ(rules.Usable(), c.capacityMade - c.reserve);
    } else {
        EXPECT_FALSE(LoadString(IDS_MEDIA_RULE_ERROR_FIRST + static_cast<int>(c.error)).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Media, MediaRulesTest,
    testing::Values(
        RulesCase{"CD", {}, {}, 0, EMediaRuleError::kNone, 737280000, 2048},
        RulesCase{"cd", {}, {}, 0, EMediaRuleError::kNone, 737280000, 2048},
        RulesCase{"CD", 4700000000, {}, 0, EMediaRuleError::kNone, 4700000000, 2048},
        RulesCase{"CD", {}, 4096, 1000000, EMediaRuleError::kNone, 737280000, 4096},
        RulesCase{"dat", 12000000000, {}, 0, EMediaRuleError::kNone, 12000000000, 512},
        RulesCase{"DLT", 40000000000, 65536, 0, EMediaRuleError::kNone, 40000000000, 65536},
        RulesCase{"ZIP", 100000000, {}, 99999488, EMediaRuleError::kNone, 100000000, 512},
        RulesCase{"JAZ", {}, {}, 0, EMediaRuleError::kNeedsCapacity, 0, 0},
        RulesCase{"ZIP", {}, 512, 0, EMediaRuleError::kNeedsCapacity, 0, 0},
        RulesCase{"DVD", 4700000000, {}, 0, EMediaRuleError::kUnknownType, 0, 0},
        RulesCase{"", {}, {}, 0, EMediaRuleError::kUnknownType, 0, 0},
        RulesCase{"CD", {}, 0, 0, EMediaRuleError::kZeroBlock, 0, 0},
        RulesCase{"ZIP", 100000000, {}, 100000000, EMediaRuleError::kNoRoomLeft, 0, 0},
        RulesCase{"ZIP", 100000000, {}, 99999489, EMediaRuleError::kNoRoomLeft, 0, 0},
        RulesCase{"CD", 1000, 2048, 0, EMediaRuleError::kNoRoomLeft, 0, 0}));

struct SpaceCase {
    std::uint64_t block;
    std::uint64_t size;
    std::uint64_t space;
};

class FileSpaceTest : public testing::TestWithParam<SpaceCase> {};

TEST_P(FileSpaceTest, RoundsUpToWholeBlocks) {
    const SpaceCase& c = GetParam();
    const CMediaRules rules(kMax, c.block, 0);
    EXPECT_EQ(rules.FileSpace(c.size), c.space);
    EXPECT_EQ(rules.FolderSpace(), c.block);
    EXPECT_EQ(rules.OtherSpace(), c.block);
}

INSTANTIATE_TEST_SUITE_P(Space, FileSpaceTest,
                         testing::Values(SpaceCase{2048, 0, 0}, SpaceCase{2048, 1, 2048},
                                         SpaceCase{2048, 2048, 2048}, SpaceCase{2048, 2049, 4096},
                                         SpaceCase{512, 1000, 1024}, SpaceCase{1, 7, 7},
                                         SpaceCase{3, 10, 12},
                                         SpaceCase{4096, kMax, kMax}, // saturates
                                         SpaceCase{2048, kMax - 4095, kMax - 4095},
                                         SpaceCase{2048, kMax - 4094, kMax - 2047}));

} // namespace
