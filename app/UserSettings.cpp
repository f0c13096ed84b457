// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UserSettings.h"
#include "lang/RememberedLanguage.h"

#include <QSettings>

namespace tarvex::app {

namespace {
const char kPort[] = "port";
const char kWorkshopName[] = "workshop/name";
const char kWorkshopAddress[] = "workshop/address";
const char kWorkshopPhone[] = "workshop/phone";
} // namespace

UserSettings readUserSettings(const QString &path)
{
    UserSettings settings;
    if (path.isEmpty())
        return settings;
    const QSettings file(path, QSettings::IniFormat);
    settings.port = file.value(QLatin1String(kPort)).toString();
    settings.language = lang::rememberedLanguage(file);
    return settings;
}

bool writeUserSettings(const QString &path, const UserSettings &settings)
{
    if (path.isEmpty())
        return true;
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QLatin1String(kPort), settings.port);
    lang::rememberLanguage(file, settings.language);
    file.sync();
    return file.status() == QSettings::NoError;
}

service::Workshop readWorkshop(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QSettings file(path, QSettings::IniFormat);
    return {file.value(QLatin1String(kWorkshopName)).toString(), file.value(QLatin1String(kWorkshopAddress)).toString(),
            file.value(QLatin1String(kWorkshopPhone)).toString()};
}

bool writeWorkshop(const QString &path, const service::Workshop &workshop)
{
    if (path.isEmpty())
        return true;
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QLatin1String(kWorkshopName), workshop.name);
    file.setValue(QLatin1String(kWorkshopAddress), workshop.address);
    file.setValue(QLatin1String(kWorkshopPhone), workshop.phone);
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace tarvex::app
