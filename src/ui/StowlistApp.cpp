#include "StowlistApp.h"

#include "FileLocations.h"
#include "HelpViewer.h"
#include "InstanceLock.h"
#include "MessageBoxes.h"
#include "StowlistDlg.h"
#include "UiText.h"

CStowlistApp::CStowlistApp(std::string executablePath, CEngineTiming timing)
    : m_strSettingsPath(FileLocations::SettingsFile(FileLocations::ExecutableName(executablePath))),
      m_strHelpPath(FileLocations::HelpFile(executablePath)), m_timing(timing) {}

int CStowlistApp::Run() {
    const CInstanceLock lock(FileLocations::LockFile(LoadString(IDS_APP_TITLE)));
    if (!lock.IsOnlyInstance()) {
        ShowMessageBox(nullptr, Text(IDS_ALREADY_RUNNING), Text(IDS_APP_TITLE), MB_ICONEXCLAMATION);
        return 0;
    }
    CSettingsStore store(m_strSettingsPath);
    CAppSettings settings(store);
    CHelpViewer help(PathToQString(m_strHelpPath));
    CStowlistDlg window(settings, help, CLocaleFormat::FromEnvironment(), m_timing);
    window.exec();
    return 0;
}
