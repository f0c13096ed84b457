// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapSession.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarvex::maps {

// Why a copy of a map was kept. A copy without its side file (kept before
// sources were noted) is Unknown.
enum class BackupSource { Unknown, FirstRead, BeforeFileLoad, BeforeTemplate, BeforeStore, Reconnect, MapEditor };

// A kept copy: a map file named by the time it was kept
// ("08-12-26_09-30-00.inj", "…_2.inj" for a second in the same second), and
// beside it a small side file ("….inj.note") with its source and a note.
struct BackupEntry {
    QString path;
    QDateTime time;
    MapPage page = MapPage::Fuel;
    BackupSource source = BackupSource::Unknown;
    QString note;
};

QString backupSidePath(const QString &copyPath);

// Writes the map to `path` through the checked writer, then its side file;
// the error text, empty on success.
QString writeBackup(const QString &path, const QStringList &cells, BackupSource source);

// Every copy of either map in the folder, the newest first; copies from
// any day, also those without a side file.
std::vector<BackupEntry> listBackups(const QString &folder);

// Attaches a note (one line) to a copy; the error text, empty on success.
QString setBackupNote(const QString &copyPath, const QString &note);

} // namespace tarvex::maps
