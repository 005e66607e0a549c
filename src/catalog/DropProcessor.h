#pragma once

#include "CatalogEngine.h"

#include <memory>
#include <string>
#include <vector>

// One drop, from the first dropped path to the hand-over to the sort or the
// export. A first path ending in "/" makes a root drop (a mounted medium):
// each path is then walked as a whole, without a line of its own.
class CDropProcessor {
public:
    explicit CDropProcessor(CCatalogEngine& engine);

    DropOutcome Process(const std::vector<std::string>& paths);
    const std::string& PathNotFound() const { return m_strPathNotFound; }

private:
    // The record of the folder that holds the dropped items, made on first use.
    CFolderRecord* DropRecord(const std::string& droppedPath);
    void AppendLogLine(const std::string& droppedPath);
    DropOutcome StopEarly(DropOutcome outcome);

    CCatalogEngine& m_engine;
    CCatalogSession& m_session;
    CAppSettings& m_settings;
    ICatalogHost& m_host;
    CFolderRecord* m_pDropRecord = nullptr;
    std::string m_strPathNotFound;
};
