// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapOperations.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace tarvex::maps {

// A map file: 256 lines, the cells row by row, each line ended by CR LF.
QByteArray mapFileContent(const QStringList &cells);

// Writes the cells afresh without ever leaving half a map behind; returns
// the error text, empty on success.
QString writeMapFile(const QString &path, const QStringList &cells);

struct MapFileRead {
    QStringList cells; // 256 on success
    QString error;     // what is wrong, in the interface language
};

// Reads and checks a whole map file before any of it is used: exactly 256
// lines (the last line break may be missing), each one to three digits with
// an optional minus sign before them. Any file is read only up to its limit.
// language: the language box's index.
MapFileRead readMapFile(const QString &path, int language);

// The same check, and every value inside the map's range: what a map page
// takes from a file.
MapFileRead readMapFile(const QString &path, const ValueRange &range, int language);

// The same check, the cells as numbers; none with the error when it fails.
std::optional<std::array<int, 256>> readMapValues(const QString &path, int language, QString *error);

} // namespace tarvex::maps
