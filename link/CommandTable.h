// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <array>

namespace tarvex::link {

// What must hold before an exchange talks to the port.
enum class Guard {
    None,               // runs as it stands (connect: right after Open)
    Connected,          // the handler does nothing unless the port is open
    ConnectedPurgeWrite, // only purge and write are skipped while closed
    Panel,              // usable only while connected, through its container
};

enum class CommandId {
    Connect,
    SensorRequest,
    StateRequest,
    FuelRead,
    FuelCellWrite,
    FuelFileCellWrite,
    FuelStore,
    FuelTemplate,
    IgnRead,
    IgnCellWrite,
    IgnFileCellWrite,
    IgnStore,
    IgnTemplate,
    TestInjectors,
    TestIgnition,
    TestFuelPump,
    TestIdleAirValve,
    TestCheckEngineLamp,
    EngineStop,
    FirmwareVersion,
    Stroboscope,
    IdleDown,
    IdleUp,
    Autotune,
    InstallDate,
    CalibrationRead,
    CalibrationStore,
    CalibrationDefaults,
    // One pair per calibration row, top to bottom: lower, raise.
    CalibrationStepFirst,
    CalibrationStepLast = CalibrationStepFirst + 25,
    Count
};

struct Command {
    QByteArray frame;       // the whole frame, or the part before the cell number
    QByteArray suffix;      // cell writes: what follows the cell text
    bool pauseLiveData = false;
    int preWait = 0;        // ms before the purge
    int connectedWait = 0;  // ms after the write, only when it was made
    int replyWait = 0;      // ms after the write, also when it was skipped
    int replyLimit = 0;     // bytes read as the reply; 0: none is read
    Guard guard = Guard::None;
    bool waitProcessesEvents = false; // the store wait keeps the window alive
};

const Command &command(CommandId id);

// The calibration step of a row (0 to 12): lower or raise.
CommandId calibrationStep(int row, bool raise);

// A cell write frame: the command's lead-in, the cell number 1 to 256, "/",
// the cell text exactly as the grid holds it, and the command's ending.
QByteArray cellWriteFrame(CommandId id, int cellNumber, const QByteArray &cellText);

} // namespace tarvex::link
