// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <random>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tarvex::sim {

// The simulated ECU: its maps, calibration, service state and a small
// engine model. It answers one command frame at a time.
class EcuModel {
public:
    static constexpr int kCells = 256;
    static constexpr int kParams = 13;
    using Map = std::array<int, kCells>;

    struct Param {
        char field;      // tag letter in the calibration reply
        unsigned char lower;
        unsigned char raise;
        int def, min, max, step;
    };
    static const std::array<Param, kParams> &params();

    EcuModel(unsigned seed, std::string stateFile, int faultCode = 0);

    // One frame, "<" to ">" inclusive; returns the reply bytes (may be empty).
    std::string handleFrame(const std::string &frame);
    // Moves the engine model on by dt seconds.
    void advance(double dt);

    bool engineRunning() const { return m_running; }
    double rpm() const { return m_rpm; }
    double coolantC() const { return m_coolantC; }
    bool autotune() const { return m_autotune; }
    int fuelCell(int index) const { return m_fuel[size_t(index)]; }
    int ignCell(int index) const { return m_ign[size_t(index)]; }
    int param(int index) const { return m_cal[size_t(index)]; }
    int idleAirBase() const { return m_idleAirBase; }
    int workingCell() const; // 1 to 256
    void setFaultCode(int code) { m_faultCode = code; }
    // The lambda sensor's kind (see Options::wideBand).
    void setWideBand(bool wide) { m_wideBand = wide; }
    // The firmware text of the connect and version replies.
    void setVersion(std::string version) { m_version = std::move(version); }
    // The fuel map's cell (1 to 256) becomes factor times its true value.
    void setFuelError(int cell, double factor);
    // How late the exhaust reaches the wide-band sensor.
    void setLambdaDelay(double seconds) { m_lambdaDelayS = seconds; }
    // A drive cycle through the throttle levels, each held this long; 0 idles
    // with blips.
    void setDrive(double holdS, std::vector<double> levels);
    void setCoolant(double celsius) { m_coolantC = celsius; }
    // The ignition switched off and on: the maps and calibration are what
    // was stored; what was only written is lost.
    void restart();
    int testsRun() const { return m_testsRun; }
    bool stroboscope() const { return m_stroboscope; }

    static Map fuelTemplate();
    static Map ignitionTemplate();

private:
    std::string sensorReply();
    std::string stateReply();
    std::string calibrationReply() const;
    static std::string mapReply(const Map &map);
    bool writeCell(Map &map, const std::string &payload);
    void saveStateFile() const;
    void load();
    double noise(double amplitude);
    bool decelerating() const;
    // The air-fuel ratio of the exhaust the engine makes now.
    double exhaustAfr() const;

    std::mt19937 m_random;
    std::string m_stateFile;
    Map m_fuel{};
    Map m_ign{};
    std::array<int, kParams> m_cal{};
    // What the ECU's non-volatile memory holds; a store copies into it.
    Map m_storedFuel{};
    Map m_storedIgn{};
    std::array<int, kParams> m_storedCal{};
    int m_faultCode;
    std::string m_version = "TARVEX-SIM 5.2 (28.07.23)";
    int m_idleAirBase = 40;
    bool m_autotune = false;
    bool m_stroboscope = false;
    bool m_wideBand = false;
    int m_testsRun = 0;

    // Engine.
    double m_time = 0;
    bool m_running = true;
    double m_stoppedAt = 0;
    double m_rpm = 850;
    double m_coolantC = 15;
    double m_throttle = 25;
    double m_load = 300;
    double m_lambdaPhase = 0;
    bool m_inBlip = false;
    double m_blipEnd = 0;
    double m_blipThrottle = 0;
    double m_nextBlip = 5;
    double m_nextTune = 0;
    double m_driveHoldS = 0;
    std::vector<double> m_driveLevels;
    double m_lambdaDelayS = 0;
    std::deque<std::pair<double, double>> m_exhaust; // time, air-fuel ratio
};

} // namespace tarvex::sim
