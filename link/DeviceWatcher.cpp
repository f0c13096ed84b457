// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DeviceWatcher.h"

#include <QDir>
#include <QFileInfo>

namespace tarvex::link {

DeviceWatcher::DeviceWatcher(QObject *parent) : QObject(parent)
{
    m_again.setSingleShot(true);
    connect(&m_fs, &QFileSystemWatcher::directoryChanged, this, &DeviceWatcher::changed);
    connect(&m_again, &QTimer::timeout, this, &DeviceWatcher::changed);
}

QString DeviceWatcher::folderFor(const QString &name)
{
    QDir dir = QFileInfo(name).absoluteDir();
    while (!dir.exists() && !dir.isRoot())
        dir.setPath(QFileInfo(dir.path()).absolutePath());
    return dir.path();
}

void DeviceWatcher::watch(const QStringList &names)
{
    m_names = names;
    rewatch();
}

void DeviceWatcher::stop()
{
    m_names.clear();
    m_again.stop();
    if (!m_fs.directories().isEmpty())
        m_fs.removePaths(m_fs.directories());
}

void DeviceWatcher::lookAgainIn(int ms)
{
    if (watching())
        m_again.start(ms);
}

void DeviceWatcher::rewatch()
{
    QStringList wanted;
    for (const QString &name : m_names)
        if (const QString folder = folderFor(name); !wanted.contains(folder))
            wanted << folder;
    QStringList gone;
    for (const QString &folder : m_fs.directories())
        if (!wanted.contains(folder))
            gone << folder;
    if (!gone.isEmpty())
        m_fs.removePaths(gone);
    QStringList added;
    for (const QString &folder : wanted)
        if (!m_fs.directories().contains(folder))
            added << folder;
    if (!added.isEmpty())
        m_fs.addPaths(added);
}

void DeviceWatcher::changed()
{
    if (!watching())
        return;
    // A folder on the way may have come (or gone): watch the nearest one
    // again before looking, so that nothing made meanwhile is missed.
    rewatch();
    if (OnChange)
        OnChange();
}

} // namespace tarvex::link
