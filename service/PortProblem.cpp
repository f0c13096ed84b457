// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/PortProblem.h"
#include "lang/RunTimeTexts.h"

namespace tarvex::service {

namespace {
// Programs that take a freshly plugged adapter for their own.
bool isProber(const QString &program)
{
    return program.compare(QLatin1String("ModemManager"), Qt::CaseInsensitive) == 0
        || program.startsWith(QLatin1String("brltty"), Qt::CaseInsensitive);
}
} // namespace

QString portProblemText(int error, const QString &device, const link::DeviceAccess &access,
                        const QList<link::DeviceHolder> &holders, int language)
{
    if (link::isPermissionError(error)) {
        if (access.group.isEmpty() || access.groupNow)
            return lang::runTimeText(lang::Text::PortNoPermissionUnknownGroup, language).arg(device);
        if (access.groupListed)
            return lang::runTimeText(lang::Text::PortNoPermissionLogInAgain, language).arg(device, access.group);
        return lang::runTimeText(lang::Text::PortNoPermission, language).arg(device, access.group, access.user);
    }
    if (!link::isBusyDeviceError(error))
        return QString();
    if (holders.isEmpty())
        return lang::runTimeText(lang::Text::PortHeldByUnknown, language).arg(device);
    QStringList names;
    QString prober;
    for (const link::DeviceHolder &holder : holders) {
        names << QStringLiteral("%1 (PID %2)").arg(holder.program).arg(holder.pid);
        if (prober.isEmpty() && isProber(holder.program))
            prober = holder.program;
    }
    QString text = lang::runTimeText(lang::Text::PortHeldBy, language).arg(device, names.join(QStringLiteral(", ")));
    if (!prober.isEmpty())
        text += QLatin1Char(' ') + lang::runTimeText(lang::Text::PortProberHint, language).arg(prober);
    return text;
}

} // namespace tarvex::service
