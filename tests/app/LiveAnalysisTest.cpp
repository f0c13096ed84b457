// SPDX-License-Identifier: GPL-3.0-or-later
// The window's live analysis on a fake line: the ticks analysed as the log
// of the same ticks is, nothing sent meanwhile but the ticks' requests, the
// suggestion written as one step that Undo takes back, and the pauses.
#include "app/LiveAnalysisWindow.h"
#include "monitor/LogAnalysis.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class LiveAnalysisWindow : public FormFixture {
protected:
    // Blocks of six records at cell 67 (lean, AFR 16.2) and 83 (rich, AFR
    // 13.2), every seventh state reply a fuel cut; the sensor reads a record
    // late.
    QByteArray answer(const QByteArray &frame)
    {
        const bool at67 = states / 6 % 2 == 0;
        if (frame == "<G>\r")
            return "[A900aB470bC211cD40dF300fG" + QByteArray((states - 1) / 6 % 2 == 0 ? "657" : "339") + "gH520h]";
        if (frame == "<H>\r")
            return "[J" + QByteArray(at67 ? "67" : "83") + "jK15kP250pW" + (++states % 7 ? "0" : "1") + "wX0xY1y]";
        return ecu.answer(frame);
    }
    MapEcu ecu;
    int states = 0;
};

TEST_F(LiveAnalysisWindow, AnalysesTheTicksAsTheirLogAndWritesOneUndoableBatch)
{
    serial->answer = [this](const QByteArray &frame) { return answer(frame); };
    app::FormServices s = services();
    s.logFolder = dir.path();
    s.analysisSettingsPath = dir.filePath(QStringLiteral("analysis.ini"));
    TTarvexMainForm form(s);
    form.cbport->setEditText(QStringLiteral("ttyUSB0"));
    for (auto handler : {&TTarvexMainForm::ComConnectButtonClick, &TTarvexMainForm::InjRefreshButtonClick})
        press(form, handler);
    form.InjEditCheck->setChecked(true);
    form.wbo_check->setChecked(true);
    ASSERT_TRUE(form.MakeMapMenu(0)->actions().contains(form.InjAnalysisAction));
    form.InjAnalysisAction->trigger();
    app::TLiveAnalysisWindow *window = form.LiveAnalysisWindow;
    ASSERT_TRUE(window && window->isVisible());
    window->Controls.DelayBox->setValue(200);
    press(form, &TTarvexMainForm::LogButtonClick);
    connectedAt = serial->calls().size();
    for (int tick = 0; tick < 80; ++tick)
        form.RefreshTimerTimer();
    press(form, &TTarvexMainForm::LogButtonClick);
    for (const QByteArray &frame : writesSinceConnect())
        ASSERT_TRUE(frame == "<G>\r" || frame == "<H>\r") << "the analysis sends nothing: " << frame.toStdString();

    const QString log = QDir(dir.path()).entryInfoList({QStringLiteral("*.log")}, QDir::Files)[0].filePath();
    const monitor::Analysis fromLog =
        monitor::analyseLog(monitor::readLogFile(log), monitor::SensorKind::WideBand, {.lambdaDelayMs = 200},
                            monitor::readLogMapTrackFile(monitor::logMapTrackPath(log)).track, {});
    window->Refresh();
    const monitor::Analysis &live = window->Result();
    EXPECT_EQ(monitor::cellsCsv(live), monitor::cellsCsv(fromLog));
    EXPECT_EQ(std::tuple(live.recordsUsed, live.overrunRecords, live.otherRecords),
              std::tuple(fromLog.recordsUsed, fromLog.overrunRecords, fromLog.otherRecords));
    EXPECT_EQ(std::pair(live.cells[66].suggested, live.cells[82].suggested), std::pair(std::optional(44), std::optional(36)));
    EXPECT_EQ(window->Cells->item(4, 2)->text(), QStringLiteral("44"));
    ASSERT_TRUE(window->OpenLog(log)) << "the same log opened in the window";
    EXPECT_EQ(monitor::cellsCsv(window->Result()), monitor::cellsCsv(fromLog));
    window->BackToLiveClick();

    connectedAt = serial->calls().size();
    window->WriteAllButton->click();
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<B[   67/44]>\r", "<B[   83/36]>\r", "<A>\r"}));
    window->Refresh();
    EXPECT_EQ(window->Result().cells[66].hits, 0) << "a cell written gathers its records afresh";
    connectedAt = serial->calls().size();
    form.Guarded([&] { form.MapUndoClick(0); });
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<B[   83/40]>\r", "<B[   67/40]>\r", "<A>\r"}))
        << "one step";

    // No wide-band sensor ticked: nothing is taken, and the window says why.
    form.ComboBox1->setCurrentIndex(1);
    form.wbo_check->setChecked(false);
    const int records = window->LiveRecords();
    for (int tick = 0; tick < 4; ++tick)
        form.RefreshTimerTimer();
    window->Refresh();
    EXPECT_EQ(window->LiveRecords(), records);
    EXPECT_EQ(window->StatusLabel->text(),
              QStringLiteral("Paused: the wide-band sensor box is not ticked (%1 records)").arg(records));
    window->ResetClick();
    EXPECT_EQ(window->LiveRecords(), 0);
}

} // namespace
