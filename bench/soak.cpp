// SPDX-License-Identifier: GPL-3.0-or-later
// Live polling and every kind of operation against a simulator that
// misbehaves: nothing may crash or hang, a pulled cable is one error box,
// the window connects again afterwards and its memory stays flat.
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "link/PosixSerialSystem.h"
#include "widgets/MapGrid.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = statm.readAll().split(' ');
    return parts.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Result {
    double longestHandlerMs = 0;
    int boxes = 0;
    long rssFirstKb = 0;
    long rssLastKb = 0;
    bool reconnected = false;
};

enum class During { Polling, MapLoad, FirmwareLoad };

Result soak(const char *name, tarvex::sim::Options options, int seconds, During during)
{
    QTemporaryDir dir;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.imageFile = dir.filePath(QStringLiteral("image.bin")).toStdString();
    auto simulator = std::make_unique<tarvex::sim::Simulator>(options);
    simulator->start();

    auto dialogs = std::make_shared<tarvex::bench::QuietDialogs>();
    tarvex::app::FormServices services = tarvex::bench::simulatorServices(dir, options, dialogs);
    tarvex::app::TTarvexMainForm form(services);
    Result r;
    auto timed = [&](auto handler) {
        QElapsedTimer t;
        t.start();
        form.Guarded([&] { (form.*handler)(); });
        r.longestHandlerMs = std::max(r.longestHandlerMs, double(t.elapsed()));
    };
    using F = tarvex::app::TTarvexMainForm;
    timed(&F::ComSearchButtonClick);
    timed(&F::ComConnectButtonClick);

    if (during == During::MapLoad) {
        QFile map(dir.filePath(QStringLiteral("m.inj")));
        map.open(QIODevice::WriteOnly);
        for (int i = 0; i < 256; ++i)
            map.write("12\r\n");
        map.close();
        dialogs->file = map.fileName();
        timed(&F::InjFileReadButtonClick);
    } else if (during == During::FirmwareLoad) {
        QFile image(dir.filePath(QStringLiteral("fw.bin")));
        image.open(QIODevice::WriteOnly);
        image.write(QByteArray(60000, 'x'));
        image.close();
        dialogs->file = image.fileName();
        timed(&F::OpenFWButtonClick);
        timed(&F::LoadFWButtonClick);
    }

    const std::vector<void (F::*)()> operations = {
        &F::InjRefreshButtonClick, &F::IgnRefreshButtonClick, &F::Calibration_read_buttonClick,
        &F::DateReadButtonClick,   &F::FW_ReadButtonClick,    &F::LogButtonClick,
    };
    QElapsedTimer clock;
    clock.start();
    size_t next = 0;
    // With a cable to pull, only polling runs: its errors are what counts.
    const bool pressButtons = options.pullAfterS < 0;
    while (clock.elapsed() < seconds * 1000) {
        runFor(1000);
        if (pressButtons)
            timed(operations[next++ % operations.size()]);
        if (clock.elapsed() < 10000)
            r.rssFirstKb = std::max(r.rssFirstKb, residentKb());
        if (clock.elapsed() > (seconds - 10) * 1000)
            r.rssLastKb = std::max(r.rssLastKb, residentKb());
    }
    r.boxes = dialogs->messages;
    // The cable is back (or never went): disconnect and connect again.
    timed(&F::ComDisconnectButtonClick);
    if (!simulator->running()) {
        simulator->stop();
        options.pullAfterS = -1;
        simulator = std::make_unique<tarvex::sim::Simulator>(options);
        simulator->start();
        timed(&F::ComSearchButtonClick);
    }
    const int before = dialogs->messages;
    timed(&F::ComConnectButtonClick);
    r.reconnected = form.BComPort1->Connected() && dialogs->messages == before;
    timed(&F::ComDisconnectButtonClick);
    simulator->stop();
    // A row of the record: fault | longest handler | error boxes | memory | connects again.
    const char *longest = during == During::MapLoad        ? " (the load until the pull)"
                          : during == During::FirmwareLoad ? " (the upload until the pull)"
                                                           : "";
    tarvex::bench::printFigure(QStringLiteral("soak"), QStringLiteral("%1 | %2 ms%3 | %4 | %5 → %6 kB (%7 %) | %8")
                                                          .arg(QString::fromUtf8(name))
                                                          .arg(r.longestHandlerMs, 0, 'f', 0)
                                                          .arg(QLatin1String(longest))
                                                          .arg(r.boxes)
                                                          .arg(r.rssFirstKb)
                                                          .arg(r.rssLastKb)
                                                          .arg(tarvex::bench::signedPercent(double(r.rssLastKb),
                                                                                            double(r.rssFirstKb)))
                                                          .arg(QLatin1String(r.reconnected ? "yes" : "NO")));
    return r;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

template <typename F>
bool runUntil(F done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// The first frame the simulator received after a time, from its transcript.
double firstFrameAfter(const QString &transcript, const QByteArray &frame, double afterMs)
{
    QFile f(transcript);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    while (!f.atEnd()) {
        const QList<QByteArray> parts = f.readLine().trimmed().split(' ');
        if (parts.size() >= 3 && parts[1] == "RX" && parts[2].startsWith(frame) && parts[0].toDouble() > afterMs)
            return parts[0].toDouble();
    }
    return -1;
}

// AddressSanitizer keeps freed memory aside: the resident size then grows
// for its own reasons.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Spread {
    double median = -1;
    double longest = -1;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? Spread{} : Spread{v[v.size() / 2], v.back()};
}

// Cables pulled and plugged in again while polling: every one recovered by
// itself, one error box each, no descriptor or memory left behind; and how
// long from the port's return to the connect frame (after its 400 ms
// pre-wait) and to the first live-data request.
bool replugSoak(int cycles)
{
    QTemporaryDir dir;
    tarvex::sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.transcriptFile = dir.filePath(QStringLiteral("transcript.txt")).toStdString();
    options.replugAfterS = 0.5;
    tarvex::sim::Simulator simulator(options);
    simulator.start();
    auto dialogs = std::make_shared<tarvex::bench::QuietDialogs>();
    tarvex::app::TTarvexMainForm form(tarvex::bench::simulatorServices(dir, options, dialogs));
    form.Guarded([&] { form.ComSearchButtonClick(); });
    form.Guarded([&] { form.ComConnectButtonClick(); });
    runFor(1000);
    const int descriptorsBefore = openDescriptors();
    const long rssBefore = residentKb();
    std::vector<double> returns;
    std::vector<double> connectFrames;
    int recovered = 0;
    bool oneBoxEach = true;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const int boxes = dialogs->messages;
        simulator.pull();
        if (!runUntil([&] { return form.WaitingForAdapter(); }, 5000))
            break;
        if (!runUntil([&] { return !simulator.pulled(); }, 5000))
            break;
        if (!runUntil([&] { return form.BComPort1->Connected() && form.RefreshTimer->Enabled(); }, 5000))
            break;
        const double back = simulator.pluggedInAtMs();
        runFor(300); // a few live ticks
        ++recovered;
        oneBoxEach &= dialogs->messages == boxes + 1;
        const QString transcript = QString::fromStdString(options.transcriptFile);
        if (const double request = firstFrameAfter(transcript, "<G>", back); request > 0)
            returns.push_back(request - back);
        if (const double frame = firstFrameAfter(transcript, "<E>", back); frame > 0)
            connectFrames.push_back(frame - back);
    }
    runFor(500);
    const int descriptorsAfter = openDescriptors();
    const long rssAfter = residentKb();
    form.Guarded([&] { form.ComDisconnectButtonClick(); });
    simulator.stop();
    const Spread live = spread(returns);
    const Spread connect = spread(connectFrames);
    // A row of the record: pulls | recovered | boxes | descriptors | memory | to "<E>\r" | to the first request.
    tarvex::bench::printFigure(
        QStringLiteral("replug"),
        QStringLiteral("%1 | %2 | %3 | %4 → %5 | %6 → %7 kB (%8 %) | median %9 ms, longest %10 ms (of which the "
                       "400 ms pre-wait of \"<E>\\r\") | median %11 ms, longest %12 ms")
            .arg(cycles)
            .arg(recovered)
            .arg(QLatin1String(oneBoxEach ? "one a pull" : "NOT one a pull"))
            .arg(descriptorsBefore)
            .arg(descriptorsAfter)
            .arg(rssBefore)
            .arg(rssAfter)
            .arg(tarvex::bench::signedPercent(double(rssAfter), double(rssBefore)))
            .arg(connect.median, 0, 'f', 1)
            .arg(connect.longest, 0, 'f', 1)
            .arg(live.median, 0, 'f', 0)
            .arg(live.longest, 0, 'f', 0));
    return recovered == cycles && oneBoxEach && descriptorsAfter <= descriptorsBefore && live.longest > 0
        && live.longest < 1500 && connect.longest > 0 && connect.longest < 1000
        && (kSanitized || rssAfter <= rssBefore * 105 / 100);
}

} // namespace

int main(int argc, char **argv)
{
    tarvex::bench::useOffscreen();
    QApplication application(argc, argv);
    // "replug N": only the pulls and replugs, N of them.
    if (argc > 2 && QLatin1String(argv[1]) == QLatin1String("replug"))
        return replugSoak(std::max(1, atoi(argv[2]))) ? 0 : 1;
    const int seconds = argc > 1 ? std::max(12, atoi(argv[1])) : 60;
    bool ok = true;
    auto check = [&](const Result &r, int maxBoxes, double boundMs) {
        ok &= r.reconnected && r.boxes <= maxBoxes && r.longestHandlerMs < boundMs
            && r.rssLastKb <= r.rssFirstKb * 105 / 100;
    };
    tarvex::sim::Options base;
    tarvex::sim::Options o = base;
    o.garbage = true;
    check(soak("garbage replies", o, seconds, During::Polling), 0, 6000);
    o = base;
    o.cutAfter = 7;
    check(soak("replies cut after 7 bytes", o, seconds, During::Polling), 0, 6000);
    o = base;
    o.silent = true;
    check(soak("silent ECU", o, seconds, During::Polling), 0, 6000);
    o = base;
    o.delayMs = 80;
    check(soak("replies 80 ms late", o, seconds, During::Polling), 0, 6000);
    o = base;
    o.pullAfterS = 5;
    check(soak("cable pulled while polling", o, seconds, During::Polling), 1, 6000);
    o = base;
    o.pullAfterS = 10;
    check(soak("cable pulled during a map file load", o, seconds, During::MapLoad), 1, 40000);
    o = base;
    o.pullAfterS = 4;
    check(soak("cable pulled during a firmware upload", o, seconds, During::FirmwareLoad), 1, 40000);
    ok &= replugSoak(20);
    std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
    return ok ? 0 : 1;
}
