#include "CliHost.h"

#include "ArchiveSettings.h"
#include "CommandLine.h"
#include "CommandMessages.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "Utf8.h"

CCliHost::CCliHost(CSettingsStore& store, CArchiveOverrides overrides, std::FILE* errors, bool showProgress)
    : m_store(store), m_overrides(std::move(overrides)), m_pErrors(errors), m_bShowProgress(showProgress) {}

void CCliHost::ShowStatus(const std::string& text) {
    if (!m_bShowProgress || !m_bBusy) {
        return;
    }
    // Back to the start of the line, the text, and the rest of the line cleared.
    std::fprintf(m_pErrors, "\r%s\033[K", Utf8::Printable(text).c_str());
    std::fflush(m_pErrors);
    m_bProgressShown = true;
}

void CCliHost::EndProgress() {
    if (m_bProgressShown) {
        std::fputs("\r\033[K", m_pErrors);
        std::fflush(m_pErrors);
        m_bProgressShown = false;
    }
}

void CCliHost::Complain(const std::string& text) {
    EndProgress();
    CCommandMessages::Print(m_pErrors, CCommandLineParser::Spec().name, text);
}

int CCliHost::MessageBox(const std::string& text, const std::string&, unsigned style) {
    Complain(text);
    return (style & MB_YESNO) != 0 ? IDYES : IDOK;
}

bool CCliHost::RunArchiveSettings(CArchiveSettings& tags) {
    const int stored = tags.LoadArchiveSettings(m_store);
    if (m_overrides.mediaType) {
        tags.m_strMediaType = *m_overrides.mediaType;
    } else if (stored >= 0) {
        tags.m_strMediaType = std::string(CArchiveSettings::kMediaTypes[static_cast<std::size_t>(stored)]);
    } else {
        // The dialog would show no selection and refuse its OK.
        m_strBadMediaType = m_store.GetString(LoadString(IDS_SECTION_ARCHIVE), "MediaType", "CD");
        return false;
    }
    if (m_overrides.mediaNumber) {
        tags.m_nMediaNumber = *m_overrides.mediaNumber;
    }
    if (m_overrides.archiveNumber) {
        tags.m_nArchiveNumber = *m_overrides.archiveNumber;
    }
    if (m_overrides.multipleArchive) {
        tags.m_bMultipleArchive = *m_overrides.multipleArchive;
    }
    tags.SaveArchiveSettings(m_store);
    // Numbering that cannot continue from run to run is no use: stop here.
    m_nSettingsError = m_store.LastWriteError();
    return m_nSettingsError == 0;
}

bool CCliHost::RunChecksums(CDropFiles files) {
    m_pChecksums = std::make_unique<CDropChecksums>(std::move(files));
    const CTextFormat progress(LoadString(IDS_CHECKSUMS_PROGRESS));
    int shown = -1;
    // The worker's calls come one at a time while this thread waits in Run().
    return m_pChecksums->Run([&](int percent) {
        if (percent != shown) {
            shown = percent;
            ShowStatus(progress({percent}));
        }
    });
}

void CCliHost::PostSortDone() {
    std::lock_guard lock(m_mutex);
    m_bSortDonePosted = true;
    m_sortDone.notify_one();
}

void CCliHost::WaitForSortDone(std::chrono::milliseconds interval, const std::function<void()>& tick) {
    std::unique_lock lock(m_mutex);
    while (!m_sortDone.wait_for(lock, interval, [this] { return m_bSortDonePosted; })) {
        lock.unlock();
        tick();
        lock.lock();
    }
    m_bSortDonePosted = false;
}
