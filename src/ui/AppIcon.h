#pragma once

#include <QIcon>

// The application's icon (a listing sheet and a disc), in every size it has.
QIcon StowlistIcon();
