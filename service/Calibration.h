// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Protocol.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <functional>

namespace tarvex::service {

constexpr int kCalibrationRows = 13;

// The page row (0 at the top) that shows a calibration field (A to M).
int calibrationRowOfField(char field);

// Shows the thirteen values of a "<a>" reply, field by field from A to M,
// through show(row, text). Nothing without both brackets; an empty field
// leaves its row alone. A field that fails to convert (D, E, G, H, I) or a
// division by zero in E raises, after the fields before it were shown.
void decodeCalibration(const QByteArray &reply, const std::function<void(int row, const QString &text)> &show,
                       const QLocale &locale = link::numberLocale());

} // namespace tarvex::service
