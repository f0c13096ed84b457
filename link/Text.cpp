#include "link/Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tarvex {

QString fromCp1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

QByteArray toCp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

} // namespace tarvex
