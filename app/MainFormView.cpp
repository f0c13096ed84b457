// Seeing the maps: the working point's trail over the grids, the surface
// window, and the comparison with a map file or a kept copy.
#include "app/CompareWindow.h"
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
#include "maps/MapCompare.h"
#include "maps/MapFile.h"
#include "maps/MapGrid.h"
#include "maps/MapSurface.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace tarvex::app {

namespace {
const char *const kExtension[2] = {".inj", ".ign"};
constexpr Text kMapName[2] = {Text::MapNameFuel, Text::MapNameIgnition};
} // namespace

void TTarvexMainForm::UpdateViewCaptions()
{
    const int language = LanguageIndex();
    for (int map = 0; map < 2; ++map) {
        MapActions &a = MapMenus[size_t(map)];
        a.surface->setText(runTimeText(Text::Menu3D, language));
        a.compare->setText(runTimeText(Text::MenuCompare, language));
        a.endCompare->setText(runTimeText(Text::MenuEndCompare, language));
        if (maps::TMapSurface *surface = MapSurfaces[size_t(map)]) {
            surface->setWindowTitle(runTimeText(Text::SurfaceTitle, language).arg(runTimeText(kMapName[map], language)));
            surface->SetCaptions(runTimeText(Text::SurfaceSpeedAxis, language),
                                 runTimeText(Text::SurfaceLoadAxis, language));
        }
        if (m_maps[size_t(map)].comparison())
            RefreshComparison(map);
    }
}

void TTarvexMainForm::MapSurfaceClick(int map)
{
    if (!MapSurfaces[size_t(map)]) {
        auto *surface = new maps::TMapSurface(GridOf(map), this);
        surface->setWindowFlag(Qt::Window);
        surface->setAttribute(Qt::WA_DeleteOnClose);
        surface->setObjectName(map == 0 ? QStringLiteral("InjSurface") : QStringLiteral("IgnSurface"));
        MapSurfaces[size_t(map)] = surface;
        UpdateViewCaptions();
    }
    maps::TMapSurface *surface = MapSurfaces[size_t(map)];
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
    m_maps[size_t(map)].compareWith(maps::Comparison{path, file->cells});
    ShowPageStatus(map);
    MapCompareWindowShow(map);
}

void TTarvexMainForm::MapCompareWindowShow(int map)
{
    if (!CompareWindows[size_t(map)]) {
        auto *window = new TCompareWindow(this);
        window->setObjectName(map == 0 ? QStringLiteral("InjCompareWindow") : QStringLiteral("IgnCompareWindow"));
        window->OnWrite = [this, map](const std::vector<int> &cells) { Guarded([&] { WriteFromFile(map, cells); }); };
        window->OnClose = [this, map] { Guarded([&] { EndComparison(map); }); };
        CompareWindows[size_t(map)] = window;
    }
    RefreshComparison(map);
    CompareWindows[size_t(map)]->show();
    CompareWindows[size_t(map)]->raise();
}

void TTarvexMainForm::RefreshComparison(int map)
{
    const maps::MapSession &session = m_maps[size_t(map)];
    const std::optional<maps::Comparison> &comparison = session.comparison();
    if (!comparison)
        return;
    const std::vector<maps::CellDifference> differences = session.comparisonDifferences();
    std::map<int, QString> marks;
    for (const maps::CellDifference &d : differences)
        marks[d.cell] = d.file;
    GridOf(map)->SetMarks(std::move(marks));
    const int language = LanguageIndex();
    const QString source = comparison->path.isEmpty() ? runTimeText(Text::CompareWindowValues, language)
                                                      : QFileInfo(comparison->path).fileName();
    // In place: the fitter's selection and the window's place stay.
    if (TCompareWindow *window = CompareWindows[size_t(map)])
        window->Update(runTimeText(Text::CompareTitle, language).arg(runTimeText(kMapName[map], language), source),
                       differences, MapEditable(map), comparison->path.isEmpty(), language);
}

void TTarvexMainForm::EndComparison(int map)
{
    if (!m_maps[size_t(map)].comparison())
        return;
    m_maps[size_t(map)].endComparison();
    GridOf(map)->SetMarks({});
    ShowPageStatus(map);
    if (TCompareWindow *window = CompareWindows[size_t(map)]; window && window->isVisible())
        window->hide();
}

void TTarvexMainForm::WriteFromFile(int map, const std::vector<int> &cells)
{
    const std::optional<maps::Comparison> &comparison = m_maps[size_t(map)].comparison();
    if (!comparison || !MapEditable(map))
        return;
    std::vector<std::pair<int, QString>> writes;
    for (int cell : cells)
        writes.emplace_back(cell, comparison->cells.value(cell));
    SendPlan(map, m_maps[size_t(map)].write(writes, maps::Source::Comparison));
}

void TTarvexMainForm::NoteBackupDifference(int map)
{
    const maps::MapSession &session = m_maps[size_t(map)];
    const QString earlier =
        maps::newestMapFile(m_services.backupFolder, QLatin1String(kExtension[map]), session.lastBackup());
    m_backupNote[size_t(map)] = BackupNote{};
    if (earlier.isEmpty())
        return;
    const maps::MapFileRead file = maps::readMapFile(earlier, LanguageIndex());
    if (!file.error.isEmpty())
        return;
    const size_t differ = maps::mapDifferences(session.ecu(), file.cells).size();
    if (differ == 0)
        return;
    m_backupNote[size_t(map)] = BackupNote{runTimeText(Text::BackupDiffers, LanguageIndex()).arg(differ), earlier};
}

} // namespace tarvex::app
