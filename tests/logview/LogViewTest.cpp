// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapGrid.h"
#include "widgets/AnalogGauge.h"
#include "monitor/LogMapTrack.h"
#include "logview/LogPlaybackView.h"
#include "widgets/LogPlot.h"
#include "logview/LogViewWindow.h"
#include "tests/app/RecordingDialogs.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>

using namespace tarvex::monitor;
using namespace tarvex::widgets;
using namespace tarvex::logview;

namespace {

QByteArray sampleLog(int pairs)
{
    QByteArray out = "[TARVEX-SIM 5.2]\r\n";
    for (int i = 0; i < pairs; ++i) {
        out += "RPM " + QByteArray::number(850 + i * 10) + " Volt 470 Temp " + QByteArray::number(700 - i)
            + " TPS 25 MAP 300 Lambda " + QByteArray::number(100 + (i % 2) * 60) + " IAT 650 POS "
            + QByteArray::number(67 + i % 3) + " DWELL 15 BaseIgn 84 CLTcorr 120 VoltCorr 100 LambdaCorr 100 Ms "
            + "250 BaseAir 40 CurrAir 50 Idle 1 AC 0 Decel 0 Tune 0\r\n Fuel 1\r\n";
    }
    return out;
}

QString writeLog(const QTemporaryDir &dir, int pairs)
{
    const QString path = dir.filePath(QStringLiteral("drive.log"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sampleLog(pairs));
    return path;
}

TEST(LogPlot, RendersEveryChannelAndReadsOutAtTheCursor)
{
    TLogPlot plot(readLog(sampleLog(50)));
    plot.SetTexts(TLogViewWindow::PlotTextsFor(1));
    plot.resize(1000, 700);
    EXPECT_EQ(plot.windowTitle(), QStringLiteral("[TARVEX-SIM 5.2]"));
    plot.SetCursorRecord(10);
    const QStringList readout = plot.Readout();
    EXPECT_EQ(readout.value(0), QStringLiteral("Record 11 (≈ 2.0 s)"));
    EXPECT_EQ(readout.value(1), QStringLiteral("Engine speed: 950 rpm"));
    EXPECT_EQ(readout.value(2), QStringLiteral("Coolant: 19 °C"));
    EXPECT_EQ(readout.value(6), QStringLiteral("Injection: 4.00 ms"));
    EXPECT_EQ(readout.last(), QStringLiteral("Cell: 68"));
    plot.SetTexts(TLogViewWindow::PlotTextsFor(0));
    EXPECT_EQ(plot.Readout().value(1), QStringLiteral("Обороты: 950 об/мин"));

    QImage image(plot.size(), QImage::Format_RGB32);
    plot.render(&image);
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red += image.pixelColor(x, y).red() > 150 && image.pixelColor(x, y).green() < 80;
    EXPECT_GT(red, 200) << "the engine speed line is drawn";
}

TEST(LogPlot, ZoomAndPanStayInsideTheLog)
{
    TLogPlot plot(readLog(sampleLog(100)));
    EXPECT_DOUBLE_EQ(plot.ViewStart(), 0);
    EXPECT_DOUBLE_EQ(plot.ViewEnd(), 99);
    plot.SetView(40, 50);
    EXPECT_DOUBLE_EQ(plot.ViewEnd() - plot.ViewStart(), 10);
    plot.SetView(95, 105);
    EXPECT_DOUBLE_EQ(plot.ViewEnd(), 99);
    plot.SetView(10, 11);
    EXPECT_DOUBLE_EQ(plot.ViewEnd() - plot.ViewStart(), 4) << "never closer than a few records";
}

TEST(LogViewProgram, WritesCsvAndPngAndRefusesOtherFiles)
{
    QTemporaryDir dir;
    const QString log = writeLog(dir, 3);
    QProcess csv;
    csv.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--csv"), log});
    ASSERT_TRUE(csv.waitForFinished(20000));
    EXPECT_EQ(csv.exitCode(), 0);
    EXPECT_EQ(csv.readAllStandardOutput().count('\n'), 4);

    const QString png = dir.filePath(QStringLiteral("drive.png"));
    QProcess render;
    render.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--png"), png, log});
    ASSERT_TRUE(render.waitForFinished(20000));
    EXPECT_EQ(render.exitCode(), 0);
    EXPECT_EQ(QImage(png).size(), QSize(1200, 800));

    QFile map(dir.filePath(QStringLiteral("map.inj")));
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    map.write("12\r\n12\r\n");
    map.close();
    QProcess refuse;
    refuse.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--csv"), map.fileName()});
    ASSERT_TRUE(refuse.waitForFinished(20000));
    EXPECT_EQ(refuse.exitCode(), 1);
    EXPECT_TRUE(refuse.readAllStandardError().contains("not a record"));

    QProcess help;
    help.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(20000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: tarvex-logview"));

    QProcess headless;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    headless.setProcessEnvironment(env);
    headless.start(QStringLiteral(TARVEX_LOGVIEW), {log});
    ASSERT_TRUE(headless.waitForFinished(20000));
    EXPECT_EQ(headless.exitStatus(), QProcess::NormalExit) << "said so, not aborted";
    EXPECT_EQ(headless.exitCode(), 1);
    EXPECT_EQ(headless.readAllStandardError().count('\n'), 1);
}

// A log of known records beside its fuel map, one cell changed halfway,
// played at 16× by a clock of the test's: at every frame the cursor, each
// gauge, the trail and the map show the record the playback shows.
TEST(LogPlayback, PlaysAt16xWithGaugesTrailMapAndCursorOnTheRecordShown)
{
    QTemporaryDir dir;
    const QString path = writeLog(dir, 300);
    FuelMap start;
    start.fill(100);
    LogMapTrack track(start);
    track.change(150, 66, 120);
    QFile side(logMapTrackPath(path));
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write(track.text());
    side.close();

    TLogViewWindow window(readLogFile(path), path, std::make_shared<tarvex::test::RecordingDialogs>());
    TLogPlayback *playback = window.Playback;
    long long now = 0;
    playback->Now = [&now] { return now; };
    playback->SpeedBox->setCurrentIndex(5);
    EXPECT_EQ(playback->SpeedBox->currentText(), QStringLiteral("16×"));
    playback->PlayPause();
    int frames = 0;
    while (playback->Clock().playing() && frames < 1000) {
        now += 30;
        playback->Tick();
        ++frames;
        const int record = playback->Shown();
        ASSERT_EQ(record, std::min(299, int(now * 16 / 200))) << "at " << now << " ms";
        EXPECT_EQ(window.Plot->CursorRecord(), record);
        EXPECT_EQ(playback->Slider->value(), record);
        EXPECT_DOUBLE_EQ(playback->Gauges[0]->Position(), (850 + record * 10) / 1000.0);
        EXPECT_DOUBLE_EQ(playback->Gauges[2]->Position(), 1023.0 - (700 - record));
        EXPECT_EQ(playback->Gauges[3]->Caption(), QStringLiteral("25"));
        EXPECT_DOUBLE_EQ(playback->Gauges[4]->Position(), 100 + (record % 2) * 60);
        EXPECT_EQ(playback->Trail().newest(), 66 + record % 3);
        EXPECT_EQ(playback->Grid->Cell(2, 4), record >= 150 ? QStringLiteral("120") : QStringLiteral("100"));
    }
    EXPECT_EQ(playback->Shown(), 299) << "stopped at the last record";
    EXPECT_EQ(frames, 125);

    // A key steps one record; the mouse over the plots moves everything
    // while paused.
    QTest::keyClick(playback, Qt::Key_Left);
    EXPECT_EQ(playback->Shown(), 298);
    EXPECT_EQ(window.Plot->CursorRecord(), 298);
    window.Plot->OnCursorMoved(40);
    EXPECT_EQ(playback->Shown(), 40);
    EXPECT_DOUBLE_EQ(playback->Gauges[0]->Position(), 1.25);
}

} // namespace
