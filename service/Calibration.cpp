// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/Calibration.h"
#include "link/Exception.h"
#include "link/Protocol.h"

namespace tarvex::service {

int calibrationRowOfField(char field)
{
    // Rows top to bottom show A, B, F, C, D, E, G, H, I, J, K, L, M.
    static const char kRowFields[kCalibrationRows + 1] = "ABFCDEGHIJKLM";
    for (int row = 0; row < kCalibrationRows; ++row)
        if (kRowFields[row] == field)
            return row;
    return -1;
}

void decodeCalibration(const QByteArray &reply, const std::function<void(int row, const QString &text)> &show,
                       const QLocale &locale)
{
    if (!link::hasBrackets(reply))
        return;
    double warmUp = 0; // the warm-up intermediate: D leaves 1023 − D, E divides it
    auto number = [](const QByteArray &value) { return link::strToInt(value); };
    for (char field = 'A'; field <= 'M'; ++field) {
        const QByteArray value = link::taggedField(reply, field);
        if (value.isEmpty())
            continue;
        QString text;
        switch (field) {
        case 'D': {
            const int v = number(value);
            warmUp = 1023.0 - v;
            text = link::celsiusText(v);
            break;
        }
        case 'E': {
            warmUp -= 200;
            const int e = number(value);
            if (e == 0)
                throw Exception(warmUp == 0 ? QStringLiteral("Invalid floating point operation")
                                            : QStringLiteral("Floating point division by zero"));
            warmUp = warmUp / e + 1;
            text = locale.toString(warmUp, 'f', 2);
            break;
        }
        case 'F':
            text = link::celsiusText(link::fieldNumber(value));
            break;
        case 'G':
            text = locale.toString(number(value) / 33.5, 'f', 1) + QStringLiteral(" V");
            break;
        case 'H':
        case 'I':
            text = locale.toString(number(value) * 0.016, 'f', 2) + QStringLiteral(" Ms");
            break;
        default:
            text = link::fromCp1251(value);
            break;
        }
        show(calibrationRowOfField(field), text);
    }
}

} // namespace tarvex::service
