// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace tarvex::link {

// Tells at once when a device name may have come back: the kernel reports
// every change in the folders on the name's way (inotify), so a replugged
// adapter is seen when udev makes its link, not at the next look.
class DeviceWatcher : public QObject {
public:
    explicit DeviceWatcher(QObject *parent = nullptr);

    // Watches these names until stop(); OnChange runs after every change in
    // their folders.
    void watch(const QStringList &names);
    void stop();
    bool watching() const { return !m_names.isEmpty(); }
    QStringList folders() const { return m_fs.directories(); }
    // Runs OnChange once more after `ms`: a device that was there but not
    // ready yet (udev still setting its group, a prober holding it).
    void lookAgainIn(int ms);

    std::function<void()> OnChange;

    // The folder to watch for a name: the nearest one on its way that
    // exists (/dev/serial/by-id goes when the last adapter does).
    static QString folderFor(const QString &name);

private:
    void changed();
    void rewatch();

    QFileSystemWatcher m_fs;
    QTimer m_again;
    QStringList m_names;
};

} // namespace tarvex::link
