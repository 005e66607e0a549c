#pragma once

#include "CatalogEngine.h"

// A front end that answers every question with its default and shows
// nothing: what the engine costs without anyone watching. After a drop that
// started a sort, CCatalogEngine::OnSortDone waits for the sort itself.
class CNullHost : public ICatalogHost {
public:
    void ShowStatus(const std::string&) override {}
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDYES; }
    bool RunArchiveSettings(CArchiveSettings& tags) override;
    bool AskExportFileName(const std::string&, const std::string&, std::string&) override { return false; }
    void EnableExport(bool) override {}
    void SetBusy(bool) override {}
    void SortStarted() override {}
    void PostSortDone() override {}
    void SortFinished() override {}
    void OpenReport(const std::string&) override {}
    void Pause(std::chrono::milliseconds) override {}
};

// Archive tags as the dialog's defaults give them: CD01-01.
inline bool CNullHost::RunArchiveSettings(CArchiveSettings& tags) {
    tags.m_strMediaType = "CD";
    tags.m_nMediaNumber = 1;
    tags.m_nArchiveNumber = 1;
    tags.m_bMultipleArchive = 1;
    return true;
}
