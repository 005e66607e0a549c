#pragma once

#include "ArchiveSettings.h"
#include "FindData.h"
#include "LocaleFormat.h"
#include "TextFormat.h"

#include <string>

// Builds the report line of one entry in one of the three layouts. Names are
// written with control characters shown as "?"; listing lines are upper case.
class CEntryFormatter {
public:
    explicit CEntryFormatter(CLocaleFormat& locale);

    // "name<TAB>size<TAB>date<TAB>time<TAB>CD01-03"; keeps its case.
    void BuildArchiveLine(std::string& out, const CFindData& entry, const CArchiveSettings& tags);

    // Tab-delimited (outputFormat 0) or padded columns, in upper case; the size
    // of a folder reads "<FOLDER>", a file's is grouped when formatSize is set.
    void BuildListingLine(std::string& out, const CFindData& entry, bool formatSize, int outputFormat);

    // The text from the last column of a listing line on (where the layout
    // puts the name again): after the last tab, or from the padded layout's
    // fixed character position.
    static std::string_view NameColumnOf(std::string_view line, int outputFormat);

private:
    CLocaleFormat& m_locale;
    CTextFormat m_archiveFormat;
    CTextFormat m_tabbedFormat;
    CTextFormat m_paddedFormat;
    // Upper case works character by character, so a listing line can be put
    // together from upper-case pieces when the layout's own text (tabs,
    // spaces) has no case; the name is then converted once, not twice.
    bool m_bTabbedCaseless = false;
    bool m_bPaddedCaseless = false;
    std::string m_strName;
    std::string m_strUpperName;
    std::string m_strSize;
    std::string m_strUpperSize;
    std::string m_strLine;
};
