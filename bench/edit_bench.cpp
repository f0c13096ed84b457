// SPDX-License-Identifier: GPL-3.0-or-later
// An operation over a block of fuel cells against the simulator pacing the
// line at 57600 baud, against the protocol's floor: each cell's waits as
// Enter makes them (30 + 50 + 50 ms, its frame on the line meanwhile), then
// the map read back to check every cell (400 + 400 ms).
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "bench/ProtocolFloor.h"
#include "link/CommandTable.h"
#include "widgets/MapGrid.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
// Counts the grid's paints while the batch runs.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

int main(int argc, char **argv)
{
    using namespace tarvex;
    bench::useOffscreen();
    QApplication application(argc, argv);
    const int cells = std::clamp(argc > 1 ? atoi(argv[1]) : 256, 1, 256);

    QTemporaryDir dir;
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    sim::Simulator simulator(options); // paced at 57600 baud
    simulator.start();

    auto dialogs = std::make_shared<bench::QuietDialogs>();
    dialogs->number = 777; // a value the simulator's map does not hold
    app::TTarvexMainForm form(bench::simulatorServices(dir, options, dialogs));
    form.show();
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.PageControl1->setCurrentIndex(1); // shows the page, which reads the map
    // A reply cut short on a busy machine leaves the map not known: read again.
    for (int read = 0; read < 5 && !form.MapState(0).known(); ++read)
        form.Guarded([&] { form.InjRefreshButtonClick(); });
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(); // the window on the screen before the batch
    if (!form.MapState(0).known()) {
        std::fprintf(stderr, "the fuel map could not be read\n");
        return 1;
    }
    form.InjEditCheck->setChecked(true);
    const int rows = (cells + 15) / 16;
    form.InjGrid->setRangeSelected(QTableWidgetSelectionRange(0, 0, rows - 1, std::min(cells, 16) - 1), true);
    PaintCounter counter;
    form.InjGrid->viewport()->installEventFilter(&counter);

    QElapsedTimer timer;
    timer.start();
    form.Guarded([&] { form.MapOperationClick(0, app::TTarvexMainForm::MapOperation::SetValue); });
    const double seconds = double(timer.elapsed()) / 1000.0;
    simulator.stop();

    const int selected = rows * std::min(cells, 16);
    bench::ProtocolFloor floor;
    std::vector<qsizetype> frames;
    for (int n = 1; n <= selected; ++n)
        frames.push_back(link::cellWriteFrame(link::CommandId::FuelCellWrite, n, "777").size());
    floor.addExchanges(link::CommandId::FuelCellWrite, QStringLiteral("cell write"), frames);
    // More than one cell: the map is read back, its reply inside the wait.
    if (selected > 1) {
        qsizetype reply = 2;
        for (const QString &cell : form.InjGrid->Cells())
            reply += cell.size() + 1;
        floor.addExchanges(link::CommandId::FuelRead, QStringLiteral("read-back"),
                           {link::command(link::CommandId::FuelRead).frame.size()}, reply);
    }
    std::printf("%d grid repaints during the batch of %d cells\n", counter.paints, selected);
    bench::printFigure(QStringLiteral("edit.%1").arg(selected),
                       QStringLiteral("%1 s against a floor of %2: %3 %")
                           .arg(seconds, 0, 'f', 2)
                           .arg(floor.sum(), bench::signedPercent(seconds, floor.seconds())));
    // Every cell landed: no message about the read-back.
    return dialogs->messages == 0 && counter.paints >= selected ? 0 : 1;
}
