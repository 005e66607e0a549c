#pragma once

#include "AtomicFile.h"
#include "CatalogHost.h"
#include "CatalogSession.h"
#include "LocaleFormat.h"
#include "OptionsSnapshot.h"
#include "ReportWriter.h"

#include <string>

// The export of a catalogue: the numbered Save As proposal and the report
// written atomically beside its final name, with the progress in the status
// line. A failure is shown and leaves the session and the status alone, and
// never destroys an earlier file of the same name.
class CExportWriter {
public:
    CExportWriter(const COptionsSnapshot& options, const CLocaleFormat& locale);

    // Asks for the file (starting in initialFolder), writes it and shows its
    // progress; the written path, or empty when cancelled or failed.
    std::string ExportCatalogue(CCatalogSession& session, ICatalogHost& host, const std::string& initialFolder);

    // Writes the whole report into an open file, without committing it;
    // 0 or the errno of the failed write (the file is then abandoned).
    int Write(const CCatalogSession& session, CAtomicFile& file, const CReportWriter::Progress& progress);

    // The number that ends a file title ("Backup12" gives 12), or -1 when
    // the title does not end in a digit. Saturates instead of overflowing.
    static std::int64_t TrailingNumber(const std::string& title);
    // The chosen name without its folder and without the part from its last ".".
    static std::string FileTitle(const std::string& path);

private:
    const COptionsSnapshot& m_options;
    const CLocaleFormat& m_locale;
};
