#pragma once

#include "CatalogEngine.h"
#include "FakeHost.h"
#include "TempTree.h"

#include <memory>
#include <string>
#include <vector>

// An engine over a settings file of its own, a fake front end and a real
// temporary tree, without any of the pauses meant for a person.
class CEngineFixture {
public:
    explicit CEngineFixture(const std::string& localeName = "C.UTF-8");

    // Writes an "Options" key of the settings file, as the Options dialog does.
    void SetOption(Option option, int value);
    void SetArchive(const std::string& key, const std::string& value);

    // Drops the paths (relative to the tree, "" for its root) and completes a
    // sort if one started.
    DropOutcome Drop(const std::vector<std::string>& relativePaths);
    DropOutcome DropAbsolute(const std::vector<std::string>& paths);

    // Exports to a file of the tree and returns its bytes.
    std::string Export(const std::string& relativeName = "report.txt");

    // The records of the session as "PATH|sub1;sub2|file1;file2" lines.
    std::vector<std::string> Records();

    CTempTree m_tree;
    CTempTree m_config;
    CSettingsStore m_store;
    CAppSettings m_settings;
    CFakeHost m_host;
    std::unique_ptr<CCatalogEngine> m_engine;
};
