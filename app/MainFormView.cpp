// SPDX-License-Identifier: GPL-3.0-or-later
// Seeing the maps: the surface window, the comparison with a map file or a
// kept copy, and the history of the kept copies.
#include "app/CompareWindow.h"
#include "app/HistoryWindow.h"
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapBackups.h"
#include "widgets/MapGrid.h"
#include "widgets/MapSurface.h"

#include <QAction>

namespace tarvex::app {

void TTarvexMainForm::UpdateViewCaptions()
{
    for (int map = 0; map < 2; ++map) {
        MapEditor(map).UpdateCaptions();
        HistoryActions[size_t(map)]->setText(lang::runTimeText(lang::Text::MenuHistory, LanguageIndex()));
    }
    if (History)
        History->SetLanguage(LanguageIndex());
}

void TTarvexMainForm::MapSurfaceClick(int map)
{
    MapEditor(map).ShowSurface();
}

void TTarvexMainForm::MapCompareClick(int map)
{
    MapEditor(map).Compare();
}

void TTarvexMainForm::MapCompareWindowShow(int map)
{
    MapEditor(map).ShowCompareWindow();
}

void TTarvexMainForm::RefreshComparison(int map)
{
    MapEditor(map).RefreshComparison();
}

void TTarvexMainForm::EndComparison(int map)
{
    MapEditor(map).EndComparison();
}

void TTarvexMainForm::WriteFromFile(int map, const std::vector<int> &cells)
{
    MapEditor(map).WriteCompared(cells);
}

void TTarvexMainForm::ConnectHistoryHandlers()
{
    for (int map = 0; map < 2; ++map) {
        QAction *&action = HistoryActions[size_t(map)];
        action = new QAction(Page(map).controls.grid);
        connect(action, &QAction::triggered, this, [this] { Guarded([this] { MapHistoryClick(); }); });
    }
}

void TTarvexMainForm::MapHistoryClick()
{
    if (!History) {
        History = new THistoryWindow(m_services.backupFolder, this);
        History->OnChoose = [this](const maps::BackupEntry &copy) { Guarded([&] { CompareWithCopy(copy); }); };
        History->OnNote = [this](const maps::BackupEntry &copy, const QString &note) {
            Guarded([&] {
                if (const QString error = maps::setBackupNote(copy.path, note); !error.isEmpty())
                    throw Exception(error);
            });
        };
    }
    History->show();
    History->raise();
    RefreshHistory();
}

void TTarvexMainForm::RefreshHistory()
{
    if (!History || !History->isVisible())
        return;
    std::array<std::optional<QStringList>, 2> maps;
    for (int map = 0; map < 2; ++map)
        if (Page(map).session.known())
            maps[size_t(map)] = Page(map).session.ecu();
    History->Update(maps, LanguageIndex());
}

void TTarvexMainForm::CompareWithCopy(const maps::BackupEntry &copy)
{
    const int map = copy.page == maps::MapPage::Fuel ? 0 : 1;
    const maps::MapFileRead file = maps::readMapFile(copy.path, Page(map).session.range(), LanguageIndex());
    if (!file.error.isEmpty())
        throw Exception(file.error);
    MapEditor(map).CompareWith(maps::Comparison{copy.path, file.cells, maps::Source::Restore});
}

} // namespace tarvex::app
