// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarvex::service {

// The message of a stored fault code, 0 to 13; none for any other code.
std::optional<QString> faultMessage(int code);

struct InstallDate {
    QString text;      // "d.m.y" without leading zeros
    bool complete = false; // day, month and year all non-zero
};

// The installation date of a "<Y>" reply; none without both brackets.
// A field that is not a whole number raises the conversion error.
std::optional<InstallDate> parseInstallDate(const QByteArray &reply);

} // namespace tarvex::service
