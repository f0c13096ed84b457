// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/SerialSystem.h"

#include <QList>
#include <QString>

namespace tarvex::service {

// What the fitter is told beside the serial component's message when a port
// cannot be opened: why, and what to do about it, in the language of the
// language box. Empty when there is nothing to add.
QString portProblemText(int error, const QString &device, const link::DeviceAccess &access,
                        const QList<link::DeviceHolder> &holders, int language);

} // namespace tarvex::service
