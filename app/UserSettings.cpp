#include "app/UserSettings.h"

#include <QSettings>
#include <QStandardPaths>

namespace tarvex::app {

namespace {
const char kPort[] = "port";
const char kLanguage[] = "language";
const char kEnglish[] = "ENG";
const char kRussian[] = "RUS";
const char kWorkshopName[] = "workshop/name";
const char kWorkshopAddress[] = "workshop/address";
const char kWorkshopPhone[] = "workshop/phone";
} // namespace

QString defaultUserSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tarvex/tarvex.conf");
}

UserSettings readUserSettings(const QString &path)
{
    UserSettings settings;
    if (path.isEmpty())
        return settings;
    const QSettings file(path, QSettings::IniFormat);
    settings.port = file.value(QLatin1String(kPort)).toString();
    settings.language = file.value(QLatin1String(kLanguage)).toString() == QLatin1String(kEnglish) ? 1 : 0;
    return settings;
}

bool writeUserSettings(const QString &path, const UserSettings &settings)
{
    if (path.isEmpty())
        return true;
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QLatin1String(kPort), settings.port);
    file.setValue(QLatin1String(kLanguage), QLatin1String(settings.language == 1 ? kEnglish : kRussian));
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
