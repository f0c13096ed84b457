// One map reply parsed into a grid and the grid painted in full: the work
// of every map read and of every autotune refresh.
#include "app/ColorValue.h"
#include "app/SettingsFile.h"
#include "maps/CellColors.h"
#include "maps/MapGrid.h"
#include "maps/MapReply.h"

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

static void BM_ParseAndRepaintFuelGrid(benchmark::State &state)
{
    maps::TMapGrid grid;
    grid.SetTextColor(Qt::red);
    const app::BandColors &bands = app::defaultBandColors();
    grid.CellFill = [&](const QString &text) -> std::optional<QColor> {
        const std::optional<int> band = maps::fuelBand(maps::paintValue(text));
        if (!band)
            return std::nullopt;
        return app::colorFromValue(bands[size_t(*band - 1)], grid.palette());
    };
    grid.show();
    const QByteArray text = reply();
    QPixmap target(grid.size());
    for (auto _ : state) {
        grid.SetCells(*maps::parseMapReply(text));
        grid.render(&target);
    }
}
BENCHMARK(BM_ParseAndRepaintFuelGrid)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return tarvex::bench::runBenchmarks(argc, argv);
}
