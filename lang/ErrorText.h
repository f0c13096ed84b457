// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tarvex::lang {

// The text of the general error report: a full stop is added when the
// message's last character, as a code page 1251 byte, sorts after ".".
QString errorReportText(const QString &message);

} // namespace tarvex::lang
