// SPDX-License-Identifier: GPL-3.0-or-later
// The live-data tick without its 50 ms wait (fake line, fake clock), and the
// two drawing paths of a dial gauge.
#include "app/LiveAnalysisWindow.h"
#include "app/MainForm.h"
#include "monitor/LiveAnalysis.h"
#include "widgets/AnalogGauge.h"
#include "widgets/MapGrid.h"
#include "monitor/LogAnalysis.h"
#include "logview/LogPlaybackView.h"
#include "logview/LogViewWindow.h"
#include "monitor/LogMapTrack.h"
#include "widgets/LogPlot.h"

#include <QCheckBox>
#include <QFile>
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/Helpers.h"

#include <QApplication>
#include <QTemporaryDir>
#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

using namespace tarvex;

namespace {

struct LiveWindow {
    QTemporaryDir dir;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<test::FakeSerialSystem> serial = std::make_shared<test::FakeSerialSystem>(clock);
    std::unique_ptr<app::TTarvexMainForm> form;

    explicit LiveWindow(bool logging = false)
    {
        app::FormServices s;
        s.serial = serial;
        s.clock = clock;
        s.dialogs = std::make_shared<bench::QuietDialogs>();
        s.settingsPath = dir.filePath(QStringLiteral("tarvex.ini"));
        s.logFolder = dir.path();
        serial->answer = [](const QByteArray &frame) -> QByteArray {
            if (frame == "<G>\r")
                return "[A850aB470bC500cD35dF200fG100gH520h]";
            if (frame == "<H>\r")
                return "[J35jK15kL120lM100mN101nO99oP250pR0rS40sT42tU1uV0vW0wX0xY1y]";
            return {};
        };
        form = std::make_unique<app::TTarvexMainForm>(s);
        form->show();
        form->Guarded([&] { form->ComConnectButtonClick(); });
        if (logging)
            form->Guarded([&] { form->LogButtonClick(); });
    }
};

// Times the tick that sends the wanted request, the other one untimed.
void timeTicks(benchmark::State &state, LiveWindow &w, bool sensor)
{
    for (auto _ : state) {
        state.PauseTiming();
        // Line the poll phase up so the timed tick sends the wanted request.
        if (w.form->PollPhase() != !sensor)
            w.form->RefreshTimerTimer();
        state.ResumeTiming();
        w.form->RefreshTimerTimer();
    }
}

void tickPair(benchmark::State &state, bool sensor, bool logging = false)
{
    LiveWindow w(logging);
    timeTicks(state, w, sensor);
}

} // namespace

static void BM_TickSensorReply(benchmark::State &state)
{
    tickPair(state, true);
}
BENCHMARK(BM_TickSensorReply)->Unit(benchmark::kMicrosecond);

static void BM_TickStateReply(benchmark::State &state)
{
    tickPair(state, false);
}
BENCHMARK(BM_TickStateReply)->Unit(benchmark::kMicrosecond);

// Logging: the state tick ends two lines, each written through to the disk.
static void BM_TickStateReplyLogging(benchmark::State &state)
{
    tickPair(state, false, true);
}
BENCHMARK(BM_TickStateReplyLogging)->Unit(benchmark::kMicrosecond);

static void BM_TickSensorReplyLogging(benchmark::State &state)
{
    tickPair(state, true, true);
}
BENCHMARK(BM_TickSensorReplyLogging)->Unit(benchmark::kMicrosecond);

// The 5-second store wait: the CPU column is what the window's thread spent
// while it waited for Timer2.
static void BM_StoreWait(benchmark::State &state)
{
    LiveWindow w;
    for (auto _ : state)
        w.form->InjSaveButtonClick();
}
BENCHMARK(BM_StoreWait)->Unit(benchmark::kMillisecond)->Iterations(1);

// A one-hour drive: 18 000 records wandering over the map.
static QByteArray hourLog()
{
    QByteArray out = "[FW 5.2]\r\n";
    for (int i = 0; i < 18000; ++i) {
        const int cell = 1 + (i / 7 * 37) % 256;
        out += "RPM " + QByteArray::number(800 + (cell % 16) * 380) + " Volt 470 Temp 211 TPS "
            + QByteArray::number(30 + (i / 7) % 400) + " MAP " + QByteArray::number((cell / 16) * 64 + 20)
            + " Lambda " + QByteArray::number(440 + i % 120) + " IAT 520 POS " + QByteArray::number(cell)
            + " DWELL 15 BaseIgn 120 CLTcorr 100 VoltCorr 100 LambdaCorr 100 Ms 250 BaseAir 40 CurrAir 42 Idle 0"
              " AC 0 Decel 0 Tune 0\r\n Fuel 1\r\n";
    }
    return out;
}

static QString hourLogFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("hour.log"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(hourLog());
    return path;
}

// Against the map beside the log, with a change every minute, a lambda
// delay and a few locked cells.
static void BM_AnalyseHourLog(benchmark::State &state)
{
    const monitor::LogData log = monitor::readLog(hourLog());
    monitor::FuelMap start;
    start.fill(100);
    monitor::LogMapTrack track(start);
    for (int record = 300; record < 18000; record += 300)
        track.change(record, record / 300 % 256, 100 + record / 300 % 7);
    monitor::AnalysisFilters filters;
    filters.lambdaDelayMs = 400;
    monitor::SuggestionSettings settings;
    for (int cell : {66, 67, 82})
        settings.locked[size_t(cell)] = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(monitor::analyseLog(log, monitor::SensorKind::WideBand, filters, track, settings));
}
BENCHMARK(BM_AnalyseHourLog)->Unit(benchmark::kMillisecond);

// tarvex-logview opening a one-hour log: reading it, the window with its
// analysis, the plots drawn once.
static void BM_OpenHourLog(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = hourLogFile(dir);
    auto dialogs = std::make_shared<bench::QuietDialogs>();
    for (auto _ : state) {
        logview::TLogViewWindow window(monitor::readLogFile(path), path, dialogs);
        window.show();
        benchmark::DoNotOptimize(window.grab());
    }
}
BENCHMARK(BM_OpenHourLog)->Unit(benchmark::kMillisecond)->Iterations(3);

// The live analysis of a pair of ticks: the sensor and the state reply made
// one record and accumulated, with a 400 ms delay, an hour of records kept.
static void BM_LiveAnalysisTickPair(benchmark::State &state)
{
    monitor::LiveAnalysis live;
    live.configure({.lambdaDelayMs = 400}, {});
    const auto inForce = [](int cell) { return std::optional(40 + cell % 60); };
    double now = 0;
    int i = 0;
    auto pair = [&] {
        const QByteArray cell = QByteArray::number(1 + (i / 7 * 37) % 256);
        live.sensorReply("[A1850aB470bC211cD" + QByteArray::number(30 + i / 7 % 400) + "dF300fG"
                             + QByteArray::number(440 + i % 120) + "gH520h]",
                         now += 100);
        live.stateReply("[J" + cell + "jK15kL120lM100mN101nO99oP250pR0rS40sT42tU0uV0vW0wX0xY1y]", now += 100, inForce);
        ++i;
    };
    while (i < 18000)
        pair();
    for (auto _ : state)
        pair();
}
BENCHMARK(BM_LiveAnalysisTickPair)->Unit(benchmark::kMicrosecond);

// The window's tick with the analysis window open and taking the replies,
// against the same tick without it (BM_TickStateReply, BM_TickSensorReply).
static void tickPairAnalysed(benchmark::State &state, bool sensor)
{
    LiveWindow w;
    const auto ticks = w.serial->answer;
    w.serial->answer = [ticks](const QByteArray &frame) -> QByteArray {
        if (frame == "<G>\r")
            return "[A850aB470bC500cD35dF200fG500gH520h]"; // a wide-band reading
        return frame == "<A>\r" ? test::mapReply(40) : ticks(frame);
    };
    w.form->Guarded([&] { w.form->InjRefreshButtonClick(); });
    w.form->wbo_check->setChecked(true);
    w.form->LiveAnalysisClick();
    timeTicks(state, w, sensor);
    if (state.iterations() > 1 && w.form->LiveAnalysisWindow->LiveRecords() == 0)
        state.SkipWithError("the analysis took no record");
}

static void BM_TickStateReplyAnalysed(benchmark::State &state)
{
    tickPairAnalysed(state, false);
}
BENCHMARK(BM_TickStateReplyAnalysed)->Unit(benchmark::kMicrosecond);

static void BM_TickSensorReplyAnalysed(benchmark::State &state)
{
    tickPairAnalysed(state, true);
}
BENCHMARK(BM_TickSensorReplyAnalysed)->Unit(benchmark::kMicrosecond);

// What the analysis window does twice a second while records come: the
// cells analysed against the ECU's map, coloured and their tooltips made.
static void BM_LiveAnalysisWindowRefresh(benchmark::State &state)
{
    app::TLiveAnalysisWindow window(std::make_shared<bench::QuietDialogs>(), QString(), nullptr);
    monitor::FuelMap map;
    map.fill(100);
    window.CurrentMap = [&map] { return std::optional(map); };
    window.show();
    double now = 0;
    for (int i = 0; i < 18000; ++i) {
        window.SensorReply("[A1850aB470bC211cD35dF300fG" + QByteArray::number(440 + i % 120) + "gH520h]", now += 100);
        window.StateReply("[J" + QByteArray::number(1 + (i / 7 * 37) % 256) + "jP250pW0w]", now += 100,
                          [](int) { return std::optional(100); });
    }
    for (auto _ : state) {
        map[0] = map[0] == 100 ? 101 : 100; // something to show again
        window.Refresh();
    }
}
BENCHMARK(BM_LiveAnalysisWindowRefresh)->Unit(benchmark::kMillisecond);
// Seeking anywhere in a one-hour log played back: the record reached, then
// the whole window drawn anew (grab: more than a screen update repaints)
// with the cursor, the six gauges, the map in force and the trail on it.
// Argument 0: the plots show the whole hour; else the records they show
// (1500: five minutes), so that a far seek pans them and their curves are
// drawn again.
static void BM_SeekHourLog(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = hourLogFile(dir);
    monitor::FuelMap start;
    start.fill(100);
    monitor::LogMapTrack track(start);
    for (int record = 300; record < 18000; record += 300)
        track.change(record, record / 300 % 256, 100 + record / 300 % 7);
    QFile side(monitor::logMapTrackPath(path));
    side.open(QIODevice::WriteOnly);
    side.write(track.text());
    side.close();
    logview::TLogViewWindow window(monitor::readLogFile(path), path, std::make_shared<bench::QuietDialogs>());
    window.show();
    if (state.range(0) > 0)
        window.Plot->SetView(0, state.range(0));
    window.grab();
    int record = 0;
    for (auto _ : state) {
        record = (record + 7919) % 18000; // far apart, all over the hour
        window.Playback->Seek(record);
        benchmark::DoNotOptimize(window.grab());
    }
}
BENCHMARK(BM_SeekHourLog)->Arg(0)->Arg(1500)->Arg(9000)->Unit(benchmark::kMillisecond);

static void BM_GaugePositionUpdate(benchmark::State &state)
{
    widgets::TAnalogGauge gauge;
    gauge.resize(113, 65);
    gauge.SetMargin(1);
    gauge.SetScale(7);
    gauge.show();
    double p = 0;
    for (auto _ : state) {
        gauge.SetPosition(p);
        p = p > 7 ? 0 : p + 0.1;
    }
}
BENCHMARK(BM_GaugePositionUpdate)->Unit(benchmark::kMicrosecond);

static void BM_GaugeFaceRedraw(benchmark::State &state)
{
    widgets::TAnalogGauge gauge;
    gauge.resize(113, 65);
    gauge.SetMargin(1);
    gauge.SetScale(7);
    gauge.SetNumberMainTicks(5);
    gauge.show();
    int n = 0;
    for (auto _ : state)
        gauge.SetCaption(QString::number(n++ % 10));
}
BENCHMARK(BM_GaugeFaceRedraw)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return tarvex::bench::runBenchmarks(argc, argv);
}
