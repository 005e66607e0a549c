#pragma once

#include "AtomicFile.h"
#include "CatalogSession.h"
#include "LocaleFormat.h"
#include "OptionsSnapshot.h"

#include <functional>
#include <string>
#include <string_view>

// Buffers report text and hands it to the file in large pieces. Every "\n"
// becomes "\r\n". After the first failed write nothing more is written and
// Error() holds its errno.
class CReportOutput {
public:
    explicit CReportOutput(CAtomicFile& file);
    void Put(std::string_view text);     // text with "\n" line ends
    void PutLine(std::string_view line); // a line without its line end
    bool Flush();
    int Error() const { return m_nError; }

private:
    CAtomicFile& m_file;
    std::string m_buffer;
    int m_nError = 0;
};

// Writes a catalogue in the layout the options ask for: the archive report,
// or the directory listing in full, folders only, or folders only without
// sub-folder walking, closed by the summary line. The progress callback gets
// the "%3.0f%% Exported" text each time the shown percentage changes.
class CReportWriter {
public:
    using Progress = std::function<void(const std::string& text)>;

    CReportWriter(const COptionsSnapshot& options, const CLocaleFormat& locale);

    // False when writing failed; out.Error() says why.
    bool Write(const CCatalogSession& session, CReportOutput& out, const Progress& progress);

private:
    void WriteArchive(const CCatalogSession& session, CReportOutput& out);
    void WriteListing(const CCatalogSession& session, CReportOutput& out);
    void ShowProgress(double value);
    std::string Count(std::int64_t value, bool formatNumbers) const;

    const COptionsSnapshot& m_options;
    const CLocaleFormat& m_locale;
    Progress m_progress;
    float m_fLastShown = 0;
    std::string m_strLastText;
};
