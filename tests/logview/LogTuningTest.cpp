// SPDX-License-Identifier: GPL-3.0-or-later
// Tuning from a log: the cell view and scatter of tarvex-logview, its
// command line, and a drive recorded from the simulator with a wrong cell.
#include "link/PosixSerialSystem.h"
#include "maps/MapFile.h"
#include "logview/LogAnalysisView.h"
#include "widgets/LogPlot.h"
#include "widgets/LogScatter.h"
#include "logview/LogViewWindow.h"
#include "sim/EcuModel.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"

#include <QProcess>
#include <QSettings>
#include <QSpinBox>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

// 14 records: 12 at cell 67 running lean (AFR 16.2), 2 cold ones at cell 68.
QByteArray leanLog()
{
    QByteArray out = "[FW 5.2]\r\n";
    for (int i = 0; i < 14; ++i) {
        const bool cold = i >= 12;
        out += QByteArray("RPM 850 Volt 470 Temp ") + (cold ? "483" : "211") + " TPS 35 MAP 300 Lambda 657 IAT 520 POS "
            + (cold ? "68" : "67")
            + " DWELL 15 BaseIgn 120 CLTcorr 100 VoltCorr 100 LambdaCorr 100 Ms 250 BaseAir 40 CurrAir 42 Idle 1"
              " AC 0 Decel 0 Tune 0\r\n Fuel 1\r\n";
    }
    return out;
}

class LogTuning : public FormFixture {
protected:
    // The viewer's settings (lambda delay, locked cells) in the test's folder.
    void SetUp() override { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); }
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    static QByteArray flatMap(int value)
    {
        return maps::mapFileContent(QStringList(256, QString::number(value)));
    }
    static QByteArray flatTrack() { return "tarvex fuel track 1\nstart" + QByteArray(" 100").repeated(256); }
};

TEST_F(LogTuning, TheCellViewSuggestsFromTheMapBesideTheLogAndSavesIt)
{
    const QString log = write(QStringLiteral("drive.log"), leanLog());
    write(QStringLiteral("backups/08-12-26_09-30-00.inj"), flatMap(90)); // never taken silently
    {
        logview::TLogViewWindow window(monitor::readLogFile(log), log, dialogs);
        window.SetLanguage(1);
        EXPECT_TRUE(window.CellView->CurrentMapLabel->text().startsWith(QStringLiteral("No drive.fuel beside the log")));
    }
    write(QStringLiteral("drive.fuel"), flatTrack());
    logview::TLogViewWindow window(monitor::readLogFile(log), log, dialogs);
    window.SetLanguage(1);
    logview::TLogAnalysisView *view = window.CellView;
    EXPECT_EQ(view->Sensor(), monitor::SensorKind::WideBand) << "guessed from readings near 500";
    EXPECT_EQ(view->SensorNote->text(), QStringLiteral("(guessed from the log)"));
    EXPECT_EQ(view->CurrentMapLabel->text(),
              QStringLiteral("Current map: drive.fuel beside the log (the map at its start and 0 changes while logging)"));
    QTableWidgetItem *cell67 = view->Cells->item(4, 2);
    EXPECT_EQ(cell67->text(), QStringLiteral("110")) << "16.2 ÷ 14.7 more fuel";
    EXPECT_EQ(cell67->background().color(), QColor::fromRgbF(1 - 0.75, 1 - 0.75, 1)) << "lean: the gauge's blue, 10 %";
    EXPECT_TRUE(cell67->toolTip().contains(QStringLiteral("Records: 12")));
    EXPECT_TRUE(cell67->toolTip().contains(QStringLiteral("Mean AFR: 16.20")));
    EXPECT_TRUE(cell67->toolTip().contains(QStringLiteral("Record numbers: 1–12")));
    EXPECT_EQ(view->Result().coldRecords, 2);
    EXPECT_TRUE(view->Summary->text().startsWith(QStringLiteral("Records used: 12; left out: cold 2")));

    // The settings are the view's: a smaller most change, fewer records.
    view->Controls.MaxChangeBox->setValue(5);
    EXPECT_EQ(cell67->text(), QStringLiteral("105"));
    view->Controls.MinRecordsBox->setValue(13);
    EXPECT_EQ(cell67->text(), QStringLiteral("100")) << "not enough records: the current value";
    view->Controls.MinRecordsBox->setValue(10);

    dialogs->nextFile = dir.filePath(QStringLiteral("suggested.inj"));
    view->SaveSuggestionClick();
    const maps::MapFileRead saved = maps::readMapFile(dialogs->nextFile, 1);
    ASSERT_TRUE(saved.error.isEmpty()) << qPrintable(saved.error);
    EXPECT_EQ(saved.cells[66], QStringLiteral("105"));
    EXPECT_EQ(saved.cells[0], QStringLiteral("100")) << "every other cell keeps the current value";
    EXPECT_TRUE(dialogs->texts().last().contains(QStringLiteral("suggested.inj")));

    // The plots' zoom is the time range.
    window.Plot->SetView(0, 5);
    window.Views->setCurrentIndex(1);
    EXPECT_EQ(view->Result().cells[66].hits, 6);
    EXPECT_EQ(view->RangeLabel->text(), QStringLiteral("Time: records 1 to 6 (the plots' zoom)"));
}

// Locked cells, chosen by a selection or a double-click, get no suggestion,
// and stay locked, with the lambda delay, for the next log.
TEST_F(LogTuning, LockedCellsAndTheDelayAreKeptInTheSettings)
{
    const QString log = write(QStringLiteral("drive.log"), leanLog());
    write(QStringLiteral("drive.fuel"), flatTrack());
    {
        logview::TLogViewWindow window(monitor::readLogFile(log), log, dialogs);
        logview::TLogAnalysisView *view = window.CellView;
        view->Cells->setRangeSelected(QTableWidgetSelectionRange(4, 1, 5, 2), true);
        view->Cells->LockAction->trigger();
        EXPECT_EQ(view->Cells->item(4, 2)->text(), QStringLiteral("100")) << "no suggestion";
        EXPECT_EQ(view->Cells->item(4, 2)->background().style(), Qt::BDiagPattern) << "shown as locked";
        emit view->Cells->cellDoubleClicked(5, 1); // cell 82 unlocked again
        view->Controls.DelayBox->setValue(300);
    }
    logview::TLogViewWindow again(monitor::readLogFile(log), log, dialogs);
    const auto &locked = again.CellView->Locked();
    EXPECT_TRUE(locked[65] && locked[66] && locked[82] && std::count(locked.begin(), locked.end(), true) == 3);
    EXPECT_EQ(again.CellView->Result().delayRecords, 2) << "300 ms";
}

TEST_F(LogTuning, ANarrowBandLogGetsTheRichShareAndNoSuggestion)
{
    QByteArray content = leanLog();
    content.replace("Lambda 657", "Lambda 130");
    const QString log = write(QStringLiteral("narrow.log"), content);
    write(QStringLiteral("narrow.fuel"), flatTrack());
    logview::TLogViewWindow window(monitor::readLogFile(log), log, dialogs);
    window.SetLanguage(0);
    logview::TLogAnalysisView *view = window.CellView;
    EXPECT_EQ(view->Sensor(), monitor::SensorKind::NarrowBand);
    EXPECT_EQ(view->Cells->item(4, 2)->text(), QStringLiteral("100 %")) << "every record read rich";
    EXPECT_FALSE(view->SaveButton->isEnabled());
    EXPECT_TRUE(view->Summary->text().contains(QStringLiteral("Узкополосный зонд не измеряет")));
    EXPECT_TRUE(view->Result().cells[66].suggested == std::nullopt);
}

TEST_F(LogTuning, TheScatterPlacesAndReadsOutEachRecord)
{
    const QString log = write(QStringLiteral("drive.log"), leanLog());
    logview::TLogViewWindow window(monitor::readLogFile(log), log, dialogs);
    window.SetLanguage(1);
    widgets::TLogScatter *scatter = window.Scatter;
    scatter->resize(700, 500);
    const QImage picture = scatter->grab().toImage();
    // The drive sits at 850 rpm and load 300: find it from the picture.
    int blue = 0;
    QPoint at;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelColor(x, y) == QColor(0, 0, 255)) { // AFR 16.2 is lean: the gauge's blue
                ++blue;
                at = QPoint(x, y);
            }
    ASSERT_GT(blue, 0);
    EXPECT_NEAR(at.x(), 56 + 850.0 / 7000 * (700 - 72), 4) << "850 rpm of 7000, inside the axes";
    EXPECT_GE(scatter->RecordAt(at), 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), scatter->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(scatter, &move);
    EXPECT_TRUE(scatter->Readout().startsWith(QStringLiteral("Record "))) << qPrintable(scatter->Readout());
    EXPECT_TRUE(scatter->Readout().contains(QStringLiteral("850 rpm, load 300, AFR 16.2, cell 6")));
}

TEST_F(LogTuning, TheCommandLineSuggestsAndPrintsTheCells)
{
    const QString log = write(QStringLiteral("drive.log"), leanLog());
    const QString current = write(QStringLiteral("current.inj"), flatMap(100));
    const QString out = dir.filePath(QStringLiteral("out.inj"));
    QProcess suggest;
    suggest.start(QStringLiteral(TARVEX_LOGVIEW),
                  {QStringLiteral("--suggest"), out, QStringLiteral("--map"), current, QStringLiteral("--max-change"),
                   QStringLiteral("30"), log});
    ASSERT_TRUE(suggest.waitForFinished(20000));
    EXPECT_EQ(suggest.exitCode(), 0) << suggest.readAllStandardError().toStdString();
    EXPECT_EQ(maps::readMapFile(out, 1).cells.value(66), QStringLiteral("110"));

    QProcess cells;
    cells.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--cells"), QStringLiteral("-"), log});
    ASSERT_TRUE(cells.waitForFinished(20000));
    const QList<QByteArray> lines = cells.readAllStandardOutput().split('\n');
    ASSERT_GE(lines.size(), 68);
    EXPECT_TRUE(lines[67].startsWith("67,5,3,12,850,300,16.20")) << lines[67].toStdString();

    QProcess noMap;
    noMap.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--suggest"), out, log});
    ASSERT_TRUE(noMap.waitForFinished(20000));
    EXPECT_EQ(noMap.exitCode(), 1) << "no map given and none beside the log";
}

TEST_F(LogTuning, TheCommandLineRefusesBadNumbersAndSkipsBadLines)
{
    QByteArray content = leanLog();
    content.insert(content.indexOf("RPM", 100), QByteArray(80, '\0') + "\r\n"); // a power cut's line
    const QString log = write(QStringLiteral("drive.log"), content);
    write(QStringLiteral("drive.fuel"), flatTrack());
    const struct { QStringList args; int exitCode; const char *says; } rows[] = {
        {{"--max-change", "-5"}, 2, "--max-change takes a number with at most one decimal from 1 to 100, not '-5'"},
        {{"--target", "14.75"}, 2, "--target takes a number with at most one decimal from 8 to 22, not '14.75'"},
        {{"--min-records", "1e12"}, 2, "--min-records takes a whole number from 1 to 100000"},
        {{"--lock", "67,300"}, 2, "--lock takes a whole number from 1 to 256, not '300'"},
        {{"--lock", "60-70", "--lambda-delay", "400"}, 0, "bad lines of the log skipped: 1, the first is line 4"},
    };
    for (const auto &row : rows) {
        QProcess run;
        run.start(QStringLiteral(TARVEX_LOGVIEW), QStringList{QStringLiteral("--cells"), QStringLiteral("-")} + row.args
                                                       + QStringList{log});
        ASSERT_TRUE(run.waitForFinished(20000));
        const QByteArray said = run.readAllStandardError();
        EXPECT_EQ(run.exitCode(), row.exitCode) << row.args.join(' ').toStdString();
        EXPECT_TRUE(said.contains(row.says)) << said.toStdString();
        EXPECT_EQ(run.readAllStandardOutput().contains("\n67,5,3,12,"), row.exitCode == 0) << "every good record";
    }
}

// A drive recorded from the simulator whose fuel map is 20 % short in the
// idle cell: the suggestion from the map beside the log moves that cell
// toward its true value.
TEST_F(LogTuning, ADriveWithAWrongCellSuggestsTheWayBack)
{
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.wideBand = true;
    options.warm = true;
    options.fuelErrors = {{67, 0.8}}; // where the engine idles
    sim::Simulator simulator(options);
    simulator.start();
    app::FormServices s = simulatorServices(options);
    s.logFolder = dir.path();
    s.backupFolder = dir.filePath(QStringLiteral("backups"));
    s.now = [] { return QDateTime::currentDateTime(); };
    {
        TTarvexMainForm form(s);
        press(form, &TTarvexMainForm::ComSearchButtonClick);
        press(form, &TTarvexMainForm::ComConnectButtonClick);
        press(form, &TTarvexMainForm::InjRefreshButtonClick); // the log's map is known, written beside it
        press(form, &TTarvexMainForm::LogButtonClick);
        // About four seconds of records, however busy the machine.
        auto records = [&] {
            QFile log(form.Logging() ? QDir(dir.path()).entryInfoList({QStringLiteral("*.log")}).value(0).filePath() : QString());
            return log.open(QIODevice::ReadOnly) ? int(log.readAll().count("RPM ")) : 0;
        };
        EXPECT_TRUE(runUntil([&] { return records() >= 20; }, 20000)) << records() << " records";
        press(form, &TTarvexMainForm::LogButtonClick);
        press(form, &TTarvexMainForm::ComDisconnectButtonClick);
        EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
    }
    simulator.stop();
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QString log = dir.filePath(logs.first());
    const QString out = dir.filePath(QStringLiteral("suggested.inj"));
    QProcess suggest;
    suggest.start(QStringLiteral(TARVEX_LOGVIEW), {QStringLiteral("--suggest"), out, log});
    ASSERT_TRUE(suggest.waitForFinished(20000));
    ASSERT_EQ(suggest.exitCode(), 0) << suggest.readAllStandardError().toStdString();
    const int truth = sim::EcuModel::fuelTemplate()[66];
    const int wrong = int(std::lround(truth * 0.8));
    const int suggested = maps::readMapFile(out, 1).cells.value(66).toInt();
    EXPECT_GT(suggested, wrong);
    EXPECT_LE(suggested, truth + 1);
    EXPECT_EQ(suggested, int(std::lround(wrong * 1.15))) << "as far as one pass goes";
}

} // namespace
