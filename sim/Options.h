// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvex::sim {

struct Options {
    std::string name = "ecu-sim";   // instance name: the registry link's name
    bool registerPort = true;       // link the pty into the port registry
    std::string registryDir;        // empty: the usual registry folder
    std::vector<std::string> links; // further links to the pty
    std::string stateFile;          // empty: under the user's state folder
    std::string imageFile;          // empty: under the user's state folder
    std::string transcriptFile;
    bool paced = true;
    int baud = 57600;
    unsigned seed = 1;
    int faultCode = 0;
    // The lambda sensor: narrow-band (swinging around 100) or wide-band,
    // whose reading follows how the fuel map's cell in use differs from the
    // fuel the engine needs (the template).
    bool wideBand = false;
    // Fuel map cells (1 to 256) the ECU starts with wrong by a factor.
    struct FuelError {
        int cell = 0;
        double factor = 1.0;
    };
    std::vector<FuelError> fuelErrors;
    // The exhaust reaches the wide-band sensor this late.
    int lambdaDelayMs = 0;
    // A drive cycle instead of idling with blips: the throttle steps through
    // the levels, holding each this long (0: no cycle).
    double driveHoldS = 0;
    std::vector<double> driveLevels = {25, 100, 200, 300, 400, 500};
    bool warm = false; // the engine starts at working temperature

    // Fault injection.
    bool silent = false;
    bool garbage = false;
    int cutAfter = -1;      // bytes of each reply that are sent
    int delayMs = 0;        // before each reply
    int nakEvery = 0;       // every k-th loader block is refused
    bool silentLoader = false;
    double pullAfterS = -1; // the cable is pulled after this many seconds
    double replugAfterS = -1; // and plugged in again (a new pty, the same link) this long after
    bool restartOnReplug = false; // the ignition was cycled meanwhile: unstored changes are lost
    // The ignition switched off and on with the cable in: silent this long,
    // then a restarted ECU. Once at a time, or whenever SIGUSR1 comes.
    double ignitionCycleAfterS = -1;
    int ignitionOffMs = 1500;

    // Another firmware text in the connect reply after a replug: another ECU
    // on the same adapter's name.
    std::string versionAfterReplug;

    bool help = false;
    bool version = false;
};

// Parses the command line; throws std::invalid_argument with a message.
Options parseOptions(const std::vector<std::string> &args);
std::string usage();

std::string defaultRegistryDir();
std::string defaultStateDir();

} // namespace tarvex::sim
