#include "MediaRules.h"

#include "ArchiveSettings.h"

#include <limits>

EMediaRuleError CMediaRules::Make(std::string_view mediaType, std::optional<std::uint64_t> capacity,
                                  std::optional<std::uint64_t> blockSize, std::uint64_t reserve,
                                  CMediaRules& rules) {
    const int type = CArchiveSettings::FindMediaType(mediaType);
    if (type < 0) {
        return EMediaRuleError::kUnknownType;
    }
    const bool cd = CArchiveSettings::kMediaTypes[static_cast<std::size_t>(type)] == "CD";
    if (!capacity && !cd) {
        return EMediaRuleError::kNeedsCapacity;
    }
    const std::uint64_t block = blockSize.value_or(cd ? kCdBlock : kOtherBlock);
    if (block == 0) {
        return EMediaRuleError::kZeroBlock;
    }
    const std::uint64_t total = capacity.value_or(kCdCapacity);
    if (reserve >= total || total - reserve < block) {
        return EMediaRuleError::kNoRoomLeft;
    }
    rules = CMediaRules(total, block, reserve);
    return EMediaRuleError::kNone;
}

CMediaRules::CMediaRules(std::uint64_t capacity, std::uint64_t blockSize, std::uint64_t reserve)
    : m_nCapacity(capacity), m_nBlockSize(blockSize), m_nReserve(reserve) {}

std::uint64_t CMediaRules::FileSpace(std::uint64_t size) const {
    const std::uint64_t blocks = size / m_nBlockSize + (size % m_nBlockSize != 0 ? 1 : 0);
    std::uint64_t space = 0;
    if (__builtin_mul_overflow(blocks, m_nBlockSize, &space)) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return space;
}
