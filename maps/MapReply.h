// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace tarvex::maps {

constexpr int kMapCells = 256;

// The cells of a map reply in cell-number order (row by row), or nothing
// when the reply is too short to be one (200 characters or fewer).
// Values longer than three characters show as "00"; cells after the last
// comma are empty.
std::optional<QStringList> parseMapReply(const QByteArray &reply);

// The number a map cell names: 16 × row + column + 1.
constexpr int cellNumber(int column, int row)
{
    return 16 * row + column + 1;
}

// Backspace, carriage return and digits may be typed into a map cell.
bool isMapCellKey(QChar key);

} // namespace tarvex::maps
