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
        if (m_comparison[size_t(map)])
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
    m_comparison[size_t(map)] = Comparison{path, file->cells};
    if (!CompareWindows[size_t(map)]) {
        auto *window = new TCompareWindow(this);
        window->setObjectName(map == 0 ? QStringLiteral("InjCompareWindow") : QStringLiteral("IgnCompareWindow"));
        window->OnWrite = [this, map](const std::vector<int> &cells) { Guarded([&] { WriteFromFile(map, cells); }); };
        window->OnClose = [this, map] { Guarded([&] { EndComparison(map); }); };
        CompareWindows[size_t(map)] = window;
    }
    RefreshComparison(map);
}

void TTarvexMainForm::RefreshComparison(int map)
{
    const std::optional<Comparison> &comparison = m_comparison[size_t(map)];
    if (!comparison)
        return;
    const std::vector<maps::CellDifference> differences =
        maps::mapDifferences(m_ecuCells[size_t(map)], comparison->cells);
    std::map<int, QString> marks;
    for (const maps::CellDifference &d : differences)
        marks[d.cell] = d.file;
    GridOf(map)->SetMarks(std::move(marks));
    const int language = LanguageIndex();
    QLabel *status = map == 0 ? InjWarningLabel : IgnWarningLabel;
    status->setText(runTimeText(Text::CompareCount, language).arg(differences.size()));
    status->setToolTip(comparison->file);
    CompareWindows[size_t(map)]->Show(runTimeText(Text::CompareTitle, language)
                                          .arg(runTimeText(kMapName[map], language),
                                               QFileInfo(comparison->file).fileName()),
                                      differences, MapEditable(map), language);
}

void TTarvexMainForm::EndComparison(int map)
{
    if (!m_comparison[size_t(map)])
        return;
    m_comparison[size_t(map)].reset();
    GridOf(map)->SetMarks({});
    QLabel *status = map == 0 ? InjWarningLabel : IgnWarningLabel;
    status->setText(QStringLiteral(" "));
    status->setToolTip(QString());
    if (TCompareWindow *window = CompareWindows[size_t(map)]; window && window->isVisible())
        window->hide();
}

void TTarvexMainForm::WriteFromFile(int map, const std::vector<int> &cells)
{
    const std::optional<Comparison> &comparison = m_comparison[size_t(map)];
    if (!comparison || !MapEditable(map))
        return;
    maps::EditStep writes;
    for (int cell : cells) {
        const QString &file = comparison->cells[cell];
        if (m_ecuCells[size_t(map)].value(cell) != file)
            writes.push_back(maps::CellChange{cell + 1, m_ecuCells[size_t(map)].value(cell), file});
    }
    maps::EditHistory &history = m_history[size_t(map)];
    WriteCells(map, writes, [&](size_t written) {
        history.record(maps::EditStep(writes.begin(), writes.begin() + long(written)));
    });
}

void TTarvexMainForm::NoteBackupDifference(int map)
{
    const QString earlier = maps::newestMapFile(m_services.backupFolder, QLatin1String(kExtension[map]),
                                                m_lastBackup[size_t(map)]);
    if (earlier.isEmpty())
        return;
    const maps::MapFileRead file = maps::readMapFile(earlier, LanguageIndex());
    if (!file.error.isEmpty())
        return;
    const size_t differ = maps::mapDifferences(m_ecuCells[size_t(map)], file.cells).size();
    if (differ == 0)
        return;
    QLabel *status = map == 0 ? InjWarningLabel : IgnWarningLabel;
    status->setText(runTimeText(Text::BackupDiffers, LanguageIndex()).arg(differ));
    status->setToolTip(earlier);
}

} // namespace tarvex::app
