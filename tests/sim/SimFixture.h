// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/Simulator.h"
#include "tests/sim/SimClient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace tarvex::test {

// A simulator on a thread with its own registry, state and transcript
// files in a fresh folder.
class SimFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tarvex-sim-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        options.registryDir = dir + "/ports";
        options.stateFile = dir + "/ecu.state";
        options.imageFile = dir + "/image.bin";
        options.transcriptFile = dir + "/transcript.txt";
        options.paced = false;
    }

    void TearDown() override
    {
        client.reset();
        if (sim)
            sim->stop();
        sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    void startSim()
    {
        sim = std::make_unique<sim::Simulator>(options);
        sim->start();
        client = std::make_unique<SimClient>(sim->slavePath());
        ASSERT_TRUE(client->isOpen());
    }

    void restartSim()
    {
        client.reset();
        sim->stop();
        startSim();
    }

    std::string dir;
    sim::Options options;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<SimClient> client;
};

} // namespace tarvex::test
