#pragma once

#include "StringTable.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

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

// The text of an entry with each "%s" in turn replaced by the next value.
inline QString Filled(int id, const QStringList& values) {
    QString text = Text(id);
    qsizetype from = 0;
    for (const QString& value : values) {
        const qsizetype at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0) {
            break;
        }
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}
