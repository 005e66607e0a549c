#pragma once

#include <QString>

class QWidget;

// Shows a message box the way the engine asks for one: the buttons and the
// icon that the style bits of CatalogHost.h name, the caption given and the
// text as plain text (a path is never read as markup). Returns IDOK, IDYES
// or IDNO; closing a Yes/No box without a button answers No.
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style);
