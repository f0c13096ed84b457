// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CommandTable.h"

#include <stdexcept>

namespace tarvex::link {

namespace {

using G = Guard;

Command fixed(const char *frame, bool pause, int pre, int wait, int limit, Guard guard)
{
    Command c;
    c.frame = QByteArray(frame);
    c.pauseLiveData = pause;
    c.preWait = pre;
    c.replyWait = wait;
    c.replyLimit = limit;
    c.guard = guard;
    return c;
}

Command cellWrite(const char *lead, const char *end, int pre, int connectedWait, int wait, Guard guard)
{
    Command c = fixed(lead, true, pre, wait, 0, guard);
    c.suffix = QByteArray(end);
    c.connectedWait = connectedWait;
    return c;
}

Command store(const char *frame)
{
    Command c = fixed(frame, true, 0, 5000, 0, G::Connected);
    c.waitProcessesEvents = true;
    return c;
}

// Lower and raise command characters of the calibration rows, top to bottom.
// The last four are the code page 1251 letters а, б, в, г as single bytes.
constexpr unsigned char kCalibrationSteps[13][2] = {
    {'b', 'c'}, {'d', 'e'}, {'l', 'm'}, {'f', 'g'}, {'h', 'i'}, {'j', 'k'}, {'n', 'o'},
    {'p', 'q'}, {'r', 's'}, {'t', 'u'}, {'x', 'y'}, {0xE0, 0xE1}, {0xE2, 0xE3},
};

std::array<Command, size_t(CommandId::Count)> buildTable()
{
    std::array<Command, size_t(CommandId::Count)> t;
    auto set = [&t](CommandId id, Command c) { t[size_t(id)] = std::move(c); };
    set(CommandId::Connect, fixed("<E>\r", false, 400, 400, 4096, G::None));
    set(CommandId::SensorRequest, fixed("<G>\r", true, 0, 50, 1024, G::Connected));
    set(CommandId::StateRequest, fixed("<H>\r", true, 0, 50, 1024, G::Connected));
    set(CommandId::FuelRead, fixed("<A>\r", true, 400, 400, 4096, G::Connected));
    set(CommandId::FuelCellWrite, cellWrite("<B[   ", "]>\r", 30, 50, 50, G::ConnectedPurgeWrite));
    set(CommandId::FuelFileCellWrite, cellWrite("<B[   ", "]>\r\r", 0, 0, 100, G::Panel));
    set(CommandId::FuelStore, store("<C>\r"));
    set(CommandId::FuelTemplate, fixed("<N>\r", false, 0, 100, 0, G::Connected));
    set(CommandId::IgnRead, fixed("<D>\r\r", true, 400, 400, 4096, G::Connected));
    set(CommandId::IgnCellWrite, cellWrite("<E[   ", "]>\r\r", 50, 0, 100, G::ConnectedPurgeWrite));
    set(CommandId::IgnFileCellWrite, cellWrite("<E[", "]>\r\r", 0, 0, 150, G::Panel));
    set(CommandId::IgnStore, store("<F>\r"));
    set(CommandId::IgnTemplate, fixed("<O>\r", false, 0, 100, 0, G::Connected));
    set(CommandId::TestInjectors, fixed("<I>\r\r", true, 0, 400, 0, G::ConnectedPurgeWrite));
    set(CommandId::TestIgnition, fixed("<J>\r\r", true, 0, 400, 0, G::ConnectedPurgeWrite));
    set(CommandId::TestFuelPump, fixed("<K>\r\r", true, 0, 400, 0, G::ConnectedPurgeWrite));
    set(CommandId::TestIdleAirValve, fixed("<L>\r\r", true, 0, 400, 0, G::ConnectedPurgeWrite));
    set(CommandId::TestCheckEngineLamp, fixed("<M>\r\r", true, 0, 400, 0, G::ConnectedPurgeWrite));
    set(CommandId::EngineStop, fixed("<P>\r", false, 0, 100, 0, G::Panel));
    set(CommandId::FirmwareVersion, fixed("<Q>\r", false, 0, 100, 100, G::Panel));
    set(CommandId::Stroboscope, fixed("<R>\r", false, 0, 0, 0, G::Panel));
    set(CommandId::IdleDown, fixed("<S>\r", false, 0, 0, 0, G::Panel));
    set(CommandId::IdleUp, fixed("<T>\r", false, 0, 0, 0, G::Panel));
    set(CommandId::Autotune, fixed("<V>\r", false, 0, 0, 0, G::Panel));
    set(CommandId::InstallDate, fixed("<Y>\r", true, 0, 50, 300, G::Panel));
    set(CommandId::CalibrationRead, fixed("<a>\r", true, 0, 50, 300, G::Panel));
    set(CommandId::CalibrationStore, fixed("<v>\r", true, 0, 150, 0, G::Panel));
    set(CommandId::CalibrationDefaults, fixed("<w>\r", true, 0, 150, 0, G::Panel));
    for (int row = 0; row < 13; ++row) {
        for (int raise = 0; raise < 2; ++raise) {
            Command c = fixed("", true, 0, 150, 0, G::Panel);
            c.frame = QByteArray("<") + char(kCalibrationSteps[row][raise]) + QByteArray(">\r");
            set(calibrationStep(row, raise != 0), c);
        }
    }
    return t;
}

} // namespace

const Command &command(CommandId id)
{
    static const auto table = buildTable();
    return table.at(size_t(id));
}

CommandId calibrationStep(int row, bool raise)
{
    if (row < 0 || row > 12)
        throw std::out_of_range("calibration row");
    return CommandId(int(CommandId::CalibrationStepFirst) + row * 2 + (raise ? 1 : 0));
}

QByteArray cellWriteFrame(CommandId id, int cellNumber, const QByteArray &cellText)
{
    const Command &c = command(id);
    return c.frame + QByteArray::number(cellNumber) + '/' + cellText + c.suffix;
}

} // namespace tarvex::link
