#include "ReportWriter.h"

#include "EntryFormatter.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

} // namespace

CReportOutput::CReportOutput(CAtomicFile& file) : m_file(file) { m_buffer.reserve(kFlushSize + 4096); }

void CReportOutput::Put(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        const auto newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            m_buffer.append(text.substr(start));
            break;
        }
        m_buffer.append(text.substr(start, newline - start));
        m_buffer.append("\r\n");
        start = newline + 1;
    }
    if (m_buffer.size() >= kFlushSize) {
        Flush();
    }
}

void CReportOutput::PutLine(std::string_view line) {
    m_buffer.append(line);
    m_buffer.append("\r\n");
    if (m_buffer.size() >= kFlushSize) {
        Flush();
    }
}

bool CReportOutput::Flush() {
    if (m_nError == 0 && !m_buffer.empty() && !m_file.Write(m_buffer)) {
        m_nError = m_file.LastError();
    }
    m_buffer.clear();
    return m_nError == 0;
}

CReportWriter::CReportWriter(const COptionsSnapshot& options, const CLocaleFormat& locale)
    : m_options(options), m_locale(locale) {}

void CReportWriter::ShowProgress(double value) {
    if (value > 100.0) {
        value = 100.0; // records without files after the last one with files
    }
    if (!(value > m_fLastShown)) {
        return;
    }
    m_fLastShown = static_cast<float>(value);
    std::string text = FormatString(IDS_EXPORT_PROGRESS, {static_cast<double>(m_fLastShown)});
    if (m_progress && text != m_strLastText) {
        m_progress(text);
    }
    m_strLastText = std::move(text);
}

std::string CReportWriter::Count(std::int64_t value, bool formatNumbers) const {
    if (formatNumbers) {
        return m_locale.FormatNumber(value);
    }
    std::string text;
    AppendDecimal(text, value);
    return text;
}

bool CReportWriter::Write(const CCatalogSession& session, CReportOutput& out, const Progress& progress) {
    m_progress = progress;
    m_fLastShown = 0;
    m_strLastText.clear();
    if (m_options.IsListing()) {
        WriteListing(session, out);
    } else {
        WriteArchive(session, out);
    }
    return out.Flush();
}

void CReportWriter::WriteArchive(const CCatalogSession& session, CReportOutput& out) {
    const auto& lines = session.m_arrArchiveLines;
    if (lines.empty()) {
        return;
    }
    const float step = 100.0f / static_cast<float>(lines.size());
    for (std::size_t i = 0; i < lines.size() && out.Error() == 0; ++i) {
        ShowProgress(static_cast<float>(i + 1) * step);
        out.PutLine(lines[i]);
    }
}

void CReportWriter::WriteListing(const CCatalogSession& session, CReportOutput& out) {
    const bool directoryOnly = m_options.DirectoryOnly();
    const bool excludeSubFolders = m_options.ExcludeSubFolders();
    const bool excludeEmpty = m_options.ExcludeEmptyFolders();
    const int outputFormat = m_options.OutputFormat();
    const bool formatNumbers = m_options.FormatFileSize();

    bool firstFolder = true;
    std::int64_t foldersWritten = 0;
    std::int64_t filesDone = 0;
    std::string text;
    for (const auto& record : session.m_arrFolderRecords) {
        if (out.Error() != 0) {
            break;
        }
        if (session.m_nFileCount > 0) {
            ShowProgress(100.0 / static_cast<double>(session.m_nFileCount) * static_cast<double>(filesDone + 1));
        }
        const bool empty = record->m_arrSubFolders.empty() && record->m_arrFiles.empty();
        if (!directoryOnly) {
            if (!(empty && excludeEmpty)) {
                text.clear();
                if (!firstFolder) {
                    text.push_back('\n');
                }
                text.append(record->m_path.View());
                text.append("\n\n");
                out.Put(text);
                firstFolder = false;
                ++foldersWritten;
                if (empty) {
                    out.Put(LoadString(IDS_FOLDER_EMPTY));
                }
                for (std::string_view line : record->m_arrSubFolders) {
                    out.PutLine(line);
                }
                for (std::string_view line : record->m_arrFiles) {
                    out.PutLine(line);
                }
            }
        } else if (!excludeSubFolders) {
            out.PutLine(record->m_path);
            ++foldersWritten;
        } else {
            std::string prefix(record->m_path.View());
            if (prefix.empty() || prefix.back() != '/') {
                prefix.push_back('/');
            }
            for (std::string_view line : record->m_arrSubFolders) {
                text = prefix;
                text.append(CEntryFormatter::NameColumnOf(line, outputFormat));
                out.PutLine(text);
                ++foldersWritten;
            }
        }
        filesDone += static_cast<std::int64_t>(record->m_arrFiles.size());
    }

    const std::string folders = Count(foldersWritten, formatNumbers);
    const std::string files = directoryOnly ? "0" : Count(session.m_nFileCount, formatNumbers);
    const std::string bytes =
        directoryOnly ? "0" : Count(static_cast<std::int64_t>(session.m_dwTotalBytes), formatNumbers);
    out.Put(FormatString(outputFormat == 0 ? IDS_SUMMARY_TABBED : IDS_SUMMARY_PADDED, {folders, files, bytes}));
}
