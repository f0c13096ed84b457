// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/EcuModel.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarvex::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRestartAfterS = 8;  // the fitter cranks it again
constexpr double kTuneEveryS = 1.5;

std::string tag(char letter, long value)
{
    std::string field;
    field.push_back(letter);
    field.append(std::to_string(value));
    field.push_back(char(letter + ('a' - 'A')));
    return field;
}

int rawFromCelsius(double c)
{
    return int(std::lround(823 - 6.8 * c));
}

} // namespace

const std::array<EcuModel::Param, EcuModel::kParams> &EcuModel::params()
{
    // Field, lower and raise command characters, default, limits and step.
    static const std::array<Param, kParams> table = {{
        {'A', 'b', 'c', 850, 600, 1500, 25},
        {'B', 'd', 'e', 1200, 800, 2000, 50},
        {'C', 'f', 'g', 5, 1, 20, 1},
        {'D', 'h', 'i', 300, 100, 800, 10},
        {'E', 'j', 'k', 100, 10, 500, 5},
        {'F', 'l', 'm', 500, 100, 800, 10},
        {'G', 'n', 'o', 470, 300, 600, 5},
        {'H', 'p', 'q', 60, 0, 250, 2},
        {'I', 'r', 's', 250, 100, 500, 5},
        {'J', 't', 'u', 3, 0, 20, 1},
        {'K', 'x', 'y', 4, 0, 30, 1},
        {'L', 0xE0, 0xE1, 1500, 1000, 3000, 50},
        {'M', 0xE2, 0xE3, 20, 0, 100, 1},
    }};
    return table;
}

EcuModel::Map EcuModel::fuelTemplate()
{
    Map m{};
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 16; ++col)
            m[size_t(row * 16 + col)] = 40 + 9 * row + 4 * col - (col > 10 ? 2 * (col - 10) : 0);
    return m;
}

EcuModel::Map EcuModel::ignitionTemplate()
{
    Map m{};
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 16; ++col)
            m[size_t(row * 16 + col)] = std::clamp(12 + 2 * col - row, 5, 40);
    return m;
}

EcuModel::EcuModel(unsigned seed, std::string stateFile, int faultCode)
    : m_random(seed), m_stateFile(std::move(stateFile)), m_faultCode(faultCode)
{
    m_fuel = fuelTemplate();
    m_ign = ignitionTemplate();
    for (int i = 0; i < kParams; ++i)
        m_cal[size_t(i)] = params()[size_t(i)].def;
    m_storedFuel = m_fuel;
    m_storedIgn = m_ign;
    m_storedCal = m_cal;
    load();
    m_fuel = m_storedFuel;
    m_ign = m_storedIgn;
    m_cal = m_storedCal;
    m_rpm = m_cal[0];
}

void EcuModel::restart()
{
    m_fuel = m_storedFuel;
    m_ign = m_storedIgn;
    m_cal = m_storedCal;
}

void EcuModel::setFuelError(int cell, double factor)
{
    if (cell < 1 || cell > kCells)
        return;
    const size_t i = size_t(cell - 1);
    m_fuel[i] = std::clamp(int(std::lround(fuelTemplate()[i] * factor)), 0, 999);
}

void EcuModel::setDrive(double holdS, std::vector<double> levels)
{
    m_driveHoldS = levels.empty() ? 0 : holdS;
    m_driveLevels = std::move(levels);
}

bool EcuModel::decelerating() const
{
    return m_running && m_throttle < 40 && m_rpm > 1500;
}

double EcuModel::exhaustAfr() const
{
    // 14.7 where the map gives the fuel the engine needs (the template),
    // leaner where it gives less; fuel cut on deceleration reads far lean.
    if (!m_running)
        return 22.0;
    if (decelerating())
        return 20.0;
    const size_t cell = size_t(workingCell() - 1);
    return 14.7 * fuelTemplate()[cell] / std::max(1, m_fuel[cell]);
}

double EcuModel::noise(double amplitude)
{
    return std::uniform_real_distribution<double>(-amplitude, amplitude)(m_random);
}

int EcuModel::workingCell() const
{
    const int col = std::clamp(int(m_rpm / 400), 0, 15);
    const int row = std::clamp(int(m_load / 64), 0, 15);
    return row * 16 + col + 1;
}

void EcuModel::advance(double dt)
{
    if (dt <= 0)
        return;
    m_time += dt;
    if (!m_running && m_time - m_stoppedAt >= kRestartAfterS) {
        m_running = true;
        m_nextBlip = m_time + 5;
    }

    double throttleTarget = 25;
    if (m_driveHoldS > 0) {
        // Up through the levels, then straight back to the first: a lift-off.
        if (m_running)
            throttleTarget = m_driveLevels[size_t(m_time / m_driveHoldS) % m_driveLevels.size()];
    } else {
        if (m_running && !m_inBlip && m_time >= m_nextBlip) {
            m_inBlip = true;
            m_blipEnd = m_time + 0.8 + std::abs(noise(1.2));
            m_blipThrottle = 350 + std::abs(noise(550));
        }
        if (m_inBlip && (m_time >= m_blipEnd || !m_running)) {
            m_inBlip = false;
            m_nextBlip = m_time + 6 + std::abs(noise(10));
        }
        if (m_inBlip)
            throttleTarget = m_blipThrottle;
    }
    m_throttle += (throttleTarget - m_throttle) * std::min(1.0, dt * 8);

    // Coolant warms along a curve while running, cools slowly when stopped.
    const double coolantTarget = m_running ? 90 : 20;
    m_coolantC += (coolantTarget - m_coolantC) * std::min(1.0, dt / (m_running ? 300 : 1200));

    const double warmUpEndC = (823 - m_cal[5]) / 6.8;
    const double idle = m_coolantC < warmUpEndC ? m_cal[1] : m_cal[0];
    const double target = m_running ? idle + (m_idleAirBase - 40) * 10 + std::max(0.0, m_throttle - 25) * 4 : 0;
    const double rate = !m_running ? 2.5 : target > m_rpm ? 3 : 1.5;
    m_rpm += (target - m_rpm) * std::min(1.0, dt * rate);
    if (!m_running && m_rpm < 30)
        m_rpm = 0;

    m_load = m_running ? 280 + m_throttle * 0.7 : 1000;
    m_lambdaPhase = std::fmod(m_lambdaPhase + dt * 2 * kPi * 1.1, 2 * kPi);
    m_exhaust.emplace_back(m_time, exhaustAfr());
    while (m_exhaust.size() > 1 && m_exhaust[1].first <= m_time - m_lambdaDelayS)
        m_exhaust.pop_front();

    // Autotune nudges the cell in use toward a slightly richer map.
    if (m_autotune && m_running && m_time >= m_nextTune) {
        m_nextTune = m_time + kTuneEveryS;
        const size_t cell = size_t(workingCell() - 1);
        const int ideal = int(std::lround(fuelTemplate()[cell] * 1.05));
        if (m_fuel[cell] < ideal)
            ++m_fuel[cell];
        else if (m_fuel[cell] > ideal)
            --m_fuel[cell];
    }
}

std::string EcuModel::sensorReply()
{
    const double rpm = m_rpm > 0 ? std::max(0.0, m_rpm + noise(12)) : 0;
    const double volts = m_running ? 14.1 + noise(0.08) : 12.4 + noise(0.03);
    const bool decel = decelerating();
    int lambda = 0;
    if (m_wideBand) {
        // Air-fuel ratio raw ÷ 106 + 10, of the exhaust the delay ago (the
        // oldest kept is at most that old).
        const double exhaust = m_exhaust.empty() ? exhaustAfr() : m_exhaust.front().second;
        const double afr = exhaust + noise(0.1);
        lambda = int(std::lround(std::clamp((afr - 10) * 106, 0.0, 1023.0)));
    } else if (!m_running)
        lambda = 45;
    else if (decel)
        lambda = 15;
    else
        lambda = int(std::lround(100 + 85 * std::sin(m_lambdaPhase) + noise(4)));
    std::string r = "[";
    r += tag('A', std::lround(rpm));
    r += tag('B', std::lround(volts * 33.5));
    r += tag('C', rawFromCelsius(m_coolantC));
    r += tag('D', std::lround(std::max(0.0, m_throttle + noise(2))));
    r += tag('F', std::lround(std::clamp(m_load + noise(5), 0.0, 1023.0)));
    r += tag('G', m_wideBand ? lambda : std::clamp(lambda, 0, 255));
    r += tag('H', rawFromCelsius(25 + (m_coolantC - 15) * 0.1));
    r += "]";
    return r;
}

std::string EcuModel::stateReply()
{
    const int cell = workingCell();
    const int base = m_fuel[size_t(cell - 1)];
    const int coolantCorr = 100 + int(std::max(0.0, 60 - m_coolantC) * 0.75);
    const int voltCorr = m_running ? 100 : 108;
    const int lambdaCorr = m_running ? 100 + int(std::lround(5 * std::sin(m_lambdaPhase + 1))) : 100;
    const long finalInj = m_running ? std::lround(base * 2.0 * coolantCorr / 100 * voltCorr / 100 * lambdaCorr / 100) : 0;
    const bool idle = m_running && m_throttle < 40 && m_rpm < 1200;
    const bool decel = decelerating();
    std::string r = "[";
    r += tag('J', cell);
    r += tag('K', m_ign[size_t(cell - 1)]);
    r += tag('L', base);
    r += tag('M', coolantCorr);
    r += tag('N', voltCorr);
    r += tag('O', lambdaCorr);
    r += tag('P', finalInj);
    r += tag('R', m_faultCode);
    r += tag('S', m_idleAirBase);
    r += tag('T', m_idleAirBase + (m_coolantC < 60 ? 10 : 0) + long(noise(2)));
    r += tag('U', idle ? 1 : 0);
    r += tag('V', 0);
    r += tag('W', decel ? 1 : 0);
    r += tag('X', m_autotune ? 1 : 0);
    r += tag('Y', 1);
    r += "]";
    return r;
}

std::string EcuModel::calibrationReply() const
{
    std::string r = "[";
    for (int i = 0; i < kParams; ++i)
        r += tag(params()[size_t(i)].field, m_cal[size_t(i)]);
    return r + "]";
}

std::string EcuModel::mapReply(const Map &map)
{
    std::string r = "[";
    for (int v : map)
        r += std::to_string(v) + ",";
    return r + "]";
}

bool EcuModel::writeCell(Map &map, const std::string &payload)
{
    // payload: "[" spaces N "/" V "]"
    if (payload.size() < 4 || payload.front() != '[' || payload.back() != ']')
        return false;
    const std::string body = payload.substr(1, payload.size() - 2);
    const size_t slash = body.find('/');
    if (slash == std::string::npos)
        return false;
    std::string number = body.substr(0, slash);
    number.erase(0, number.find_first_not_of(' '));
    const std::string value = body.substr(slash + 1);
    auto digits = [](const std::string &s) {
        return !s.empty() && s.size() <= 6 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(number) || !digits(value))
        return false;
    const int n = std::stoi(number);
    if (n < 1 || n > kCells)
        return false;
    map[size_t(n - 1)] = std::min(std::stoi(value), 999);
    return true;
}

std::string EcuModel::handleFrame(const std::string &frame)
{
    if (frame.size() < 3 || frame.front() != '<' || frame.back() != '>')
        return {};
    const unsigned char command = static_cast<unsigned char>(frame[1]);
    const std::string payload = frame.substr(2, frame.size() - 3);

    if (!payload.empty()) {
        if (command == 'B')
            writeCell(m_fuel, payload);
        else if (command == 'E')
            writeCell(m_ign, payload);
        return {};
    }
    switch (command) {
    case 'G': return sensorReply();
    case 'H': return stateReply();
    case 'A': return mapReply(m_fuel);
    case 'D': return mapReply(m_ign);
    case 'E':
    case 'Q': return "[" + m_version + "]";
    case 'Y': return "[D7dM3mY23y]";
    case 'a': return calibrationReply();
    case 'C': m_storedFuel = m_fuel; saveStateFile(); return {};
    case 'F': m_storedIgn = m_ign; saveStateFile(); return {};
    case 'v': m_storedCal = m_cal; saveStateFile(); return {};
    case 'N': m_fuel = fuelTemplate(); return {};
    case 'O': m_ign = ignitionTemplate(); return {};
    case 'w':
        for (int i = 0; i < kParams; ++i)
            m_cal[size_t(i)] = params()[size_t(i)].def;
        return {};
    case 'P':
        m_running = false;
        m_stoppedAt = m_time;
        m_autotune = false;
        return {};
    case 'S': m_idleAirBase = std::max(0, m_idleAirBase - 1); return {};
    case 'T': m_idleAirBase = std::min(255, m_idleAirBase + 1); return {};
    case 'V': m_autotune = !m_autotune; m_nextTune = m_time + kTuneEveryS; return {};
    case 'R': m_stroboscope = !m_stroboscope; return {};
    case 'I':
    case 'J':
    case 'K':
    case 'L':
    case 'M': ++m_testsRun; return {};
    default: break;
    }
    for (int i = 0; i < kParams; ++i) {
        const Param &p = params()[size_t(i)];
        int &v = m_cal[size_t(i)];
        if (command == p.lower)
            v = std::max(p.min, v - p.step);
        else if (command == p.raise)
            v = std::min(p.max, v + p.step);
    }
    return {};
}

void EcuModel::saveStateFile() const
{
    if (m_stateFile.empty())
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(m_stateFile).parent_path(), ec);
    const std::string temp = m_stateFile + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        auto line = [&out](const char *name, auto &&values) {
            out << name;
            for (int v : values)
                out << ' ' << v;
            out << '\n';
        };
        line("fuel", m_storedFuel);
        line("ign", m_storedIgn);
        line("cal", m_storedCal);
        if (!out)
            return;
    }
    fs::rename(temp, m_stateFile, ec);
}

void EcuModel::load()
{
    std::ifstream in(m_stateFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        std::vector<int> values;
        for (int v; fields >> v;)
            values.push_back(v);
        if (name == "fuel" && values.size() == kCells)
            std::copy(values.begin(), values.end(), m_storedFuel.begin());
        else if (name == "ign" && values.size() == kCells)
            std::copy(values.begin(), values.end(), m_storedIgn.begin());
        else if (name == "cal" && values.size() == kParams)
            std::copy(values.begin(), values.end(), m_storedCal.begin());
    }
}

} // namespace tarvex::sim
