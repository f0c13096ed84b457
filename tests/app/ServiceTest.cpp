// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/FormFixture.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class Service : public FormFixture {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(Service, ActuatorTestsSendTheirFramesAndWait)
{
    auto form = makeConnectedForm();
    const struct {
        void (TTarvexMainForm::*handler)();
        const char *frame;
    } tests[] = {{&TTarvexMainForm::InjTestButtonClick, "<I>\r\r"},
                 {&TTarvexMainForm::IgnTestButtonClick, "<J>\r\r"},
                 {&TTarvexMainForm::RelayTestButtonClick, "<K>\r\r"},
                 {&TTarvexMainForm::AirActuatorTestButtonClick, "<L>\r\r"},
                 {&TTarvexMainForm::CELampTestButtonClick, "<M>\r\r"}};
    for (const auto &t : tests) {
        const double start = clock->nowMs();
        press(*form, t.handler);
        EXPECT_EQ(writesSinceConnect().last(), QByteArray(t.frame));
        EXPECT_DOUBLE_EQ(clock->nowMs() - start, 400);
        EXPECT_TRUE(form->RefreshTimer->Enabled());
    }
}

TEST_F(Service, ATestWhileDisconnectedSendsNothingButWaitsAndRestartsPolling)
{
    auto form = makeForm();
    const double start = clock->nowMs();
    press(*form, &TTarvexMainForm::InjTestButtonClick);
    EXPECT_TRUE(serial->calls().empty());
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 400);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(Service, OneShotCommands)
{
    auto form = makeConnectedForm();
    form->RefreshTimer->SetEnabled(false);
    const double start = clock->nowMs();
    press(*form, &TTarvexMainForm::EngineStopButtonClick);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 100);
    press(*form, &TTarvexMainForm::StroboscopeButtonClick);
    press(*form, &TTarvexMainForm::IdleDownButtonClick);
    press(*form, &TTarvexMainForm::IdleUpButtonClick);
    press(*form, &TTarvexMainForm::autotunebuttonClick);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 100);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<P>\r", "<R>\r", "<S>\r", "<T>\r", "<V>\r"}));
    EXPECT_FALSE(form->RefreshTimer->Enabled()) << "none of them touches the live-data timer";
    for (const auto &call : callsSinceConnect())
        EXPECT_NE(call.name, QStringLiteral("read"));
}

TEST_F(Service, CommandsOnAClosedPortReportTheirError)
{
    auto form = makeConnectedForm();
    form->BComPort1->Close();
    press(*form, &TTarvexMainForm::IdleUpButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка функции PurgeComm."});
}

TEST_F(Service, FirmwareVersionIsShownRaw)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) { return frame == "<Q>\r" ? QByteArray("x[FW 5]\r\nz") : ""; };
    press(*form, &TTarvexMainForm::FW_ReadButtonClick);
    EXPECT_EQ(form->FWmemo->toPlainText(), QStringLiteral("x[FW 5]\r\nz").replace(QLatin1String("\r\n"), "\n"));
    EXPECT_EQ(callsSinceConnect().back().args[0], 100);
}

TEST_F(Service, FaultCodeMessages)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) { return frame == "<H>\r" ? QByteArray("[R14r]") : ""; };
    press(*form, &TTarvexMainForm::ErrorReqButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибок не обнаружено!"});
    EXPECT_EQ(dialogs->messages[0].icon, widgets::Dialogs::Icon::None);
    form->Guarded([&] { form->RefreshTimerTimer(); });
    form->Guarded([&] { form->RefreshTimerTimer(); });
    ASSERT_EQ(form->StoredFaultCode(), 14);
    press(*form, &TTarvexMainForm::ErrorReqButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 1u) << "14 has no message";
}

TEST_F(Service, InstallDate)
{
    auto form = makeConnectedForm();
    QByteArray reply = "[D31dM12mY24y]";
    serial->answer = [&](const QByteArray &frame) { return frame == "<Y>\r" ? reply : ""; };
    press(*form, &TTarvexMainForm::DateReadButtonClick);
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("31.12.24"));
    EXPECT_FALSE(form->DateEdit->isEnabled());
    reply = "[D31dM12mY24y";
    press(*form, &TTarvexMainForm::DateReadButtonClick);
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("31.12.24"));
    reply = "[D0dM0mY0y]";
    press(*form, &TTarvexMainForm::DateReadButtonClick);
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("0.0.0"));
    EXPECT_TRUE(form->DateEdit->isEnabled());
    EXPECT_TRUE(form->RefreshTimer->Enabled());

    reply = "[DxdM1mY1y]";
    press(*form, &TTarvexMainForm::DateReadButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"'x' is not a valid integer value."});
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("0.0.0"));
    EXPECT_FALSE(form->RefreshTimer->Enabled()) << "polling stays off after the error";
}

TEST_F(Service, EveryCalibrationButtonSendsItsFrameAndShowsTheReadThatFollows)
{
    auto form = makeConnectedForm();
    int reads = 0;
    serial->answer = [&](const QByteArray &frame) {
        if (frame != "<a>\r")
            return QByteArray();
        ++reads;
        return QByteArray("[A") + QByteArray::number(reads) + "a]";
    };
    const char steps[13][2] = {{'b', 'c'}, {'d', 'e'}, {'l', 'm'}, {'f', 'g'}, {'h', 'i'}, {'j', 'k'}, {'n', 'o'},
                               {'p', 'q'}, {'r', 's'}, {'t', 'u'}, {'x', 'y'}, {'\xE0', '\xE1'}, {'\xE2', '\xE3'}};
    int presses = 0;
    for (int row = 0; row < 13; ++row) {
        for (QPushButton *button : {form->CalibrationRows[size_t(row)].lower, form->CalibrationRows[size_t(row)].raise}) {
            const size_t before = writesSinceConnect().size();
            const double start = clock->nowMs();
            button->click();
            ++presses;
            const QList<QByteArray> writes = writesSinceConnect().mid(qsizetype(before));
            const char step = steps[row][button == form->CalibrationRows[size_t(row)].raise];
            EXPECT_EQ(writes, (QList<QByteArray>{QByteArray("<") + step + ">\r", "<a>\r"})) << row;
            EXPECT_DOUBLE_EQ(clock->nowMs() - start, 150 + 50);
            EXPECT_EQ(form->CalibrationRows[0].value->text(), QString::number(presses));
        }
    }
    form->cal_def_button->click();
    form->Calibration_write_button->click();
    EXPECT_EQ(writesSinceConnect().mid(writesSinceConnect().size() - 4),
              (QList<QByteArray>{"<w>\r", "<a>\r", "<v>\r", "<a>\r"}));
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(Service, AFailedCalibrationReadEndsTheStepAndLeavesPollingOff)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) { return frame == "<a>\r" ? QByteArray("[A1aD9xdK2k]") : ""; };
    form->CalibrationRows[1].raise->click();
    EXPECT_EQ(dialogs->texts(), QStringList{"'9x' is not a valid integer value."});
    EXPECT_EQ(form->CalibrationRows[0].value->text(), QStringLiteral("1"));
    EXPECT_EQ(form->CalibrationRows[10].value->text(), QStringLiteral("???")) << "K comes after D";
    EXPECT_FALSE(form->RefreshTimer->Enabled());
}

TEST_F(Service, ShowingTheCalibrationPageReadsOnlyWhileConnected)
{
    auto form = makeForm();
    form->PageControl1->setCurrentIndex(3);
    EXPECT_TRUE(serial->calls().empty());
    form->PageControl1->setCurrentIndex(0);
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    connectedAt = serial->calls().size();
    form->PageControl1->setCurrentIndex(3);
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<a>\r"});
}

} // namespace
