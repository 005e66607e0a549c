#include "MessageBoxes.h"

#include "CatalogHost.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon IconOf(unsigned style) {
    switch (style & 0xF0u) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style) {
    const bool yesNo = (style & 0x0Fu) == MB_YESNO;
    QMessageBox box(IconOf(style), caption, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    if (yesNo) {
        box.setEscapeButton(QMessageBox::No);
    }
    const int answer = box.exec();
    if (!yesNo) {
        return IDOK;
    }
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}
