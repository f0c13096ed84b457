// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Exception.h"

namespace tarvex {

EConvertError invalidInteger(const QString &text)
{
    return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace tarvex
