#include "app/UserSettings.h"
#include "lang/RememberedLanguage.h"

#include <QSettings>

namespace tarvex::app {

namespace {
const char kPort[] = "port";
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

} // namespace tarvex::app
