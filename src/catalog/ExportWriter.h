#pragma once

#include "CatalogEngine.h"
#include "ReportWriter.h"

#include <string>

// The export of a catalogue: the numbered Save As proposal, the report
// written atomically beside its final name, the progress in the status line,
// the remembered folder, the reset of the session and the optional opening
// of the report. A failure leaves the session, the status and the remembered
// folder alone, and never destroys an earlier file of the same name.
class CExportWriter {
public:
    CExportWriter(CCatalogEngine& engine, const CLocaleFormat& locale);

    void ExportCatalogue();

    // Writes the whole report into an open file, without committing it;
    // 0 or the errno of the failed write (the file is then abandoned).
    int Write(CAtomicFile& file, const CReportWriter::Progress& progress);

    // The number that ends a file title ("Backup12" gives 12), or -1 when
    // the title does not end in a digit. Saturates instead of overflowing.
    static std::int64_t TrailingNumber(const std::string& title);
    // The chosen name without its folder and without the part from its last ".".
    static std::string FileTitle(const std::string& path);

private:
    CCatalogEngine& m_engine;
    const CLocaleFormat& m_locale;
};
