#include "AppIcon.h"
#include "FileLocations.h"
#include "StowlistApp.h"

#include <QApplication>

#include <clocale>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Qt takes the user's locale for the C library; numbers in printf-style
    // formats stay plain. Report texts take the locale through the engine.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(StowlistIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.stowlist.Stowlist"));
    return CStowlistApp(FileLocations::ExecutablePath()).Run();
}
