// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapBackups.h"

#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvex::app {

// The copies of the maps kept in the backup folder, the newest first: when,
// which map, why it was kept, how many cells differ from what the ECU holds
// now, and the fitter's note, which is edited in place.
class THistoryWindow : public QWidget {
public:
    THistoryWindow(QString folder, QWidget *parent);

    // Lists the folder again. `ecu` holds each map (0 fuel, 1 ignition) as
    // the ECU holds it, none where the window does not know it.
    void Update(const std::array<std::optional<QStringList>, 2> &ecu, int language);
    void SetLanguage(int language);
    const std::vector<maps::BackupEntry> &Copies() const { return m_copies; }
    // The cells in which a listed copy differs from the ECU's map; none
    // when that map is not known.
    std::optional<int> Differences(int row) const;

    QLabel *Summary = nullptr;
    QTableWidget *List = nullptr;
    QPushButton *CompareButton = nullptr;
    QPushButton *CloseButton = nullptr;

    // The fitter chose a copy to see its differences and restore from it.
    std::function<void(const maps::BackupEntry &copy)> OnChoose;
    std::function<void(const maps::BackupEntry &copy, const QString &note)> OnNote;

private:
    void Fill();
    void Choose();

    QString m_folder;
    int m_language = 0;
    std::vector<maps::BackupEntry> m_copies;
    std::vector<std::optional<int>> m_differences;
    // Copies are never rewritten: each file is read once.
    std::map<QString, QStringList> m_read;
    bool m_filling = false;
};

} // namespace tarvex::app
