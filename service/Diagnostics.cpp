// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/Diagnostics.h"
#include "link/Protocol.h"

#include <array>

namespace tarvex::service {

namespace {
// Spelling as the ECU's maker wrote it.
const std::array<const char *, 14> kFaultMessages = {
    "Ошибок не обнаружено!",
    "Напряжение питания ниже 8 Вольт, возможно неисправность генератора",
    "Напряжение питания выше 15 Вольт, возможно неисправность генератора",
    "Обрыв датчика температуры охлаждающей жидкости",
    "Замыкание на массу датчика температуры охлаждающей жидкоти",
    "Недостоверный сигнал датчика Холла",
    "Завышенное напряжение с лямбда-зонда, возможно замыкание подогрева с сигналом",
    "Завышенное напряжение или замыкание на плюс сигнала датчика абсолютного давления",
    "Обрыв или замыкание на массу сигнала датчика абсолютного давления",
    "Замыкание сигнала датчика температуры воздуха",
    "Обрыв датчика температуры воздуха",
    "Повреждены данные в топливной карте",
    "Повреждены данные в карте зажигания",
    "Ошибка датчика фазы распредвала",
};
} // namespace

std::optional<QString> faultMessage(int code)
{
    if (code < 0 || code >= int(kFaultMessages.size()))
        return std::nullopt;
    return QString::fromUtf8(kFaultMessages[size_t(code)]);
}

std::optional<InstallDate> parseInstallDate(const QByteArray &reply)
{
    if (!link::hasBrackets(reply))
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    const char tags[3] = {'D', 'M', 'Y'};
    for (int i = 0; i < 3; ++i) {
        const QByteArray value = link::taggedField(reply, tags[i]);
        if (!value.isEmpty())
            parts[i] = link::strToInt(value);
    }
    InstallDate date;
    date.text = QStringLiteral("%1.%2.%3").arg(parts[0]).arg(parts[1]).arg(parts[2]);
    date.complete = parts[0] != 0 && parts[1] != 0 && parts[2] != 0;
    return date;
}

} // namespace tarvex::service
