#include "DataExchange.h"

#include "CatalogHost.h"
#include "MessageBoxes.h"
#include "UiText.h"

#include <QAbstractButton>
#include <QLineEdit>

#include <charconv>
#include <limits>

namespace DataExchange {

void Check(QAbstractButton* box, int& value, bool save) {
    if (save) {
        value = box->isChecked() ? 1 : 0;
    } else {
        box->setChecked(value == 1);
    }
}

void Radio(std::initializer_list<QAbstractButton*> group, int& value, bool save) {
    if (save) {
        value = -1;
        int index = 0;
        for (QAbstractButton* button : group) {
            if (button->isChecked()) {
                value = index;
                break;
            }
            ++index;
        }
        return;
    }
    int index = 0;
    for (QAbstractButton* button : group) {
        // An exclusive button cannot be cleared while it is exclusive.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(index == value);
        button->setAutoExclusive(exclusive);
        ++index;
    }
}

bool ParseInteger(const QString& text, int& value) {
    const QByteArray bytes = text.trimmed().toUtf8();
    const char* first = bytes.constData();
    const char* const last = first + bytes.size();
    if (first != last && *first == '+') {
        ++first; // from_chars takes "-" but not "+"
    }
    if (first == last || (*first == '-' && first != bytes.constData())) {
        return false;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) {
        return false;
    }
    value = number;
    return true;
}

bool TextInt(QLineEdit* field, int& value, bool save) {
    if (!save) {
        field->setText(QString::number(value));
        return true;
    }
    if (ParseInteger(field->text(), value)) {
        return true;
    }
    ShowMessageBox(field->window(), Text(IDS_ENTER_INTEGER), Text(IDS_APP_TITLE), MB_ICONEXCLAMATION);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

} // namespace DataExchange
