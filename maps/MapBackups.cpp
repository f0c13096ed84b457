// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapBackups.h"
#include "maps/MapFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

namespace tarvex::maps {

namespace {
const char kSideHeader[] = "tarvex backup 1";

// The words of the side file, in the order of BackupSource.
const char *const kSourceWords[] = {"unknown", "first-read", "file-load", "template", "store", "reconnect", "map-editor"};

struct Side {
    BackupSource source = BackupSource::Unknown;
    QString note;
};

Side readSide(const QString &copyPath)
{
    Side side;
    QFile file(backupSidePath(copyPath));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return side;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != kSideHeader)
        return side;
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1String("source "))) {
            const QString word = line.mid(7);
            for (size_t i = 0; i < std::size(kSourceWords); ++i)
                if (word == QLatin1String(kSourceWords[i]))
                    side.source = BackupSource(i);
        } else if (line.startsWith(QLatin1String("note "))) {
            side.note = line.mid(5);
        }
    }
    return side;
}

QString writeSide(const QString &copyPath, const Side &side)
{
    QByteArray text = QByteArray(kSideHeader) + "\r\nsource " + kSourceWords[size_t(side.source)] + "\r\n";
    QString note = side.note;
    note.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral(" "));
    if (!note.trimmed().isEmpty())
        text += "note " + note.trimmed().toUtf8() + "\r\n";
    QSaveFile file(backupSidePath(copyPath));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(text);
    return file.commit() ? QString() : file.errorString();
}

// "08-12-26_09-30-00" and a count of copies within that second; the file's
// time for a name of another form.
std::pair<QDateTime, int> copyTime(const QFileInfo &file)
{
    static const QRegularExpression name(
        QStringLiteral("^(\\d\\d)-(\\d\\d)-(\\d\\d)_(\\d\\d)-(\\d\\d)-(\\d\\d)(?:_(\\d+))?$"));
    const QRegularExpressionMatch m = name.match(file.completeBaseName());
    if (m.hasMatch()) {
        auto part = [&m](int i) { return m.captured(i).toInt(); };
        const QDateTime time(QDate(2000 + part(3), part(2), part(1)), QTime(part(4), part(5), part(6)));
        if (time.isValid())
            return {time, m.captured(7).isEmpty() ? 1 : part(7)};
    }
    return {file.lastModified(), 0};
}
} // namespace

QString backupSidePath(const QString &copyPath)
{
    return copyPath + QStringLiteral(".note");
}

QString writeBackup(const QString &path, const QStringList &cells, BackupSource source)
{
    if (const QString error = writeMapFile(path, cells); !error.isEmpty())
        return error;
    return writeSide(path, Side{source, QString()});
}

std::vector<BackupEntry> listBackups(const QString &folder)
{
    struct Found {
        BackupEntry entry;
        int count;
    };
    std::vector<Found> found;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.inj"), QStringLiteral("*.ign")}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        const auto [time, count] = copyTime(file);
        const Side side = readSide(file.filePath());
        found.push_back({BackupEntry{file.filePath(), time,
                                     file.suffix() == QLatin1String("ign") ? MapPage::Ignition : MapPage::Fuel,
                                     side.source, side.note},
                         count});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return std::tie(a.entry.time, a.count) > std::tie(b.entry.time, b.count);
    });
    std::vector<BackupEntry> entries;
    for (Found &f : found)
        entries.push_back(std::move(f.entry));
    return entries;
}

QString setBackupNote(const QString &copyPath, const QString &note)
{
    Side side = readSide(copyPath);
    side.note = note;
    return writeSide(copyPath, side);
}

} // namespace tarvex::maps
