// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/ErrorText.h"

#include <QStringEncoder>

namespace tarvex::lang {

QString errorReportText(const QString &message)
{
    if (message.isEmpty())
        return message;
    QStringEncoder cp1251("windows-1251");
    const QByteArray last = cp1251.encode(message.right(1));
    // A character the code page lacks becomes "?", which sorts after ".".
    const unsigned char byte = last.isEmpty() ? '?' : static_cast<unsigned char>(last.back());
    return byte > '.' ? message + QLatin1Char('.') : message;
}

} // namespace tarvex::lang
