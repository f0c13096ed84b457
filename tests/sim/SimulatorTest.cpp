// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/sim/SimFixture.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

using namespace tarvex::test;
using tarvex::sim::EcuModel;
using tarvex::sim::Simulator;

namespace {

// Whether a reply is "[", then for each tag its upper-case letter, digits
// (for the flags among them one digit, 0 or 1) and its lower-case letter,
// then "]". std::regex's compiler draws false warnings from GCC 12 at -O1.
bool taggedFields(const std::string &reply, const std::string &tags, const std::string &flags = "")
{
    size_t at = 0;
    auto take = [&](char c) { return at < reply.size() && reply[at] == c ? (++at, true) : false; };
    if (!take('['))
        return false;
    for (char tag : tags) {
        const size_t digits = at + 1;
        if (!take(tag))
            return false;
        while (at < reply.size() && std::isdigit(static_cast<unsigned char>(reply[at])))
            ++at;
        const bool flag = flags.find(tag) != std::string::npos;
        if (at == digits || (flag && (at != digits + 1 || reply[digits] > '1')))
            return false;
        if (!take(char(tag - 'A' + 'a')))
            return false;
    }
    return take(']') && at == reply.size();
}

std::vector<int> mapValues(const std::string &reply)
{
    std::vector<int> values;
    const size_t open = reply.find('[');
    if (open == std::string::npos)
        return values;
    std::string rest = reply.substr(open + 1);
    size_t comma;
    while ((comma = rest.find(',')) != std::string::npos) {
        values.push_back(std::stoi(rest.substr(0, comma)));
        rest.erase(0, comma + 1);
    }
    return values;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Simulator_ : public SimFixture {};

TEST_F(Simulator_, AnswersTheLiveDataRequestsWithTaggedFields)
{
    startSim();
    const std::string sensor = client->ask("<G>\r");
    EXPECT_TRUE(taggedFields(sensor, "ABCDFGH")) << sensor;
    const int rpm = std::stoi(field(sensor, 'A'));
    EXPECT_NEAR(rpm, 850, 60);
    EXPECT_NEAR(std::stoi(field(sensor, 'B')) / 33.5, 14.0, 0.5);
    // Cold start: about 15 degrees.
    EXPECT_NEAR((823 - std::stoi(field(sensor, 'C'))) / 6.8, 15, 3);

    const std::string state = client->ask("<H>\r");
    EXPECT_TRUE(taggedFields(state, "JKLMNOPRSTUVWXY", "UVWX")) << state;
    const int cell = std::stoi(field(state, 'J'));
    EXPECT_GE(cell, 1);
    EXPECT_LE(cell, 256);
    EXPECT_EQ((cell - 1) % 16, 2) << "850 rpm stands in the third column";
    EXPECT_EQ(field(state, 'R'), "0");
    EXPECT_EQ(field(state, 'X'), "0");
}

TEST_F(Simulator_, ReportsVersionDateAndTheConfiguredFaultCode)
{
    options.faultCode = 5;
    startSim();
    EXPECT_EQ(client->ask("<E>\r"), "[TARVEX-SIM 5.2 (28.07.23)]");
    EXPECT_EQ(client->ask("<Q>\r"), "[TARVEX-SIM 5.2 (28.07.23)]");
    EXPECT_EQ(client->ask("<Y>\r"), "[D7dM3mY23y]");
    EXPECT_EQ(field(client->ask("<H>\r"), 'R'), "5");
}

TEST_F(Simulator_, MapsReadWriteAndLoadTemplates)
{
    startSim();
    std::vector<int> fuel = mapValues(client->ask("<A>\r"));
    ASSERT_EQ(fuel.size(), 256u);
    const EcuModel::Map fuelTemplate = EcuModel::fuelTemplate();
    EXPECT_EQ(fuel, std::vector<int>(fuelTemplate.begin(), fuelTemplate.end()));
    const std::string raw = client->ask("<D>\r\r");
    EXPECT_EQ(raw.front(), '[');
    EXPECT_EQ(raw.substr(raw.size() - 2), ",]");
    ASSERT_EQ(mapValues(raw).size(), 256u);

    client->send("<B[   36/45]>\r");
    client->send("<B[   1/7]>\r\r");
    client->send("<B[   256/0999]>\r");
    client->send("<E[   5/33]>\r\r");
    client->send("<E[6/34]>\r\r");
    fuel = mapValues(client->ask("<A>\r"));
    ASSERT_EQ(fuel.size(), 256u);
    EXPECT_EQ(fuel[35], 45);
    EXPECT_EQ(fuel[0], 7);
    EXPECT_EQ(fuel[255], 999);
    std::vector<int> ign = mapValues(client->ask("<D>\r\r"));
    ASSERT_EQ(ign.size(), 256u);
    EXPECT_EQ(ign[4], 33);
    EXPECT_EQ(ign[5], 34);

    // Broken writes change nothing.
    client->send("<B[   0/5]>\r<B[   257/5]>\r<B[   3/x]>\r<B3/5>\r");
    EXPECT_EQ(mapValues(client->ask("<A>\r")), fuel);

    client->send("<N>\r");
    client->send("<O>\r");
    EXPECT_EQ(mapValues(client->ask("<A>\r"))[35], EcuModel::fuelTemplate()[35]);
    EXPECT_EQ(mapValues(client->ask("<D>\r\r"))[4], EcuModel::ignitionTemplate()[4]);
}

TEST_F(Simulator_, OnlyStoredMapsSurviveARestart)
{
    startSim();
    client->send("<B[   36/45]>\r");
    client->send("<E[   5/33]>\r\r");
    client->send("<C>\r");
    client->send("<B[   37/46]>\r"); // never stored
    client->ask("<A>\r");
    restartSim();
    const std::vector<int> fuel = mapValues(client->ask("<A>\r"));
    ASSERT_EQ(fuel.size(), 256u);
    EXPECT_EQ(fuel[35], 45);
    EXPECT_EQ(fuel[36], EcuModel::fuelTemplate()[36]);
    EXPECT_EQ(mapValues(client->ask("<D>\r\r"))[4], EcuModel::ignitionTemplate()[4]) << "<F> was not sent";
}

TEST_F(Simulator_, CalibrationStepsStoreAndDefaults)
{
    startSim();
    const std::string first = client->ask("<a>\r");
    EXPECT_EQ(first, "[A850aB1200bC5cD300dE100eF500fG470gH60hI250iJ3jK4kL1500lM20m]");

    client->send("<c>\r<c>\r<b>\r");
    std::string now = client->ask("<a>\r");
    EXPECT_EQ(field(now, 'A'), "875");

    // The last four commands are single bytes above 127.
    client->send(std::string("<\xE1>\r<\xE1>\r<\xE0>\r<\xE2>\r<\xE2>\r<\xE3>\r", 24));
    now = client->ask("<a>\r");
    EXPECT_EQ(field(now, 'L'), "1550");
    EXPECT_EQ(field(now, 'M'), "19");

    // Every parameter moves by its own command pair and stays within limits.
    for (const EcuModel::Param &p : EcuModel::params()) {
        std::string lowerMany;
        for (int i = 0; i < 200; ++i)
            lowerMany += std::string{'<', char(p.lower), '>', '\r'};
        client->send(lowerMany);
        EXPECT_EQ(field(client->ask("<a>\r"), p.field), std::to_string(p.min)) << p.field;
        client->send(std::string{'<', char(p.raise), '>', '\r'});
        EXPECT_EQ(field(client->ask("<a>\r"), p.field), std::to_string(std::min(p.max, p.min + p.step))) << p.field;
    }

    client->send("<v>\r");
    const std::string stored = client->ask("<a>\r");
    client->send("<w>\r");
    EXPECT_EQ(client->ask("<a>\r"), first);
    restartSim();
    EXPECT_EQ(client->ask("<a>\r"), stored);
}

TEST_F(Simulator_, ServiceCommandsShowInTheLiveData)
{
    startSim();
    client->send("<T>\r<T>\r<T>\r<S>\r");
    EXPECT_EQ(field(client->ask("<H>\r"), 'S'), "42");
    client->send("<V>\r");
    EXPECT_EQ(field(client->ask("<H>\r"), 'X'), "1");
    client->send("<V>\r");
    EXPECT_EQ(field(client->ask("<H>\r"), 'X'), "0");
    client->send("<I>\r\r<J>\r\r<K>\r\r<L>\r\r<M>\r\r<R>\r");
    client->ask("<H>\r");
    sim->withModel([](EcuModel &m) {
        EXPECT_EQ(m.testsRun(), 5);
        EXPECT_TRUE(m.stroboscope());
    });

    client->send("<P>\r");
    client->ask("<H>\r");
    sim->withModel([](EcuModel &m) { m.advance(4.0); });
    EXPECT_EQ(field(client->ask("<G>\r"), 'A'), "0") << "the engine has stopped";
    sim->withModel([](EcuModel &m) { m.advance(6.0); });
    EXPECT_GT(std::stoi(field(client->ask("<G>\r"), 'A')), 300) << "and starts again";
}

TEST_F(Simulator_, AutotuneSlowlyMovesCellsNearTheWorkingPoint)
{
    startSim();
    const std::vector<int> before = mapValues(client->ask("<A>\r"));
    client->send("<V>\r");
    client->ask("<H>\r");
    sim->withModel([](EcuModel &m) {
        for (int i = 0; i < 10; ++i)
            m.advance(0.2);
    });
    const std::vector<int> after = mapValues(client->ask("<A>\r"));
    ASSERT_EQ(after.size(), 256u);
    int changed = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i])
            continue;
        ++changed;
        EXPECT_EQ(std::abs(after[i] - before[i]), 1) << "cell " << i;
        EXPECT_LE(i / 16, 5u) << "idle load stays in the low rows";
    }
    EXPECT_GE(changed, 1);
    EXPECT_LE(changed, 2);
}

TEST_F(Simulator_, EngineWarmsAlongACurveAndBlipsTheThrottle)
{
    EcuModel model(7, std::string());
    double maxRpm = 0;
    double previousC = model.coolantC();
    for (int i = 0; i < 60 * 20; ++i) { // one minute in 50 ms steps
        model.advance(0.05);
        maxRpm = std::max(maxRpm, model.rpm());
        ASSERT_GE(model.coolantC(), previousC);
        previousC = model.coolantC();
    }
    EXPECT_GT(model.coolantC(), 25);
    EXPECT_LT(model.coolantC(), 40);
    EXPECT_GT(maxRpm, 2000) << "at least one blip in a minute";
    for (int i = 0; i < 30 * 60 * 20; ++i)
        model.advance(0.05);
    EXPECT_NEAR(model.coolantC(), 90, 2);
}

TEST_F(Simulator_, LoaderTakesGoodBlocksRefusesBadOnesAndWritesTheImage)
{
    startSim();
    // The loader wakes only once the engine is stopped.
    client->send("{");
    EXPECT_EQ(client->readFor(100), "");
    client->send("<P>\r");
    client->ask("<H>\r");
    client->send("{{{");
    EXPECT_EQ(client->readUntil("\x15"), "{\x15");

    auto block = [](int number, unsigned char fill, int len) {
        std::string b{char(0x01), char(number), char(255 - number)};
        unsigned sum = 0;
        for (int i = 0; i < 128; ++i) {
            const unsigned char v = i < len ? fill : 0xFF;
            b.push_back(char(v));
            sum += v;
        }
        b.push_back(char(sum & 0xFF));
        return b;
    };
    client->send(block(1, 0x11, 128));
    EXPECT_EQ(client->readUntil("\x06"), "\x06");
    std::string bad = block(2, 0x22, 128);
    bad[131] = char(bad[131] + 1);
    client->send(bad);
    EXPECT_EQ(client->readUntil("\x15"), "\x15");
    std::string wrongNumber = block(2, 0x22, 1);
    wrongNumber[2] = 0;
    client->send(wrongNumber);
    EXPECT_EQ(client->readUntil("\x15"), "\x15");
    client->send(block(2, 0x22, 1));
    EXPECT_EQ(client->readUntil("\x06"), "\x06");
    client->send("\x04");
    client->readFor(50);

    const std::string image = readFile(options.imageFile);
    ASSERT_EQ(image.size(), 256u);
    EXPECT_EQ(image.substr(0, 128), std::string(128, '\x11'));
    EXPECT_EQ(image[128], '\x22');
    EXPECT_EQ(image.substr(129), std::string(127, '\xFF'));
    // Back to frames afterwards.
    EXPECT_EQ(client->ask("<Y>\r"), "[D7dM3mY23y]");
}

TEST_F(Simulator_, RegistersItsPortAndRemovesTheLinkWhenStopped)
{
    options.links.push_back(dir + "/extra-port");
    startSim();
    const std::string link = sim->registryLink();
    EXPECT_EQ(link, options.registryDir + "/ecu-sim");
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim->slavePath());
    EXPECT_EQ(std::filesystem::read_symlink(dir + "/extra-port").string(), sim->slavePath());
    // The link opens the simulator's port.
    SimClient viaLink(link);
    ASSERT_TRUE(viaLink.isOpen());
    EXPECT_EQ(viaLink.ask("<Y>\r"), "[D7dM3mY23y]");

    // A second instance with the same name takes a name of its own.
    tarvex::sim::Options second = options;
    second.links.clear();
    second.transcriptFile.clear();
    Simulator other(second);
    other.start();
    EXPECT_NE(other.registryLink(), link);
    EXPECT_TRUE(std::filesystem::is_symlink(other.registryLink()));
    other.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(other.registryLink())));

    client.reset();
    sim->stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir + "/extra-port")));
}

TEST_F(Simulator_, TranscriptRecordsEveryFrameWithItsTime)
{
    startSim();
    const double before = Simulator::monotonicMs();
    client->ask("<D>\r\r");
    client->send(std::string("<\xE2>\r", 4));
    client->ask("<G>\r");
    client->send("<P>\r");
    client->send("<B[   1"); // a sender that stalls halfway through a frame
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    client->send("7/41]>\r");
    client->ask("<H>\r");
    client->send("{");
    client->readUntil("\x15");
    sim->stop();

    std::ifstream in(options.transcriptFile);
    std::vector<std::pair<double, std::string>> lines;
    double time;
    std::string rest;
    while (in >> time && std::getline(in, rest))
        lines.emplace_back(time, rest);
    std::vector<std::string> texts;
    for (auto &[t, text] : lines) {
        texts.push_back(text);
        EXPECT_GE(t, before);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{" RX <D>\\r\\r", " RX <\\xE2>\\r", " RX <G>\\r", " RX <P>\\r",
                                               " RX <B[   17/41]>\\r", " RX <H>\\r", " LOADER {"}));
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_GE(lines[i].first, lines[i - 1].first);
}

TEST_F(Simulator_, PacedRepliesArriveAtLineSpeed)
{
    options.paced = true;
    startSim();
    // A map reply is about 1000 bytes: some 170 ms at 57600 baud.
    tcflush(client->fd(), TCIOFLUSH);
    const auto start = std::chrono::steady_clock::now();
    client->send("<A>\r");
    const std::string firstBytes = client->readUntil("[", 1000);
    const double firstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const std::string rest = client->readUntil("]", 2000);
    const double allMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const size_t bytes = firstBytes.size() + rest.size();
    const double lineMs = double(bytes + 4) * 10000.0 / 57600.0;
    EXPECT_GT(firstMs, 0.5);
    EXPECT_LT(firstMs, 40);
    EXPECT_GT(allMs, lineMs * 0.9);
    EXPECT_LT(allMs, lineMs + 100);
}

} // namespace
