#pragma once

#include "CatalogEngine.h"

#include <string>

// The program's start-up: one copy at a time (a lock named after the title
// "Stowlist", whatever the executable is called), the settings file and the
// help file named after the executable, and the main window run until it
// closes. Needs a QApplication.
class CStowlistApp {
public:
    explicit CStowlistApp(std::string executablePath, CEngineTiming timing = {});

    // The program's visible life; returns its exit status. A second copy
    // shows "Stowlist Utility is already running!" and ends after OK,
    // without a window and without touching the first copy.
    int Run();

    const std::string& SettingsPath() const { return m_strSettingsPath; }
    const std::string& HelpPath() const { return m_strHelpPath; }

private:
    std::string m_strSettingsPath;
    std::string m_strHelpPath;
    CEngineTiming m_timing;
};
