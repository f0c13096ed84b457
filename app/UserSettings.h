// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/ServiceReport.h"

#include <QString>

namespace tarvex::app {

// What the window remembers between starts in the user's configuration
// folder (tarvex.ini keeps only its colours): the last port connected to
// and the interface language (the language box's index, 0 or 1).
struct UserSettings {
    QString port;
    int language = 0;
};

// In lang::userSettingsPath(), whose language the other programs start in.
UserSettings readUserSettings(const QString &path);
// False when it could not be written: the next start then forgets, which is
// not worth a message.
bool writeUserSettings(const QString &path, const UserSettings &settings);

// The workshop named on the service reports, in the same file; only its own
// keys are written.
service::Workshop readWorkshop(const QString &path);
bool writeWorkshop(const QString &path, const service::Workshop &workshop);

} // namespace tarvex::app
