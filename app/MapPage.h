// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lang/RunTimeTexts.h"
#include "link/CommandTable.h"
#include "maps/MapSession.h"

#include <QSet>
#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QTabWidget;

namespace tarvex::widgets {
class TMapGrid;
}

namespace tarvex::app {

class TCompareWindow;

// What differs between the two map pages: frames, texts and file dialogs.
struct MapPageTable {
    maps::MapPage kind;
    int tab; // the page's index in PageControl1
    link::CommandId read, store, cellWrite, fileCellWrite, templateLoad;
    lang::Text name, unstoredQuestion;
    const char *extension; // of its files and backups
    const char *saveDescription, *openDescription, *pattern, *suffix, *savedMessage, *templateLoaded;
};
// Map 0 is the fuel map, 1 the ignition map.
const MapPageTable &mapPageTable(int map);

// One map page: its controls, its map's session, and how the page shows
// what the session knows: the grid, the typed cells, the status line, the
// tab's mark and the comparison.
class TMapPage {
public:
    struct Controls {
        widgets::TMapGrid *grid = nullptr;
        QCheckBox *edit = nullptr;
        QLabel *status = nullptr;
        QProgressBar *progress = nullptr;
        QTabWidget *tabs = nullptr; // none: no tab to mark
    };
    // A file-backed page edits a map file in place of the ECU's map.
    TMapPage(int map, Controls controls, bool fileBacked = false);

    const MapPageTable &table;
    const Controls controls;
    const bool fileBacked;
    maps::MapSession session;
    // Why the last change was refused, until the next one.
    std::function<QString(int language)> note;
    // How the map differs from the newest copy kept before this connection's,
    // and that copy.
    int backupDiffers = 0;
    QString backupEarlier;
    // The ECU's template replaced the map: its read is taken as it is.
    bool takeNextRead = false;
    // The maps kept as copies since the program started, by their content:
    // a store needs no copy of a map already kept.
    QSet<QByteArray> kept;

    void Show(int language);
    void ShowStatus(int language);
    // The comparison's marks on the grid and its list, in place.
    void ShowComparison(TCompareWindow *window, bool canWrite, int language);
    void NoteBackupDifference(const QString &folder, int language);
};

// "2 (row 1, 900: the ECU holds 40, not 45), …" for a message.
QString missingCellsText(const std::vector<maps::CellDifference> &missing, int language);

} // namespace tarvex::app
