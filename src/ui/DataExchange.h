#pragma once

#include <QString>

#include <initializer_list>

class QAbstractButton;
class QLineEdit;
class QWidget;

// Copying between a dialog's members and its controls, with the rules of the
// dialogs' data exchange: `save` true reads the control into the member,
// false shows the member in the control.
namespace DataExchange {

// A check box: 0 clear, 1 ticked. A value other than 0 and 1 shows clear.
void Check(QAbstractButton* box, int& value, bool save);

// A group of radio buttons: the index of the selected one, -1 when none is.
// Showing a value that matches no button clears them all.
void Radio(std::initializer_list<QAbstractButton*> group, int& value, bool save);

// A whole decimal number in an edit field. Reading text that is not one (an
// empty field included) shows "Please enter an integer.", puts the focus on
// the field, leaves the member alone and returns false.
bool TextInt(QLineEdit* field, int& value, bool save);

// The number that a field's text holds: blanks around an optional sign and
// decimal digits, within the range of int.
bool ParseInteger(const QString& text, int& value);

} // namespace DataExchange
