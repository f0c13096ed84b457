#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex {

// Replies, frames and files are 8-bit text in code page 1251.
QString fromCp1251(const QByteArray &bytes);
QByteArray toCp1251(const QString &text);

} // namespace tarvex
