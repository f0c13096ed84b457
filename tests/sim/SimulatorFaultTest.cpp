// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/sim/SimFixture.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarvex::test;

extern char **environ;

namespace {

double msSince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

class SimulatorFaults : public SimFixture {};

TEST_F(SimulatorFaults, SilentNeverAnswersButStillObeys)
{
    options.silent = true;
    startSim();
    EXPECT_EQ(client->ask("<G>\r", "]", 200), "");
    client->send("<B[   36/45]>\r");
    client->ask("<A>\r", "]", 100);
    sim->withModel([](tarvex::sim::EcuModel &m) { EXPECT_EQ(m.fuelCell(35), 45); });
}

TEST_F(SimulatorFaults, GarbageReplacesEveryReply)
{
    options.garbage = true;
    startSim();
    client->send("<Y>\r");
    const std::string reply = client->readFor(200);
    EXPECT_EQ(reply.size(), std::string("[D7dM3mY23y]").size());
    EXPECT_EQ(reply.find('['), std::string::npos);
    EXPECT_EQ(reply.find(']'), std::string::npos);
}

TEST_F(SimulatorFaults, CutSendsOnlyTheFirstBytes)
{
    options.cutAfter = 5;
    startSim();
    client->send("<Y>\r");
    EXPECT_EQ(client->readFor(200), "[D7dM");
}

TEST_F(SimulatorFaults, DelayHoldsEveryReplyBack)
{
    options.delayMs = 150;
    startSim();
    tcflush(client->fd(), TCIOFLUSH);
    const auto start = std::chrono::steady_clock::now();
    client->send("<Y>\r");
    EXPECT_EQ(client->readUntil("]", 1000), "[D7dM3mY23y]");
    EXPECT_GE(msSince(start), 145);
    EXPECT_LT(msSince(start), 400);
}

std::string block(int number)
{
    std::string b{char(0x01), char(number), char(255 - number)};
    b += std::string(128, '\x5A');
    b.push_back(char((0x5A * 128) & 0xFF));
    return b;
}

TEST_F(SimulatorFaults, NakEveryKthBlock)
{
    options.nakEvery = 3;
    startSim();
    client->send("<P>\r");
    client->ask("<H>\r");
    client->send("{");
    ASSERT_EQ(client->readUntil("\x15"), "{\x15");
    std::string answers;
    for (int n = 1; n <= 3; ++n) {
        client->send(block(n));
        answers += client->readUntil(n < 3 ? "\x06" : "\x15", 500);
    }
    EXPECT_EQ(answers, "\x06\x06\x15");
    client->send(block(3));
    EXPECT_EQ(client->readUntil("\x06", 500), "\x06") << "the same block again is taken";
}

TEST_F(SimulatorFaults, SilentLoaderNeverAnswersTheHandshake)
{
    options.silentLoader = true;
    startSim();
    client->send("<P>\r");
    client->ask("<H>\r");
    client->send("{{{{");
    EXPECT_EQ(client->readFor(200), "");
    EXPECT_EQ(client->ask("<Y>\r"), "[D7dM3mY23y]") << "frames are still answered";
}

TEST_F(SimulatorFaults, PulledCableHangsUpTheLine)
{
    options.pullAfterS = 0.2;
    startSim();
    EXPECT_EQ(client->ask("<Y>\r"), "[D7dM3mY23y]");
    const std::string link = sim->registryLink();
    const auto start = std::chrono::steady_clock::now();
    while (sim->running() && msSince(start) < 2000)
        usleep(5000);
    EXPECT_FALSE(sim->running());
    pollfd p{client->fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 100), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// The ignition cycled with the cable in: the line stays open, the ECU is
// silent for a while and comes back with what it had stored.
TEST_F(SimulatorFaults, AnIgnitionCycleSilencesTheEcuAndLosesWhatWasNotStored)
{
    startSim();
    client->send("<B[   36/45]>\r");
    client->send("<C>\r");
    client->send("<B[   37/46]>\r"); // never stored
    client->ask("<A>\r");
    sim->cycleIgnition(300);
    const auto start = std::chrono::steady_clock::now();
    while (!sim->ignitionOff() && msSince(start) < 1000)
        usleep(2000);
    ASSERT_TRUE(sim->ignitionOff());
    EXPECT_EQ(client->ask("<Y>\r"), "") << "no answer while the ignition is off";
    while (sim->ignitionOff() && msSince(start) < 2000)
        usleep(5000);
    EXPECT_TRUE(sim->running()) << "the line was never closed";
    EXPECT_EQ(sim->ignitionCycles(), 1);
    // Cells 36 and 37 are the 36th and 37th values of the map's reply.
    const std::string reply = client->ask("<A>\r");
    std::vector<std::string> values;
    for (size_t from = reply.find('[') + 1, comma; (comma = reply.find(',', from)) != std::string::npos; from = comma + 1)
        values.push_back(reply.substr(from, comma - from));
    ASSERT_EQ(values.size(), 256u);
    EXPECT_EQ(values[35], "45");
    EXPECT_EQ(values[36], std::to_string(tarvex::sim::EcuModel::fuelTemplate()[36]));
}

TEST(SimulatorProgram, PrintsItsPortAndCleansUpOnSignal)
{
    char pattern[] = "/tmp/tarvex-sim-exe-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string registry = dir + "/ports";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string state = dir + "/s.ecu";
    std::vector<std::string> args = {TARVEX_ECU_SIM, "--registry", registry, "--name", "bench", "--state", state};
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARVEX_ECU_SIM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    close(out[0]);
    EXPECT_EQ(line.rfind("/dev/pts/", 0), 0u) << line;
    const std::string link = registry + "/bench";
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), line);
    {
        SimClient client(link);
        EXPECT_EQ(client.ask("<Y>\r"), "[D7dM3mY23y]");
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(dir);
}

TEST(SimulatorProgram, RejectsUnknownOptionsAndExplainsItself)
{
    auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), TARVEX_ECU_SIM);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        posix_spawn(&pid, TARVEX_ECU_SIM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
        return WEXITSTATUS(status);
    };
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_EQ(run({"--cut"}), 2);
    EXPECT_EQ(run({"--delay", "soon"}), 2);
}

TEST(SimulatorOptions, ParsesEveryOption)
{
    using tarvex::sim::parseOptions;
    const auto o = parseOptions({"--name", "bench", "--link", "/tmp/a", "--link", "/tmp/b", "--registry", "/r",
                                 "--state", "/s", "--image", "/i", "--transcript", "/t", "--unpaced", "--baud",
                                 "9600", "--seed", "4", "--fault-code", "7", "--silent", "--garbage", "--cut", "3",
                                 "--delay", "20", "--nak-every", "2", "--silent-loader", "--pull-after", "1.5",
                                 "--no-register"});
    EXPECT_EQ(o.name, "bench");
    EXPECT_EQ(o.links, (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
    EXPECT_EQ(o.registryDir, "/r");
    EXPECT_EQ(o.stateFile, "/s");
    EXPECT_EQ(o.imageFile, "/i");
    EXPECT_EQ(o.transcriptFile, "/t");
    EXPECT_FALSE(o.paced);
    EXPECT_FALSE(o.registerPort);
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.seed, 4u);
    EXPECT_EQ(o.faultCode, 7);
    EXPECT_TRUE(o.silent && o.garbage && o.silentLoader);
    EXPECT_EQ(o.cutAfter, 3);
    EXPECT_EQ(o.delayMs, 20);
    EXPECT_EQ(o.nakEvery, 2);
    EXPECT_DOUBLE_EQ(o.pullAfterS, 1.5);
    EXPECT_THROW(parseOptions({"--name", "a/b"}), std::invalid_argument);
    EXPECT_THROW(parseOptions({"--baud", "0"}), std::invalid_argument);

    const auto tuning = parseOptions({"--fuel-error", "67:0.8", "--fuel-error", "83:1.15", "--lambda-delay", "300",
                                      "--drive", "2.5"});
    EXPECT_EQ(std::tuple(tuning.fuelErrors.size(), tuning.fuelErrors[1].cell, tuning.lambdaDelayMs, tuning.driveHoldS),
              std::tuple(2u, 83, 300, 2.5));
    EXPECT_THROW(parseOptions({"--fuel-error", "67:nan"}), std::invalid_argument);

    const auto ignition = parseOptions({"--ignition-cycle-after", "4.5", "--ignition-off", "800"});
    EXPECT_EQ(std::tuple(ignition.ignitionCycleAfterS, ignition.ignitionOffMs), std::tuple(4.5, 800));
    EXPECT_THROW(parseOptions({"--ignition-off", "-1"}), std::invalid_argument);
}

} // namespace
