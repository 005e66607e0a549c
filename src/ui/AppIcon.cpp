#include "AppIcon.h"

QIcon StowlistIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/stowlist-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
