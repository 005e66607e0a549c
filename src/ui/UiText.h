#pragma once

#include "StringTable.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

// Conversions between the engine's byte strings and Qt's text. Report and
// status texts are UTF-8; paths are the file system's bytes.
inline QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

inline QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

inline std::string PathFromQString(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A string-table entry as Qt text.
inline QString Text(int id) { return ToQString(LoadString(id)); }
