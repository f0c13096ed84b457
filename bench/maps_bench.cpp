// SPDX-License-Identifier: GPL-3.0-or-later
// One map reply parsed into a grid and the grid painted in full: the work
// of every map read and of every autotune refresh.
#include "maps/ColorValue.h"
#include "maps/SettingsFile.h"
#include "maps/CellColors.h"
#include "widgets/MapGrid.h"
#include "maps/MapReply.h"
#include "widgets/MapSurface.h"
#include "maps/WorkingTrail.h"

#include <QPainter>

#include <QApplication>
#include <QPixmap>
#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

using namespace tarvex;

static QByteArray reply()
{
    QByteArray out = "[";
    for (int i = 0; i < 256; ++i)
        out += QByteArray::number((i * 37) % 640) + ',';
    return out + ']';
}

static void BM_ParseMapReply(benchmark::State &state)
{
    const QByteArray text = reply();
    for (auto _ : state)
        benchmark::DoNotOptimize(maps::parseMapReply(text));
}
BENCHMARK(BM_ParseMapReply);

static void paintLikeTheFuelPage(widgets::TMapGrid &grid)
{
    grid.SetTextColor(Qt::red);
    grid.CellFill = [&grid](const QString &text) -> std::optional<QColor> {
        const std::optional<int> band = maps::fuelBand(maps::paintValue(text));
        if (!band)
            return std::nullopt;
        return maps::colorFromValue(maps::defaultBandColors()[size_t(*band - 1)], grid.palette());
    };
}

static void BM_ParseAndRepaintFuelGrid(benchmark::State &state)
{
    widgets::TMapGrid grid;
    paintLikeTheFuelPage(grid);
    grid.show();
    const QByteArray text = reply();
    QPixmap target(grid.size());
    for (auto _ : state) {
        grid.SetCells(*maps::parseMapReply(text));
        grid.render(&target);
    }
}
BENCHMARK(BM_ParseAndRepaintFuelGrid)->Unit(benchmark::kMillisecond);

// What a live tick that moves the working point adds to the grid's paint:
// the trail of 25 points drawn over the cells.
static void BM_TrailPaint(benchmark::State &state)
{
    widgets::TMapGrid grid;
    maps::WorkingTrail trail;
    for (int i = 0; i < 40; ++i)
        trail.visit((i * 37) % 256);
    QImage target(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        maps::WorkingTrail::paint(painter, trail, [&grid](int cell) { return grid.CellRect(cell); });
    }
}
BENCHMARK(BM_TrailPaint)->Unit(benchmark::kMicrosecond);

// The surface window drawn again after one cell changed (640 × 480).
static void BM_SurfaceRedrawAfterACellChange(benchmark::State &state)
{
    widgets::TMapGrid grid;
    paintLikeTheFuelPage(grid);
    grid.SetCells(*maps::parseMapReply(reply()));
    widgets::TMapSurface surface(&grid);
    surface.resize(640, 480);
    QPixmap target(surface.size());
    int value = 0;
    for (auto _ : state) {
        grid.SetCell(5, 5, QString::number(value++ % 600));
        surface.render(&target);
    }
}
BENCHMARK(BM_SurfaceRedrawAfterACellChange)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return tarvex::bench::runBenchmarks(argc, argv);
}
