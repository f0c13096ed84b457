// SPDX-License-Identifier: GPL-3.0-or-later
// The connected window against the simulator for a while: the spacing of
// its requests (from the simulator's transcript) and its CPU use.
// "--log-writer-ms N": logging all the while to a disk that takes N ms to
// sync each batch of lines; the spacing must not change.
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "link/PosixSerialSystem.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/resource.h>
#include <chrono>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const int writerMs = argc > 3 && QLatin1String(argv[2]) == QLatin1String("--log-writer-ms") ? atoi(argv[3]) : -1;

    QTemporaryDir dir;
    tarvex::sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.transcriptFile = dir.filePath(QStringLiteral("transcript.txt")).toStdString();
    // The simulator runs in this process: its thread's time is counted apart.
    tarvex::sim::Simulator simulator(options);
    simulator.start();

    tarvex::app::FormServices services = tarvex::bench::simulatorServices(dir, options);
    if (writerMs >= 0)
        services.logSync = [writerMs](int fd) {
            std::this_thread::sleep_for(std::chrono::milliseconds(writerMs)); // a slow USB stick
            return fdatasync(fd) == 0 ? 0 : errno;
        };
    tarvex::app::TTarvexMainForm form(services);
    form.show();
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    if (!form.BComPort1->Connected()) {
        std::fprintf(stderr, "could not connect to the simulator\n");
        return 1;
    }
    if (writerMs >= 0)
        form.Guarded([&] { form.LogButtonClick(); });
    const double cpuStart = cpuSeconds();
    QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
    application.exec();
    const double cpuUsed = cpuSeconds() - cpuStart;
    form.Guarded([&] { form.ComDisconnectButtonClick(); });
    simulator.stop();

    QFile transcript(QString::fromStdString(options.transcriptFile));
    transcript.open(QIODevice::ReadOnly);
    std::vector<double> times;
    std::vector<double> sameKind;
    double lastG = -1, lastH = -1;
    for (const QByteArray &line : transcript.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() < 3 || parts[1] != "RX")
            continue;
        const double t = parts[0].toDouble();
        double &last = parts[2].startsWith("<G>") ? lastG : lastH;
        if (!parts[2].startsWith("<G>") && !parts[2].startsWith("<H>"))
            continue;
        times.push_back(t);
        if (last >= 0)
            sameKind.push_back(t - last);
        last = t;
    }
    std::vector<double> spacing;
    for (size_t i = 1; i < times.size(); ++i)
        spacing.push_back(times[i] - times[i - 1]);
    std::printf("requests: %zu in %d s\n", times.size(), seconds);
    const QString key = writerMs >= 0 ? QStringLiteral("cadence.slow-log") : QStringLiteral("cadence");
    QString spacingText = QStringLiteral("successive requests: median %1 ms, 95th percentile %2 ms; the same request: "
                                         "median %3 ms, 95th percentile %4 ms")
                              .arg(percentile(spacing, 0.5), 0, 'f', 1)
                              .arg(percentile(spacing, 0.95), 0, 'f', 1)
                              .arg(percentile(sameKind, 0.5), 0, 'f', 1)
                              .arg(percentile(sameKind, 0.95), 0, 'f', 1);
    if (writerMs >= 0) {
        qsizetype lines = 0;
        for (const QString &name : QDir(dir.path()).entryList({QStringLiteral("*.log")})) {
            QFile log(dir.filePath(name));
            log.open(QIODevice::ReadOnly);
            lines += log.readAll().count('\n');
        }
        spacingText += QStringLiteral("; %1 log lines in %2 s").arg(lines).arg(seconds);
    }
    tarvex::bench::printFigure(key, spacingText);
    tarvex::bench::printFigure(key + QStringLiteral(".cpu"), QStringLiteral("%1 % of one core")
                                                                 .arg(100.0 * cpuUsed / seconds, 0, 'f', 1));
    // A tick that waited for the disk would space the requests by its sync.
    return spacing.empty() || percentile(spacing, 0.5) > 110 ? 1 : 0;
}
