// SPDX-License-Identifier: GPL-3.0-or-later
// Costs on the main thread's path of every exchange: building the driver
// record and a purge-write-read round on a pseudo-terminal.
#include "link/BCPort.h"
#include "link/LineSettings.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace tarvex::link;

static void BM_BuildLineSettings(benchmark::State &state)
{
    for (auto _ : state) {
        LineSettingsRecord r = buildLineSettings(br57600, bs8, paNone, sb1);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_BuildLineSettings);

static void BM_PurgeWriteReadOnPty(benchmark::State &state)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw {};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    fcntl(master, F_SETFL, O_NONBLOCK);
    TBComPort port;
    port.SetBaudRate(br57600);
    port.SetPort(QString::fromLocal8Bit(name));
    port.Open();
    QByteArray reply;
    char sink[64];
    for (auto _ : state) {
        port.ClearBuffer(true, true);
        port.WriteStr("<G>\r");
        port.ReadStr(reply, 1024);
        while (read(master, sink, sizeof sink) > 0) {
        }
    }
    port.Close();
    close(slave);
    close(master);
}
BENCHMARK(BM_PurgeWriteReadOnPty);
