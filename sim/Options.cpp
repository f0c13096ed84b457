// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Options.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace tarvex::sim {

namespace {

int toInt(const std::string &option, const std::string &text)
{
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size())
            return value;
    } catch (const std::exception &) {
    }
    throw std::invalid_argument(option + " takes a whole number, not '" + text + "'");
}

double toDouble(const std::string &option, const std::string &text)
{
    try {
        size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size())
            return value;
    } catch (const std::exception &) {
    }
    throw std::invalid_argument(option + " takes a number, not '" + text + "'");
}

} // namespace

std::string usage()
{
    return "Usage: tarvex-ecu-sim [options]\n"
           "Simulates the ECU on a pseudo-terminal and registers it as a virtual port.\n"
           "\n"
           "  --name NAME          instance name, also the registry link's name (ecu-sim)\n"
           "  --link PATH          also create a symbolic link to the port at PATH (repeatable)\n"
           "  --registry DIR       port registry folder (default: $XDG_RUNTIME_DIR/tarvex/ports)\n"
           "  --no-register        do not register the port\n"
           "  --state FILE         where stored maps and calibration are kept\n"
           "  --image FILE         where a loaded firmware image is written\n"
           "  --transcript FILE    log every received frame and loader byte with its time\n"
           "  --unpaced            answer at once instead of at line speed\n"
           "  --baud N             line speed the pacing follows (57600)\n"
           "  --seed N             seed of the engine's noise (1)\n"
           "  --fault-code N       fault code reported in the live data (0)\n"
           "  --wide-band          a wide-band lambda sensor, reading how rich the map runs\n"
           "  --fuel-error C:F     the fuel map's cell C (1 to 256) starts F times its true value (repeatable)\n"
           "  --lambda-delay MS    the exhaust reaches the wide-band sensor MS milliseconds late (0 to 5000)\n"
           "  --drive S            a drive cycle: the throttle steps through 25, 100, 200, 300, 400 and 500\n"
           "                       and drops back, holding each level S seconds, instead of idling with blips\n"
           "  --warm               the engine starts at working temperature\n"
           "\n"
           "Faults:\n"
           "  --silent             never answer\n"
           "  --garbage            answer with random bytes\n"
           "  --cut N              send only the first N bytes of each reply\n"
           "  --delay MS           answer MS milliseconds late\n"
           "  --nak-every K        refuse every K-th firmware block\n"
           "  --silent-loader      the firmware loader never answers\n"
           "  --pull-after S       pull the cable (close the line) after S seconds\n"
           "  --replug-after S     plug it in again S seconds after a pull: a new line under the same link\n"
           "  --restart-on-replug  the ECU restarts while the cable is out: what was not stored is lost\n"
           "  --ignition-cycle-after S\n"
           "                       switch the ignition off after S seconds with the cable in: the ECU is\n"
           "                       silent, then restarts with its stored maps (so does SIGUSR1, at any time)\n"
           "  --ignition-off MS    how long the ignition stays off (1500)\n"
           "  --version-after-replug TEXT\n"
           "                       answer the connect request with TEXT after a replug (another ECU)\n"
           "\n"
           "  --help               this text\n"
           "  --version            the version\n";
}

Options parseOptions(const std::vector<std::string> &args)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h")
            o.help = true;
        else if (a == "--version")
            o.version = true;
        else if (a == "--name")
            o.name = value();
        else if (a == "--link")
            o.links.push_back(value());
        else if (a == "--registry")
            o.registryDir = value();
        else if (a == "--no-register")
            o.registerPort = false;
        else if (a == "--state")
            o.stateFile = value();
        else if (a == "--image")
            o.imageFile = value();
        else if (a == "--transcript")
            o.transcriptFile = value();
        else if (a == "--unpaced")
            o.paced = false;
        else if (a == "--baud")
            o.baud = toInt(a, value());
        else if (a == "--seed")
            o.seed = unsigned(toInt(a, value()));
        else if (a == "--fault-code")
            o.faultCode = toInt(a, value());
        else if (a == "--wide-band")
            o.wideBand = true;
        else if (a == "--warm")
            o.warm = true;
        else if (a == "--fuel-error") {
            const std::string &v = value();
            const size_t colon = v.find(':');
            if (colon == std::string::npos)
                throw std::invalid_argument("--fuel-error needs CELL:FACTOR");
            const Options::FuelError error{toInt(a, v.substr(0, colon)), toDouble(a, v.substr(colon + 1))};
            if (error.cell < 1 || error.cell > 256 || !(error.factor > 0 && error.factor < 100))
                throw std::invalid_argument("--fuel-error needs a cell 1 to 256 and a factor above 0");
            o.fuelErrors.push_back(error);
        } else if (a == "--lambda-delay") {
            o.lambdaDelayMs = toInt(a, value());
            if (o.lambdaDelayMs < 0 || o.lambdaDelayMs > 5000)
                throw std::invalid_argument("--lambda-delay takes 0 to 5000 milliseconds");
        } else if (a == "--drive") {
            o.driveHoldS = toDouble(a, value());
            if (!(o.driveHoldS > 0 && o.driveHoldS <= 3600))
                throw std::invalid_argument("--drive takes a time above 0 and up to 3600 seconds");
        } else if (a == "--silent")
            o.silent = true;
        else if (a == "--restart-on-replug")
            o.restartOnReplug = true;
        else if (a == "--garbage")
            o.garbage = true;
        else if (a == "--cut")
            o.cutAfter = toInt(a, value());
        else if (a == "--delay")
            o.delayMs = toInt(a, value());
        else if (a == "--nak-every")
            o.nakEvery = toInt(a, value());
        else if (a == "--silent-loader")
            o.silentLoader = true;
        else if (a == "--pull-after")
            o.pullAfterS = toDouble(a, value());
        else if (a == "--replug-after")
            o.replugAfterS = toDouble(a, value());
        else if (a == "--ignition-cycle-after")
            o.ignitionCycleAfterS = toDouble(a, value());
        else if (a == "--ignition-off") {
            o.ignitionOffMs = toInt(a, value());
            if (o.ignitionOffMs < 0 || o.ignitionOffMs > 600000)
                throw std::invalid_argument("--ignition-off takes 0 to 600000 milliseconds");
        } else if (a == "--version-after-replug")
            o.versionAfterReplug = value();
        else
            throw std::invalid_argument("unknown option " + a);
    }
    if (o.name.empty() || o.name.find('/') != std::string::npos)
        throw std::invalid_argument("--name must be a plain name");
    if (o.baud <= 0)
        throw std::invalid_argument("--baud must be above 0");
    if (o.cutAfter < -1 || o.delayMs < 0 || o.nakEvery < 0)
        throw std::invalid_argument("fault values must not be negative");
    return o;
}

std::string defaultRegistryDir()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/tarvex/ports";
    return "/tmp/tarvex-" + std::to_string(getuid()) + "/ports";
}

std::string defaultStateDir()
{
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/tarvex";
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/state/tarvex";
    return "/tmp/tarvex-" + std::to_string(getuid()) + "/state";
}

} // namespace tarvex::sim
