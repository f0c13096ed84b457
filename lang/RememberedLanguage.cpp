// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/RememberedLanguage.h"
#include "lang/RunTimeTexts.h"

#include <QSettings>
#include <QStandardPaths>

namespace tarvex::lang {

namespace {
const char kLanguage[] = "language";
const char kEnglish[] = "ENG";
const char kRussian[] = "RUS";
} // namespace

QString userSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tarvex/tarvex.conf");
}

int rememberedLanguage(const QSettings &settings)
{
    return settings.value(QLatin1String(kLanguage)).toString() == QLatin1String(kEnglish) ? 1 : 0;
}

int rememberedLanguage(const QString &path)
{
    return path.isEmpty() ? 0 : rememberedLanguage(QSettings(path, QSettings::IniFormat));
}

void rememberLanguage(QSettings &settings, int languageIndex)
{
    settings.setValue(QLatin1String(kLanguage), QLatin1String(englishTexts(languageIndex) ? kEnglish : kRussian));
}

} // namespace tarvex::lang
