// SPDX-License-Identifier: GPL-3.0-or-later
// Service functions: actuator tests, diagnostics, date and calibration.
#include "app/MainForm.h"
#include "link/Protocol.h"
#include "service/Calibration.h"
#include "service/Diagnostics.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tarvex::app {

using link::CommandId;

void TTarvexMainForm::ConnectServiceHandlers()
{
    On(InjTestButton, &QPushButton::clicked, &TTarvexMainForm::InjTestButtonClick);
    On(IgnTestButton, &QPushButton::clicked, &TTarvexMainForm::IgnTestButtonClick);
    On(RelayTestButton, &QPushButton::clicked, &TTarvexMainForm::RelayTestButtonClick);
    On(AirActuatorTestButton, &QPushButton::clicked, &TTarvexMainForm::AirActuatorTestButtonClick);
    On(EngineStopButton, &QPushButton::clicked, &TTarvexMainForm::EngineStopButtonClick);
    On(ErrorReqButton, &QPushButton::clicked, &TTarvexMainForm::ErrorReqButtonClick);
    On(FW_ReadButton, &QPushButton::clicked, &TTarvexMainForm::FW_ReadButtonClick);
    On(StroboscopeButton, &QPushButton::clicked, &TTarvexMainForm::StroboscopeButtonClick);
    On(IdleDownButton, &QPushButton::clicked, &TTarvexMainForm::IdleDownButtonClick);
    On(IdleUpButton, &QPushButton::clicked, &TTarvexMainForm::IdleUpButtonClick);
    On(autotunebutton, &QPushButton::clicked, &TTarvexMainForm::autotunebuttonClick);
    On(DateReadButton, &QPushButton::clicked, &TTarvexMainForm::DateReadButtonClick);
    On(Calibration_read_button, &QPushButton::clicked, &TTarvexMainForm::Calibration_read_buttonClick);
    auto onCommand = [this](QPushButton *button, CommandId command) {
        connect(button, &QPushButton::clicked, this,
                [this, command] { Guarded([&] { CalibrationCommandClick(command); }); });
    };
    for (int row = 0; row < service::kCalibrationRows; ++row) {
        onCommand(CalibrationRows[size_t(row)].lower, link::calibrationStep(row, false));
        onCommand(CalibrationRows[size_t(row)].raise, link::calibrationStep(row, true));
    }
    onCommand(cal_def_button, CommandId::CalibrationDefaults);
    onCommand(Calibration_write_button, CommandId::CalibrationStore);
}

void TTarvexMainForm::InjTestButtonClick()
{
    Exchange().run(CommandId::TestInjectors);
}

void TTarvexMainForm::IgnTestButtonClick()
{
    Exchange().run(CommandId::TestIgnition);
}

void TTarvexMainForm::RelayTestButtonClick()
{
    Exchange().run(CommandId::TestFuelPump);
}

void TTarvexMainForm::AirActuatorTestButtonClick()
{
    Exchange().run(CommandId::TestIdleAirValve);
}

void TTarvexMainForm::CELampTestButtonClick()
{
    Exchange().run(CommandId::TestCheckEngineLamp);
}

void TTarvexMainForm::EngineStopButtonClick()
{
    Exchange().run(CommandId::EngineStop);
}

void TTarvexMainForm::ErrorReqButtonClick()
{
    if (const std::optional<QString> message = service::faultMessage(m_faultCode))
        m_services.dialogs->message(this, widgets::Dialogs::Icon::None, QCoreApplication::applicationName(), *message);
}

void TTarvexMainForm::FW_ReadButtonClick()
{
    FWmemo->clear();
    const QByteArray reply = Exchange().run(CommandId::FirmwareVersion);
    m_reportHeld.version = reply;
    FWmemo->setPlainText(link::fromCp1251(reply));
}

void TTarvexMainForm::StroboscopeButtonClick()
{
    Exchange().run(CommandId::Stroboscope);
}

void TTarvexMainForm::IdleDownButtonClick()
{
    Exchange().run(CommandId::IdleDown);
}

void TTarvexMainForm::IdleUpButtonClick()
{
    Exchange().run(CommandId::IdleUp);
}

void TTarvexMainForm::autotunebuttonClick()
{
    Exchange().run(CommandId::Autotune);
}

void TTarvexMainForm::DateReadButtonClick()
{
    const QByteArray reply = Exchange().run(CommandId::InstallDate, QByteArray(), false);
    m_reportHeld.date = reply;
    if (const std::optional<service::InstallDate> date = service::parseInstallDate(reply)) {
        DateEdit->setText(date->text);
        DateEdit->setEnabled(!date->complete);
    }
    RefreshTimer->SetEnabled(true);
}

void TTarvexMainForm::Calibration_read_buttonClick()
{
    const QByteArray reply = Exchange().run(CommandId::CalibrationRead, QByteArray(), false);
    m_reportHeld.calibration = reply;
    service::decodeCalibration(reply, [this](int row, const QString &text) {
        CalibrationRows[size_t(row)].value->setText(text);
    });
    RefreshTimer->SetEnabled(true);
}

void TTarvexMainForm::CalibrationCommandClick(CommandId command)
{
    Exchange().run(command, QByteArray(), false);
    Calibration_read_buttonClick();
    RefreshTimer->SetEnabled(true);
}

} // namespace tarvex::app
