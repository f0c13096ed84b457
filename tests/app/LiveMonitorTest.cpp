// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapGrid.h"
#include "widgets/AnalogGauge.h"
#include "tests/app/FormFixture.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

const QByteArray kSensor = "[A850aB470bC500cD35dF200fG100gH520h]";
const QByteArray kState = "[J35jK15kL120lM100mN101nO99oP250pR0rS40sT42tU1uV0vW0wX0xY1y]";

class LiveMonitor : public FormFixture {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        serial->answer = [this](const QByteArray &frame) {
            if (frame == "<G>\r")
                return sensor;
            if (frame == "<H>\r")
                return state;
            if (frame == "<Q>\r")
                return version;
            if (frame == "<A>\r")
                return fuelMap;
            return QByteArray();
        };
        dir.setAutoRemove(true);
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    app::FormServices services() const
    {
        app::FormServices s = FormFixture::services();
        s.logFolder = logFolder.isNull() ? dir.path() : logFolder;
        s.now = [this] { return startTime; };
        return s;
    }
    std::unique_ptr<TTarvexMainForm> makeLiveForm()
    {
        auto form = std::make_unique<TTarvexMainForm>(services());
        form->cbport->setEditText(QStringLiteral("ttyUSB0"));
        press(*form, &TTarvexMainForm::ComConnectButtonClick);
        connectedAt = serial->calls().size();
        return form;
    }
    static void tick(TTarvexMainForm &form) { form.Guarded([&] { form.RefreshTimerTimer(); }); }

    QByteArray logContent() const
    {
        QFile f(dir.filePath(QStringLiteral("07-12-26_14-05-09.log")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no log>");
    }

    QByteArray sensor = kSensor;
    QByteArray state = kState;
    QByteArray version = "[FW 5.2]";
    QByteArray fuelMap = "[" + QByteArray("100,").repeated(256) + "]";
    QString logFolder;
    QDateTime startTime{QDate(2026, 12, 7), QTime(14, 5, 9)};
};

TEST_F(LiveMonitor, TicksAlternateTheRequestsAndRestartTheTimer)
{
    auto form = makeLiveForm();
    const double start = clock->nowMs();
    for (int i = 0; i < 4; ++i)
        tick(*form);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<G>\r", "<H>\r", "<G>\r", "<H>\r"}));
    const auto calls = callsSinceConnect();
    EXPECT_EQ(calls[0].name, QStringLiteral("purge"));
    EXPECT_DOUBLE_EQ(calls[0].timeMs, start) << "no wait before the purge";
    EXPECT_EQ(calls[2].name, QStringLiteral("read"));
    EXPECT_EQ(calls[2].args[0], 1024);
    EXPECT_DOUBLE_EQ(calls[2].timeMs - calls[1].timeMs, 50);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(LiveMonitor, OnlyTheFieldsOfTheReplyChange)
{
    auto form = makeLiveForm();
    sensor = "[A850a]";
    tick(*form);
    EXPECT_EQ(form->RPMLabel->text(), QStringLiteral("850"));
    EXPECT_DOUBLE_EQ(form->rpmgauge->Position(), 0.85);
    EXPECT_EQ(form->VoltageLabel->text(), QString());
    EXPECT_EQ(form->TemperatureLabel->text(), QString());
    EXPECT_DOUBLE_EQ(form->VoltageGauge->Position(), 0);
    EXPECT_EQ(form->TPS1Gauge->Caption(), QStringLiteral(" "));
}

TEST_F(LiveMonitor, SensorValuesReachGaugesAndLabels)
{
    auto form = makeLiveForm();
    tick(*form);
    EXPECT_EQ(form->VoltageLabel->text(), QStringLiteral("14.0 V"));
    EXPECT_NEAR(form->VoltageGauge->Position(), 14.03, 0.005);
    EXPECT_DOUBLE_EQ(form->TemperatureGauge->Position(), 523);
    EXPECT_EQ(form->TemperatureLabel->text(), QStringLiteral("47°C"));
    EXPECT_DOUBLE_EQ(form->TPS1Gauge->Position(), 35);
    EXPECT_EQ(form->TPS1Gauge->Caption(), QStringLiteral("35"));
    EXPECT_EQ(form->EngineLoadGauge->Caption(), QStringLiteral("200"));
    EXPECT_EQ(form->LambdaGauge->Caption(), QStringLiteral("100"));
    EXPECT_EQ(form->LambdaGauge->FaceColor(), QColor(0, 128, 0));
    EXPECT_EQ(form->IATlabel->text(), QStringLiteral("44°C"));

    // A wide-band sensor widens the lambda scale.
    form->wbo_check->setChecked(true);
    sensor = "[G500g]";
    tick(*form); // state
    tick(*form);
    EXPECT_EQ(form->LambdaGauge->Scale(), 1023);
    EXPECT_EQ(form->LambdaGauge->IndMaximum(), 220) << "the gauge refuses a maximum above its old scale";
    EXPECT_EQ(form->LambdaGauge->Caption(), QStringLiteral("14.7"));
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->LambdaGauge->IndMaximum(), 220) << "1023 is never below the scale";

    // The user's locale decides the separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    sensor = "[B470b]";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->VoltageLabel->text(), QStringLiteral("14,0 V"));
}

TEST_F(LiveMonitor, ARepliesWithoutBracketsChangeNothing)
{
    auto form = makeLiveForm();
    sensor = "A850aB470b";
    tick(*form);
    EXPECT_EQ(form->RPMLabel->text(), QString());
    EXPECT_TRUE(form->RefreshTimer->Enabled());
}

TEST_F(LiveMonitor, StateValuesAndTheWorkingPoint)
{
    auto form = makeLiveForm();
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->CursorLabel->text(), QStringLiteral("22"));
    EXPECT_EQ(form->InjGrid->Col(), 2);
    EXPECT_EQ(form->InjGrid->Row(), 2);
    EXPECT_EQ(form->IgnGrid->Col(), 2);
    EXPECT_EQ(form->IgnGrid->Row(), 2);
    EXPECT_EQ(form->SelectedCell().column, 2);
    EXPECT_EQ(form->DwellLabel->text(), QStringLiteral("-15°"));
    EXPECT_EQ(form->baseinjlabel->text(), QStringLiteral("120"));
    EXPECT_EQ(form->VcorLabel->text(), QStringLiteral("101"));
    EXPECT_EQ(form->injtimelabel->text(), QStringLiteral("4.00 Ms"));
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("НЕТ"));
    EXPECT_EQ(form->BaseAirLabel->text(), QStringLiteral("40"));
    EXPECT_EQ(form->CurrentAirLabel->text(), QStringLiteral("42"));
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Да"));
    EXPECT_EQ(form->AcShowLabel->text(), QStringLiteral("Нет"));
    EXPECT_EQ(form->autotunebutton->text(), QStringLiteral("Автонастройка - Нет"));
    EXPECT_EQ(form->FuelTypeLabel->text(), QStringLiteral("1"));
}

TEST_F(LiveMonitor, AGridInEditModeKeepsTheUsersCell)
{
    auto form = makeLiveForm();
    form->InjEditCheck->setChecked(true);
    form->InjGrid->setCurrentCell(9, 9);
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->InjGrid->Col(), 9);
    EXPECT_TRUE(form->InjGrid->Editing());
    EXPECT_EQ(form->IgnGrid->Col(), 2);
    EXPECT_FALSE(form->IgnGrid->Editing());
}

TEST_F(LiveMonitor, WorkingPointsOutOfTheMap)
{
    auto form = makeLiveForm();
    form->InjGrid->setCurrentCell(7, 7);
    state = "[J257jK1k]";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->CursorLabel->text(), QStringLiteral("101"));
    EXPECT_EQ(form->InjGrid->Col(), 1);
    EXPECT_EQ(form->InjGrid->Row(), 7) << "row 16 is never applied";

    state = "[J-5jK1k]";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->InjGrid->Col(), 1);
    EXPECT_EQ(form->InjGrid->Row(), 7);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());

    // Without "]" the working point is not taken, the rest still is.
    state = "[J35jK9kU0u";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->InjGrid->Col(), 1);
    EXPECT_EQ(form->DwellLabel->text(), QStringLiteral("-9°"));
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Нет"));
}

TEST_F(LiveMonitor, FaultCodeAndWordsFollowTheLanguage)
{
    auto form = makeLiveForm();
    form->ComboBox1->setCurrentIndex(1);
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("No"));
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Yes"));
    EXPECT_EQ(form->autotunebutton->text(), QStringLiteral("Autotune - No"));
    state = "[R5rU2u]";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("5"));
    EXPECT_EQ(form->StoredFaultCode(), 5);
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Yes")) << "2 is neither yes nor no";
    // A reply without fields: empty values everywhere.
    state = "[]";
    tick(*form);
    tick(*form);
    EXPECT_EQ(form->StoredFaultCode(), 0);
    EXPECT_EQ(form->DwellLabel->text(), QStringLiteral("-°"));
    EXPECT_EQ(form->injtimelabel->text(), QStringLiteral("0.00 Ms"));
}

TEST_F(LiveMonitor, AutotuneRereadsTheFuelMapUnlessItIsBeingEdited)
{
    auto form = makeLiveForm();
    form->InjEditCheck->setChecked(true);
    state = "[X1x]";
    tick(*form);
    tick(*form);
    EXPECT_TRUE(form->AutotuneState());
    EXPECT_FALSE(form->Timer1->Enabled());
    form->InjEditCheck->setChecked(false);
    tick(*form);
    EXPECT_TRUE(form->Timer1->Enabled());
    form->Guarded([&] { form->Timer1Timer(); });
    EXPECT_EQ(writesSinceConnect().last(), QByteArray("<A>\r"));
}

TEST_F(LiveMonitor, ATickWhileClosedOnlyKeepsTheWindowInStep)
{
    auto form = makeForm();
    form->InjEditCheck->setChecked(true);
    const bool phase = form->PollPhase();
    tick(*form);
    EXPECT_NE(form->PollPhase(), phase);
    EXPECT_EQ(form->testlabel->text(), QStringLiteral("*"));
    EXPECT_TRUE(form->InjGrid->Editing());
    EXPECT_TRUE(serial->calls().empty());
    tick(*form);
    EXPECT_EQ(form->testlabel->text(), QStringLiteral(" "));
}

TEST_F(LiveMonitor, APortErrorStopsPollingUntilTheNextExchange)
{
    auto form = makeLiveForm();
    serial->failOn(QStringLiteral("read"), EACCES, 1);
    tick(*form);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка чтения из порта."});
    EXPECT_FALSE(form->RefreshTimer->Enabled());
}

TEST_F(LiveMonitor, TheLogHoldsTheVersionAndTheItemsByteForByte)
{
    auto form = makeLiveForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_TRUE(form->Logging());
    EXPECT_EQ(form->logwritelabel->text(), QStringLiteral("*"));
    EXPECT_EQ(form->FWmemo->toPlainText(), QStringLiteral("[FW 5.2]"));
    tick(*form);
    tick(*form);
    state = "[]";
    tick(*form);
    tick(*form); // a state reply without fields still writes every keyword
    sensor = "no reply";
    state = kState;
    tick(*form); // a sensor tick without brackets is not logged
    tick(*form);
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_FALSE(form->Logging());
    EXPECT_EQ(form->logwritelabel->text(), QString());
    EXPECT_EQ(logContent(),
              QByteArray("[FW 5.2]\r\n"
                         "RPM 850 Volt 470 Temp 500 TPS 35 MAP 200 Lambda 100 IAT 520 POS 35 DWELL 15 BaseIgn 120"
                         " CLTcorr 100 VoltCorr 101 LambdaCorr 99 Ms 250 BaseAir 40 CurrAir 42 Idle 1 AC 0 Decel 0"
                         " Tune 0\r\n"
                         " Fuel 1\r\n"
                         "RPM 850 Volt 470 Temp 500 TPS 35 MAP 200 Lambda 100 IAT 520"
                         " DWELL  BaseIgn  CLTcorr  VoltCorr  LambdaCorr  Ms  BaseAir  CurrAir  Idle  AC  Decel "
                         " Tune \r\n"
                         " Fuel \r\n"
                         " POS 35 DWELL 15 BaseIgn 120 CLTcorr 100 VoltCorr 101 LambdaCorr 99 Ms 250 BaseAir 40"
                         " CurrAir 42 Idle 1 AC 0 Decel 0 Tune 0\r\n"
                         " Fuel 1\r\n"));
}

// Beside the log, the fuel map it was taken with: the map the window read,
// and a cell written while logging from the record that starts after it.
TEST_F(LiveMonitor, TheFuelMapBesideTheLogFollowsTheCellsWrittenWhileLogging)
{
    auto form = makeLiveForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("07-12-26_14-05-09.fuel")))) << "the map was not read";
    startTime = startTime.addSecs(1);
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    press(*form, &TTarvexMainForm::LogButtonClick);
    for (int i = 0; i < 3; ++i) // the second record's sensor items
        tick(*form);
    form->InjEditCheck->setChecked(true);
    form->InjGrid->setCurrentCell(4, 2);
    form->InjGrid->SetCell(2, 4, QStringLiteral("105"));
    form->Guarded([&] { form->InjGridKeyDown(13); });
    tick(*form);
    tick(*form);
    press(*form, &TTarvexMainForm::LogButtonClick);
    QFile track(dir.filePath(QStringLiteral("07-12-26_14-05-10.fuel")));
    ASSERT_TRUE(track.open(QIODevice::ReadOnly));
    EXPECT_EQ(track.readAll(), "tarvex fuel track 1\nstart" + QByteArray(" 100").repeated(256) + "\nchange 3 67 105\n")
        << "the third record, whose reading came after the write";
}

TEST_F(LiveMonitor, TwoStartsInOneSecondKeepBothLogs)
{
    auto form = makeLiveForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    press(*form, &TTarvexMainForm::LogButtonClick);
    version = "[second]";
    press(*form, &TTarvexMainForm::LogButtonClick);
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_EQ(logContent(), QByteArray("[FW 5.2]\r\n"));
    QFile second(dir.filePath(QStringLiteral("07-12-26_14-05-09_2.log")));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), QByteArray("[second]\r\n"));
}

TEST_F(LiveMonitor, DisconnectingAndClosingEndTheLog)
{
    auto form = makeLiveForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    tick(*form);
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_FALSE(form->Logging());
    EXPECT_EQ(form->logwritelabel->text(), QString());
    EXPECT_TRUE(logContent().endsWith("IAT 520")) << "the file is complete once closed";

    // The first press after reconnecting starts a new file.
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    startTime = startTime.addSecs(1);
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_TRUE(form->Logging());
    tick(*form);
    tick(*form);
    EXPECT_TRUE(form->close());
    QFile f(dir.filePath(QStringLiteral("07-12-26_14-05-10.log")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    EXPECT_TRUE(content.startsWith("[FW 5.2]\r\n POS 35 DWELL 15")) << content.constData();
    EXPECT_TRUE(content.endsWith(" Tune 0\r\n Fuel 1\r\nRPM 850 Volt 470 Temp 500 TPS 35 MAP 200 Lambda 100 IAT 520"));
}

TEST_F(LiveMonitor, ALogThatCannotBeCreatedIsReportedAndLoggingStaysOff)
{
    logFolder = dir.filePath(QStringLiteral("no-such-folder"));
    auto form = makeLiveForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    EXPECT_FALSE(form->Logging());
    EXPECT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(form->logwritelabel->text(), QString());
}

} // namespace
