// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tarvex::maps {

// A cell whose value differs between what the ECU holds and a map file.
struct CellDifference {
    int cell = 0; // 0 to 255
    QString ecu;
    QString file;
};

// Numbers compare by value ("007" is 7); anything else by its text.
bool sameCellValue(const QString &a, const QString &b);

// The cells that differ, in cell order, compared as sameCellValue does.
std::vector<CellDifference> mapDifferences(const QStringList &ecu, const QStringList &file);

// The newest map file with this extension (".inj", ".ign") in the folder, by
// the time it was written, leaving out `except`; empty when there is none.
QString newestMapFile(const QString &folder, const QString &extension, const QString &except = QString());

} // namespace tarvex::maps
