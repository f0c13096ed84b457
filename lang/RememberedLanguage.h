// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;

namespace tarvex::lang {

// The user's settings of the package: ~/.config/tarvex/tarvex.conf, or where
// XDG_CONFIG_HOME says. The window remembers its language there, and every
// program of the package starts in it.
QString userSettingsPath();

// The language box's index remembered in `settings`: 1 English, 0 Russian,
// also when none is (or no file, or an empty path).
int rememberedLanguage(const QSettings &settings);
int rememberedLanguage(const QString &path);
void rememberLanguage(QSettings &settings, int languageIndex);

} // namespace tarvex::lang
