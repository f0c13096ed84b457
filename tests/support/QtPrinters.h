// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Readable Qt values in test failure messages.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"';
    for (char c : b) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\r')
            *os << "\\r";
        else if (u == '\n')
            *os << "\\n";
        else if (u < 0x20 || u >= 0x7F) {
            static const char *hex = "0123456789ABCDEF";
            *os << "\\x" << hex[u >> 4] << hex[u & 15];
        } else
            *os << c;
    }
    *os << '"';
}

// Bytes as a test's name shows them: quoted, control and 8-bit bytes as \xNN.
inline void PrintBytes(const char *bytes, std::ostream *os)
{
    PrintTo(QByteArray(bytes), os);
}

inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < l.size(); ++i) {
        if (i)
            *os << ", ";
        PrintTo(l[i], os);
    }
    *os << '}';
}
