// SPDX-License-Identifier: GPL-3.0-or-later
// A firmware upload to the simulator pacing both directions at 57600 baud,
// against the protocol's floor: the engine stopped and the handler's wait
// before the handshake, then each block and its ACK on the line (the first
// look for the ACK falls within) and the pause after it.
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "bench/ProtocolFloor.h"
#include "link/PosixSerialSystem.h"
#include "service/FirmwareLoader.h"
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

    using tarvex::bench::lineMs;
    const tarvex::service::FirmwareLoader::Limits limits;
    const int blocks = (bytes + tarvex::service::kFirmwareBlockData - 1) / tarvex::service::kFirmwareBlockData;
    const int blockBytes = int(tarvex::service::firmwareBlock(1, QByteArray()).size());
    tarvex::bench::ProtocolFloor floor;
    floor.addExchanges(tarvex::link::CommandId::EngineStop, QStringLiteral("stop the engine"), {4});
    floor.add(300, QStringLiteral("the handler's wait: 300 ms"));
    // "{" out, its echo and the NAK back, all within the loader's first 1 ms pace.
    floor.add(std::max(1.0, lineMs(3)), QStringLiteral("handshake: 1 ms, 3 bytes' %1 ms on the line within")
                                            .arg(lineMs(3), 0, 'f', 1));
    const double block = std::max(double(limits.firstLookMs), lineMs(blockBytes + 1));
    floor.add(block + limits.pauseMs,
              QStringLiteral("block: %1 bytes and the ACK on the line, %2 ms, the %3 ms first look within + pause: %4 ms")
                  .arg(blockBytes)
                  .arg(block, 0, 'f', 1)
                  .arg(limits.firstLookMs)
                  .arg(limits.pauseMs),
              blocks);
    tarvex::bench::printFigure(QStringLiteral("firmware"),
                               QStringLiteral("%1 bytes, %2 blocks: %3 s against a floor of %4: %5 %")
                                   .arg(bytes)
                                   .arg(blocks)
                                   .arg(seconds, 0, 'f', 2)
                                   .arg(floor.sum(), tarvex::bench::signedPercent(seconds, floor.seconds())));
    std::printf("outcome: %s\n", qPrintable(dialogs->last));
    return dialogs->last.contains(QStringLiteral("завершено")) ? 0 : 1;
}
