// Seeing the maps: the working point's trail over the grids, the surface
// window, and the comparison with a map file or a kept copy.
#include "app/CompareWindow.h"
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "maps/MapCompare.h"
#include "maps/MapFile.h"
#include "widgets/MapGrid.h"
#include "widgets/MapSurface.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace tarvex::app {

void TTarvexMainForm::UpdateViewCaptions()
{
    const int language = LanguageIndex();
    for (int map = 0; map < 2; ++map) {
        MapActions &a = MapMenus[size_t(map)];
        a.surface->setText(lang::runTimeText(lang::Text::Menu3D, language));
        a.compare->setText(lang::runTimeText(lang::Text::MenuCompare, language));
        a.endCompare->setText(lang::runTimeText(lang::Text::MenuEndCompare, language));
        if (widgets::TMapSurface *surface = MapSurfaces[size_t(map)]) {
            surface->setWindowTitle(lang::runTimeText(lang::Text::SurfaceTitle, language).arg(lang::runTimeText(Page(map).table.name, language)));
            surface->SetCaptions(lang::runTimeText(lang::Text::SurfaceSpeedAxis, language),
                                 lang::runTimeText(lang::Text::SurfaceLoadAxis, language));
        }
        if (Page(map).session.comparison())
            RefreshComparison(map);
    }
}

void TTarvexMainForm::MapSurfaceClick(int map)
{
    if (!MapSurfaces[size_t(map)]) {
        auto *surface = new widgets::TMapSurface(Page(map).controls.grid, this);
        surface->setWindowFlag(Qt::Window);
        surface->setAttribute(Qt::WA_DeleteOnClose);
        surface->setObjectName(map == 0 ? QStringLiteral("InjSurface") : QStringLiteral("IgnSurface"));
        MapSurfaces[size_t(map)] = surface;
        UpdateViewCaptions();
    }
    widgets::TMapSurface *surface = MapSurfaces[size_t(map)];
    surface->SetWorkingPoint(m_trail.newest());
    surface->show();
    surface->raise();
}

void TTarvexMainForm::MapCompareClick(int map)
{
    // The page's map file dialog, starting among the kept copies; the file
    // checked as a load checks it.
    const QString folder = QDir(m_services.backupFolder).exists() ? m_services.backupFolder : QString();
    QString path;
    const std::optional<maps::MapFileRead> file = ChooseMapFile(map, folder, &path);
    if (!file)
        return;
    Page(map).session.compareWith(maps::Comparison{path, file->cells});
    Page(map).ShowStatus(LanguageIndex());
    MapCompareWindowShow(map);
}

void TTarvexMainForm::MapCompareWindowShow(int map)
{
    TCompareWindow *&window = CompareWindows[size_t(map)];
    if (!window) {
        window = new TCompareWindow(this);
        window->setObjectName(map == 0 ? QStringLiteral("InjCompareWindow") : QStringLiteral("IgnCompareWindow"));
        window->OnWrite = [this, map](const std::vector<int> &cells) { Guarded([&] { WriteFromFile(map, cells); }); };
        window->OnClose = [this, map] { Guarded([&] { EndComparison(map); }); };
    }
    ShowMap(map);
    window->show();
    window->raise();
}

void TTarvexMainForm::RefreshComparison(int map)
{
    // In place: the fitter's selection and the window's place stay.
    Page(map).ShowComparison(CompareWindows[size_t(map)], MapEditable(map), LanguageIndex());
}

void TTarvexMainForm::EndComparison(int map)
{
    if (!Page(map).session.comparison())
        return;
    Page(map).session.endComparison();
    ShowMap(map);
    if (TCompareWindow *window = CompareWindows[size_t(map)]; window && window->isVisible())
        window->hide();
}

void TTarvexMainForm::WriteFromFile(int map, const std::vector<int> &cells)
{
    const std::optional<maps::Comparison> &comparison = Page(map).session.comparison();
    if (!comparison || !MapEditable(map))
        return;
    std::vector<std::pair<int, QString>> writes;
    for (int cell : cells)
        writes.emplace_back(cell, comparison->cells.value(cell));
    SendPlan(map, Page(map).session.write(writes, maps::Source::Comparison));
}

} // namespace tarvex::app
