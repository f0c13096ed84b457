// SPDX-License-Identifier: GPL-3.0-or-later
// Before and after: two drives compared by tarvex-logview (its window and
// its command line) and by the window's live analysis.
#include "app/LiveAnalysisWindow.h"
#include "logview/LogAnalysisView.h"
#include "logview/LogCompareView.h"
#include "logview/LogViewWindow.h"
#include "maps/MapFile.h"
#include "monitor/LogComparison.h"
#include "sim/EcuModel.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"
#include "widgets/CompareCells.h"

#include <QProcess>
#include <QSettings>
#include <QSpinBox>
#include <numeric>

using namespace tarvex;
using app::TTarvexMainForm;
using monitor::Verdict;

namespace {

class LogCompare : public test::FormFixture {
protected:
    // The viewer's settings (lambda delay, locked cells) in the test's folder.
    void SetUp() override { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); }

    // tarvex-logview with these arguments: its exit code, its standard
    // output and error.
    std::tuple<int, QByteArray, QByteArray> logview(const QStringList &args)
    {
        QProcess run;
        run.start(QStringLiteral(TARVEX_LOGVIEW), args);
        EXPECT_TRUE(run.waitForFinished(20000));
        return {run.exitCode(), run.readAllStandardOutput(), run.readAllStandardError()};
    }
    QString write(const QString &name, const QByteArray &content)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
};

// 12 records at cell 67 with this lambda reading, and the fuel map beside.
QByteArray idleLog(int lambda)
{
    QByteArray out = "[FW 5.2]\r\n";
    for (int i = 0; i < 12; ++i)
        out += "RPM 850 Volt 470 Temp 211 TPS 35 MAP 300 Lambda " + QByteArray::number(lambda)
            + " IAT 520 POS 67 DWELL 15 BaseIgn 120 CLTcorr 100 VoltCorr 100 LambdaCorr 100 Ms 250 BaseAir 40"
              " CurrAir 42 Idle 1 AC 0 Decel 0 Tune 0\r\n Fuel 1\r\n";
    return out;
}
QByteArray trackWith(int cell67)
{
    QByteArray start = QByteArray(" 100").repeated(256);
    start.replace(66 * 4, 4, " " + QByteArray::number(cell67));
    return "tarvex fuel track 1\nstart" + start + "\n";
}

TEST_F(LogCompare, TheCommandLineWritesTheTableAndRefusesWithOneLine)
{
    const QString before = write(QStringLiteral("before.log"), idleLog(657)); // AFR 16.2: 10.2 % lean
    write(QStringLiteral("before.fuel"), trackWith(100));
    const QString after = write(QStringLiteral("after.log"), idleLog(530)); // AFR 15.0: 2.0 %
    write(QStringLiteral("after.fuel"), trackWith(110));
    const QString missing = dir.filePath(QStringLiteral("none.log"));
    const QString map = write(QStringLiteral("map.inj"), maps::mapFileContent(QStringList(256, QStringLiteral("100"))));
    const auto [code, table, said] = logview({before, QStringLiteral("--compare"), after, QStringLiteral("--csv"), QStringLiteral("-")});
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_EQ(table.split('\n').value(67), "67,5,3,12,12,10.2,2.0,-8.2,better,100,110,1");
    EXPECT_TRUE(said.contains("Closer to the target: 1, further: 0")) << said.toStdString();

    const struct {
        QStringList args;
        QString says;
    } rows[] = {
        {{before, "--compare"}, "--compare needs a value"},
        {{before, "--compare", missing, "--csv", "-"}, "Cannot open " + missing + ": there is no such file."},
        {{missing, "--compare", after}, "Cannot open " + missing + ": there is no such file."},
        {{before, "--compare", map, "--csv", "-"}, "Line 2 is not a record of a Tarvex log."},
        {{before, "--compare", after, "--png", "x.png"}, "--compare goes with --csv only, not with --png"},
        {{before, "--compare", after, "--map", map, "--csv", "-"}, "--map does not go with --compare"},
        {{before, "--compare", after, "--csv", "-", "--min-records", "0"}, "--min-records takes a whole number from 1"},
    };
    for (const auto &row : rows) {
        const auto [exit, out, error] = logview(row.args);
        EXPECT_EQ(exit, 2) << row.args.join(' ').toStdString();
        // One line of its own (Qt may add its warnings).
        QList<QByteArray> own;
        for (const QByteArray &line : error.split('\n'))
            if (line.startsWith("tarvex-logview: "))
                own << line;
        EXPECT_TRUE(own.size() == 1 && own[0].contains(row.says.toUtf8())) << error.toStdString();
        EXPECT_TRUE(out.isEmpty());
    }

    // The reader's message in the viewer's language, never spliced.
    write(QStringLiteral("before.fuel"), "12\n12\n");
    logview::TLogViewWindow view(monitor::readLogFile(before), before, dialogs);
    view.SetLanguage(0);
    EXPECT_EQ(view.CellView->CurrentMapLabel->text(),
              QStringLiteral("before.fuel рядом с записью не прочитан: Это не топливная карта лога Tarvex."));
    view.SetLanguage(1);
    EXPECT_EQ(view.CellView->CurrentMapLabel->text(),
              QStringLiteral("before.fuel beside the log cannot be read: It is not the fuel map of a Tarvex log."));
}

// Two drives of the simulator with two wrong cells; between them the first
// drive's suggestion is written, with a right cell made 20 % richer.
TEST_F(LogCompare, TheWrittenCellsShowAsBetterAndASpoiledOneAsWorse)
{
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.wideBand = options.warm = true;
    options.fuelErrors = {{67, 0.8}, {83, 1.15}};
    options.driveLevels = {25, 100, 200, 300};
    options.driveHoldS = 3.5;
    options.lambdaDelayMs = 200;
    sim::Simulator simulator(options);
    simulator.start();
    const std::unique_ptr<TTarvexMainForm> window = makeDrivingForm(options);
    TTarvexMainForm &form = *window;
    auto drive = [&] {
        press(form, &TTarvexMainForm::LogButtonClick);
        QEventLoop wait;
        QTimer::singleShot(int(options.driveHoldS * 1000 * double(options.driveLevels.size())), &wait, &QEventLoop::quit);
        wait.exec();
        press(form, &TTarvexMainForm::LogButtonClick);
        return QDir(dir.path()).entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Time)[0].filePath();
    };
    const monitor::AnalysisFilters filters{.minRecords = 8, .lambdaDelayMs = 200};
    const QString before = drive();
    const std::optional<monitor::LogMapTrack> track = monitor::readLogMapTrackFile(monitor::logMapTrackPath(before)).track;
    ASSERT_TRUE(track);
    const std::array<int, 256> suggested = monitor::suggestedMap(
        monitor::analyseLog(monitor::readLogFile(before), monitor::SensorKind::WideBand, filters, track, {}), track->endMap());
    QStringList written;
    for (int value : suggested)
        written << QString::number(value);
    written[99] = QString::number(std::lround(suggested[99] * 1.2));
    dialogs->nextFile = dir.filePath(QStringLiteral("suggested.inj"));
    ASSERT_EQ(maps::writeMapFile(dialogs->nextFile, written), QString());
    std::vector<int> all(256);
    std::iota(all.begin(), all.end(), 0);
    form.Guarded([&] { form.MapCompareClick(0); form.WriteFromFile(0, all); form.EndComparison(0); });

    // The drive after, followed live with the first drive's log as before.
    form.wbo_check->setChecked(true);
    form.InjAnalysisAction->trigger();
    app::TLiveAnalysisWindow *live = form.LiveAnalysisWindow;
    live->Controls.DelayBox->setValue(filters.lambdaDelayMs);
    live->Controls.MinRecordsBox->setValue(filters.minRecords);
    ASSERT_TRUE(live->CompareWith(before));
    const QString after = drive();
    live->Refresh();
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));

    // The cells 67 and 83 written, 100 spoiled: as the live window, the
    // viewer and the table see them.
    const struct {
        int cell;
        Verdict verdict;
        const char *word;
    } expected[] = {{67, Verdict::Better, "better"}, {83, Verdict::Better, "better"}, {100, Verdict::Worse, "worse"}};
    auto check = [&](const monitor::LogComparison &c, const char *where) {
        for (const auto &row : expected) {
            const monitor::CellComparison &cell = c.cell(row.cell - 1);
            EXPECT_EQ(cell.verdict, row.verdict) << where << ", cell " << row.cell;
            EXPECT_EQ(cell.valueBefore, track->endMap()[size_t(row.cell - 1)]) << where;
            EXPECT_EQ(cell.valueAfter, written[row.cell - 1].toInt()) << where;
        }
    };
    ASSERT_TRUE(live->CompareWindow->Comparison());
    check(*live->CompareWindow->Comparison(), "live");

    logview::TLogViewWindow view(monitor::readLogFile(before), before, dialogs);
    view.CellView->Controls.MinRecordsBox->setValue(filters.minRecords);
    view.CellView->Controls.DelayBox->setValue(filters.lambdaDelayMs);
    dialogs->nextFile = after;
    view.CompareAction->trigger();
    ASSERT_TRUE(view.Compare->Result());
    check(*view.Compare->Result(), "viewer");
    view.SetLanguage(1);
    QTableWidgetItem *cell67 = view.CompareCells->Table->item(4, 2);
    EXPECT_GT(cell67->background().color().green(), cell67->background().color().red()) << "closer: green";
    EXPECT_TRUE(cell67->toolTip().contains(QStringLiteral("Changed between the drives: %1 → %2")
                                               .arg(track->endMap()[66])
                                               .arg(written[66])))
        << qPrintable(cell67->toolTip());
    EXPECT_GT(view.CompareCells->Table->item(6, 3)->background().color().red(),
              view.CompareCells->Table->item(6, 3)->background().color().green()) << "cell 100 further: red";
    view.SetLanguage(0);
    EXPECT_TRUE(view.CompareCells->Summary->text().startsWith(QStringLiteral("Ближе к цели: "))) << "in one language";
    EXPECT_TRUE(cell67->toolTip().contains(QStringLiteral("Изменена между поездками")));
    // The plots: both logs at the cursor's time, aligned at a moment picked.
    view.Compare->SetMoment(logview::TLogComparePlot::After, 20);
    view.Compare->Plot->SetCursorSeconds(0);
    const QStringList readout = view.Compare->Plot->Readout();
    EXPECT_EQ(readout.value(0), QStringLiteral("0.0 с; до: запись 1, после: запись 21"));
    EXPECT_TRUE(readout.value(1).contains(QStringLiteral(" / "))) << qPrintable(readout.value(1));
    EXPECT_EQ(view.Compare->AfterMoment->value(), 21);

    const auto [code, table, said] = logview({before, QStringLiteral("--compare"), after, QStringLiteral("--csv"),
                                              dir.filePath(QStringLiteral("compare.csv")), QStringLiteral("--min-records"),
                                              QStringLiteral("8"), QStringLiteral("--lambda-delay"), QStringLiteral("200")});
    ASSERT_EQ(code, 0) << said.toStdString();
    QFile csv(dir.filePath(QStringLiteral("compare.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    for (const auto &row : expected) {
        const QList<QByteArray> fields = lines.value(row.cell).split(',');
        ASSERT_EQ(fields.size(), 12);
        EXPECT_EQ(fields[8], row.word) << lines.value(row.cell).toStdString();
        EXPECT_EQ(fields[10] + fields[11], written[row.cell - 1].toUtf8() + "1") << "the value after, changed";
    }
}

} // namespace
