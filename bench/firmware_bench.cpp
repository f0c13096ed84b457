// A firmware upload to the simulator pacing both directions at 57600 baud,
// against the protocol's floor: each block's line time plus the 30 ms pause,
// plus the 400 ms before the handshake.
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "link/PosixSerialSystem.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>


int main(int argc, char **argv)
{
    tarvex::bench::useOffscreen();
    QApplication application(argc, argv);
    const int bytes = argc > 1 ? atoi(argv[1]) : 30000;

    QTemporaryDir dir;
    tarvex::sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.imageFile = dir.filePath(QStringLiteral("received.bin")).toStdString();
    tarvex::sim::Simulator simulator(options); // paced at 57600 baud
    simulator.start();

    const QString image = dir.filePath(QStringLiteral("fw.bin"));
    QFile f(image);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(bytes, char(0x5A)));
    f.close();

    auto dialogs = std::make_shared<tarvex::bench::QuietDialogs>();
    dialogs->file = image;
    tarvex::app::FormServices services = tarvex::bench::simulatorServices(dir, options, dialogs);
    tarvex::app::TTarvexMainForm form(services);
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    form.Guarded([&] { form.OpenFWButtonClick(); });
    QElapsedTimer timer;
    timer.start();
    form.Guarded([&] { form.LoadFWButtonClick(); });
    const double seconds = double(timer.elapsed()) / 1000.0;
    simulator.stop();

    const int blocks = (bytes + 127) / 128;
    const double lineMs = 132 * 10000.0 / 57600.0;
    const double floor = (blocks * (lineMs + 30.0) + 400.0) / 1000.0;
    std::printf("%d bytes, %d blocks: %.2f s; floor %.2f s; %+.1f %%\n", bytes, blocks, seconds, floor,
                100.0 * (seconds - floor) / floor);
    std::printf("outcome: %s\n", qPrintable(dialogs->last));
    return dialogs->last.contains(QStringLiteral("завершено")) ? 0 : 1;
}
