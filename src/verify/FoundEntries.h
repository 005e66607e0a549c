#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CLocaleFormat;

// The entries that a report is matched against (CEntryMatcher): those a
// walk found on the medium now, or those of a second report. Indexed from 0
// to Count(); names, dates and times as the matched report writes them.
class CFoundEntries {
public:
    virtual ~CFoundEntries() = default;

    virtual std::size_t Count() const = 0;
    virtual bool IsFolder(std::size_t j) const = 0;
    virtual std::uint64_t SizeOf(std::size_t j) const = 0;
    virtual std::string_view NameAt(std::size_t j) const = 0;
    // Its folder relative to the base, "/" between names, as
    // CReportSide::GroupOf gives a report entry's (for an archive report,
    // the archive it was found under).
    virtual std::string_view FolderAt(std::size_t j) const = 0;
    // The path relative to the base that an account shows.
    virtual std::string ShownPathAt(std::size_t j) const = 0;
    // Its date and time texts in the matched report's form; valid until the
    // next call. Not thread-safe.
    virtual void TextsAt(std::size_t j, std::string_view& date, std::string_view& time) const = 0;
    // Whether TextNumbersAt() numbers the date and time texts as the matched
    // report numbers its own (CReportSide::DateNumberOf, TimeNumberOf), so
    // that equal numbers are equal texts and a text the report never shows
    // is kNoText: a comparison of two numbers in place of two texts.
    static constexpr std::uint32_t kNoText = UINT32_MAX;
    virtual bool TextsNumbered() const { return false; }
    virtual void TextNumbersAt(std::size_t /*j*/, std::uint32_t& date, std::uint32_t& time) const {
        date = time = kNoText;
    }
    // A walk knows each entry's last-write time, which tells how the
    // report's dates read (CDateHints): the locale it formats them in, or
    // null when the entries have only texts.
    virtual CLocaleFormat* WalkLocale() const { return nullptr; }
    virtual std::int64_t LastWriteAt(std::size_t /*j*/) const { return 0; }
};
