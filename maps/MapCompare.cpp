// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapCompare.h"
#include "link/Protocol.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::maps {

bool sameCellValue(const QString &a, const QString &b)
{
    const std::optional<int> x = link::tryStrToInt(a);
    const std::optional<int> y = link::tryStrToInt(b);
    return x && y ? *x == *y : a == b;
}

std::vector<CellDifference> mapDifferences(const QStringList &ecu, const QStringList &file)
{
    std::vector<CellDifference> out;
    for (int cell = 0; cell < 256; ++cell) {
        const QString a = ecu.value(cell);
        const QString b = file.value(cell);
        if (!sameCellValue(a, b))
            out.push_back(CellDifference{cell, a, b});
    }
    return out;
}

QString newestMapFile(const QString &folder, const QString &extension, const QString &except)
{
    const QFileInfoList files =
        QDir(folder).entryInfoList({QLatin1Char('*') + extension}, QDir::Files, QDir::Time);
    const QString skip = except.isEmpty() ? QString() : QFileInfo(except).absoluteFilePath();
    for (const QFileInfo &file : files)
        if (file.absoluteFilePath() != skip)
            return file.filePath();
    return QString();
}

} // namespace tarvex::maps
