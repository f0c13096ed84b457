// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex-ecu-sim: an ECU on a pseudo-terminal, for demos and tests.
#include "sim/Simulator.h"
#include "ProgramVersion.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <time.h>

int main(int argc, char *argv[])
{
    using namespace tarvex::sim;
    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &e) {
        std::cerr << "tarvex-ecu-sim: " << e.what() << "\n\n" << usage();
        return 2;
    }
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    if (options.version) {
        std::cout << "tarvex-ecu-sim " << TARVEX_VERSION << "\n" << TARVEX_VERSION_NOTICE;
        return 0;
    }

    // Signals are taken by this thread alone, so the link is always removed.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    // SIGUSR1 cycles the ignition: taken by the same wait, never a stop.
    sigset_t signals = stopSignals;
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Simulator simulator(options);
    try {
        simulator.start();
    } catch (const std::exception &e) {
        std::cerr << "tarvex-ecu-sim: " << e.what() << "\n";
        return 1;
    }
    std::cout << simulator.slavePath() << std::endl;
    if (!simulator.registryLink().empty())
        std::cerr << "registered as " << simulator.registryLink() << std::endl;

    const timespec tick{0, 100 * 1000 * 1000};
    while (simulator.running()) {
        const int signal = sigtimedwait(&signals, nullptr, &tick);
        if (signal == SIGUSR1)
            simulator.cycleIgnition(options.ignitionOffMs);
        else if (signal > 0)
            break;
    }
    const bool pulled = !simulator.running();
    simulator.stop();
    if (pulled)
        std::cerr << "cable pulled" << std::endl;
    return 0;
}
