#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What a check found of one entry, in the order of the summary line.
enum class VerifyKind : int { Ok = 0, Changed, Missing, New, Moved, Corrupt, Unreadable };
inline constexpr std::size_t kVerifyKindCount = 7;

// One line of a check's account: "KIND<TAB>PATH<TAB>DETAIL".
struct CVerifyLine {
    VerifyKind m_kind = VerifyKind::Ok;
    std::string m_strPath;   // relative to the base; control characters shown as "?"
    std::string m_strDetail; // may be empty
};

// How many entries of each kind, indexed by VerifyKind.
struct CVerifyCounts {
    std::array<std::uint64_t, kVerifyKindCount> m_counts{};

    std::uint64_t& operator[](VerifyKind kind) { return m_counts[static_cast<std::size_t>(kind)]; }
    std::uint64_t operator[](VerifyKind kind) const { return m_counts[static_cast<std::size_t>(kind)]; }
    std::uint64_t Total() const;
    bool AllOk() const { return Total() == (*this)[VerifyKind::Ok]; }
};

// The texts of a check's account, as `stowlist-cli verify` prints them and
// the window copies and saves them.
namespace VerifyText {

// "ok", "changed", "missing", "new", "moved", "corrupt", "unreadable".
std::string_view KindName(VerifyKind kind);
// "KIND\tPATH\tDETAIL" (no line end).
std::string Line(const CVerifyLine& line);
// {"kind":"...","path":"...","detail":"..."} (no line end); text that is not
// valid UTF-8 is read as Windows-1252, so the object is always valid JSON.
std::string JsonLine(const CVerifyLine& line);
// "Checked N entries: A ok, B changed, C missing, D new, E moved, F corrupt, G unreadable"
std::string Summary(const CVerifyCounts& counts);
// {"summary":{"checked":N,"ok":A,...}}
std::string JsonSummary(const CVerifyCounts& counts);
// Two reports compared, N counting the older's entries (every kind but new
// and unreadable): "Compared N entries: A ok, B changed, C missing, D new,
// E moved, F corrupt".
std::string CompareSummary(const CVerifyCounts& counts);
// {"summary":{"compared":N,"ok":A,...,"corrupt":F}}
std::string JsonCompareSummary(const CVerifyCounts& counts);

} // namespace VerifyText
