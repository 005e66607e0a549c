#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Why media rules could not be made; the string table holds the message of
// each (IDS_MEDIA_RULE_ERROR_FIRST plus the reason).
enum class EMediaRuleError : int {
    kNone = 0,
    kUnknownType = 1,      // none of CD, DAT, DLT, JAZ, ZIP
    kNeedsCapacity = 2,    // only a CD has a capacity of its own
    kZeroBlock = 3,        // a block size of 0
    kNoRoomLeft = 4,       // the reserve leaves less than one block
};

// The space rules of one kind of medium: how much it holds, in blocks of
// what size, and how much of it stays free. A file takes its size rounded
// up to whole blocks; a folder takes one block on every medium that holds
// any of it; a link, or any other entry that is neither file nor folder,
// takes one block.
class CMediaRules {
public:
    static constexpr std::uint64_t kCdCapacity = 737280000; // 360,000 sectors of 2,048 bytes
    static constexpr std::uint64_t kCdBlock = 2048;
    static constexpr std::uint64_t kOtherBlock = 512;

    // Rules for a media type (any case). A CD defaults to kCdCapacity and
    // kCdBlock; every other type needs a capacity and has kOtherBlock
    // unless a block size is given.
    static EMediaRuleError Make(std::string_view mediaType, std::optional<std::uint64_t> capacity,
                                std::optional<std::uint64_t> blockSize, std::uint64_t reserve,
                                CMediaRules& rules);

    CMediaRules(std::uint64_t capacity, std::uint64_t blockSize, std::uint64_t reserve);

    std::uint64_t Capacity() const { return m_nCapacity; }
    std::uint64_t BlockSize() const { return m_nBlockSize; }
    std::uint64_t Reserve() const { return m_nReserve; }
    // What the plan may fill: the capacity less the reserve.
    std::uint64_t Usable() const { return m_nCapacity - m_nReserve; }

    // The size rounded up to whole blocks (saturating near 2^64).
    std::uint64_t FileSpace(std::uint64_t size) const;
    std::uint64_t FolderSpace() const { return m_nBlockSize; }
    std::uint64_t OtherSpace() const { return m_nBlockSize; }

private:
    std::uint64_t m_nCapacity;
    std::uint64_t m_nBlockSize;
    std::uint64_t m_nReserve;
};
