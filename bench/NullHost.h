#pragma once

#include "CatalogEngine.h"
#include "QuietHost.h"

// A front end that answers every question with its default and shows
// nothing: what the engine costs without anyone watching. After a drop that
// started a sort, CCatalogEngine::OnSortDone waits for the sort itself.
class CNullHost : public CQuietHost {
public:
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDYES; }
    bool RunArchiveSettings(CArchiveSettings& tags) override;
};

// Archive tags as the dialog's defaults give them: CD01-01.
inline bool CNullHost::RunArchiveSettings(CArchiveSettings& tags) {
    tags.m_strMediaType = "CD";
    tags.m_nMediaNumber = 1;
    tags.m_nArchiveNumber = 1;
    tags.m_bMultipleArchive = 1;
    return true;
}
