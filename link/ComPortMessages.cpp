// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ComPortMessages.h"

#include <array>

namespace tarvex::link {

namespace {
const std::array<const char *, 15> kMessages = {
    "Попытка открыть несуществующий COM-порт",
    "Порт занят другой программой",
    "Ошибка записи в порт",
    "Ошибка чтения из порта",
    "Недопустимый параметр Async",
    "Ошибка функции PurgeComm",
    "Не удалось получить статус асинхронной операции",
    "Ошибка функции SetCommState",
    "Ошибка функции SetCommTimeouts",
    "Ошибка функции SetupComm",
    "Ошибка функции ClearCommError",
    "Ошибка функции GetCommModemStatus",
    "Ошибка функции EscapeCommFunction",
    "Нельзя менять свойство, пока порт открыт",
    "Ошибка обращения к системному реестру",
};
} // namespace

QString comPortMessage(int code)
{
    if (code < 1 || code > int(kMessages.size()))
        return QString();
    return QString::fromUtf8(kMessages[size_t(code - 1)]);
}

} // namespace tarvex::link
