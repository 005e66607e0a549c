#pragma once

#include "CatalogHost.h"

// A front end without a window: shows nothing, asks no one, declines every
// dialog. Hosts that run the engine unattended override what they answer.
class CQuietHost : public ICatalogHost {
public:
    void ShowStatus(const std::string&) override {}
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
    bool RunArchiveSettings(CArchiveSettings&) override { return false; }
    bool AskExportFileName(const std::string&, const std::string&, std::string&) override { return false; }
    void EnableExport(bool) override {}
    void SetBusy(bool) override {}
    void SortStarted() override {}
    void PostSortDone() override {}
    void SortFinished() override {}
    void OpenReport(const std::string&) override {}
    void Pause(std::chrono::milliseconds) override {}
};
