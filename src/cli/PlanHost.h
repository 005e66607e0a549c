#pragma once

#include "QuietHost.h"
#include "SettingsStore.h"

#include <string>

// The engine's front end for the archive runs of a plan: no dialogs and no
// output. The archive Settings dialog confirms the tags of the medium being
// catalogued, storing them in the run's own settings store (never the
// user's file); boxes are kept as text for the caller.
class CPlanHost : public CQuietHost {
public:
    explicit CPlanHost(CSettingsStore& store);

    // The tags the next archive run confirms: archive number 1.
    void SetTags(const std::string& mediaType, int mediaNumber, int multipleArchive);

    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool RunArchiveSettings(CArchiveSettings& tags) override;

    // The boxes shown since the last call, one a line.
    std::string TakeMessages();
    // The errno of a failed write of the tags, or 0.
    int SettingsError() const { return m_nSettingsError; }

private:
    CSettingsStore& m_store;
    std::string m_strMediaType;
    int m_nMediaNumber = 1;
    int m_bMultipleArchive = 0;
    int m_nSettingsError = 0;
    std::string m_strMessages;
};
