#include "DataExchange.h"

#include "CatalogHost.h"
#include "MessageBoxes.h"
#include "UiText.h"

#include <QAbstractButton>
#include <QLineEdit>

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
    const QString trimmed = text.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < trimmed.size() && (trimmed[pos] == u'+' || trimmed[pos] == u'-')) {
        negative = trimmed[pos] == u'-';
        ++pos;
    }
    if (pos == trimmed.size()) {
        return false;
    }
    long long number = 0;
    for (; pos < trimmed.size(); ++pos) {
        const QChar c = trimmed[pos];
        if (c < u'0' || c > u'9') {
            return false;
        }
        number = number * 10 + (c.unicode() - u'0');
        if (number > static_cast<long long>(std::numeric_limits<int>::max()) + 1) {
            return false;
        }
    }
    if (negative) {
        number = -number;
    }
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min()) {
        return false;
    }
    value = static_cast<int>(number);
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
