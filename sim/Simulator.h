// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/EcuModel.h"
#include "sim/FrameReader.h"
#include "sim/Loader.h"
#include "sim/Options.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvex::sim {

// The ECU on a pseudo-terminal: opens the pair, registers the port, and
// answers on its own thread at line speed until stopped.
class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Throws std::runtime_error when the port cannot be set up.
    void start();
    void stop();
    // False once stopped or after the cable was pulled.
    bool running() const { return m_running; }

    std::string slavePath() const { return m_slavePath; }
    std::string registryLink() const { return m_registryLink; }
    std::string stateFile() const { return m_stateFile; }
    std::string imageFile() const { return m_imageFile; }

    // Pulls the cable now (from any thread); with replugAfterS set it comes
    // back that long after.
    void pull();
    // Plugs a pulled cable in again now: a new line under the same link.
    void replug();
    bool pulled() const { return m_pulled; }
    // When the cable was last plugged in again: the port's link back in
    // place (monotonicMs); -1 before any replug.
    double pluggedInAtMs() const { return m_pluggedInAtMs; }

    // The ignition switched off and on with the cable in (from any thread):
    // nothing is answered for offMs, then the ECU starts again with its
    // stored maps and calibration.
    void cycleIgnition(int offMs);
    bool ignitionOff() const { return m_ignitionOff; }
    int ignitionCycles() const { return m_ignitionCycles; }

    // Runs f on the model while the simulator's thread is held off.
    void withModel(const std::function<void(EcuModel &)> &f);

    static double monotonicMs();

private:
    void run();
    void onBytes(const unsigned char *data, size_t count, double now);
    void schedule(std::string bytes, double startMs);
    void reply(const std::string &reply, double readyMs);
    void sendDue(double now);
    void flushTranscript(double now, bool force);
    void transcriptLine(double timeMs, const char *kind, const std::string &bytes);
    void pullCable();
    void plugIn();
    void openLine();
    void registerLinks();
    void removeLinks();
    void finishImage();
    double byteMs() const;

    Options m_options;
    std::string m_stateFile;
    std::string m_imageFile;
    std::unique_ptr<EcuModel> m_model;
    std::mutex m_modelMutex;

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::string m_registryLink;
    std::vector<std::string> m_links;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_pullRequested{false};
    std::atomic<bool> m_replugRequested{false};
    std::atomic<bool> m_pulled{false};
    std::atomic<double> m_pluggedInAtMs{-1};
    bool m_timedPullDone = false;
    std::atomic<int> m_ignitionOffRequestMs{-1};
    std::atomic<bool> m_ignitionOff{false};
    std::atomic<int> m_ignitionCycles{0};
    bool m_timedIgnitionDone = false;
    double m_ignitionOnAtMs = -1;
    double m_replugAtMs = -1;
    double m_startMs = 0;

    struct Pending {
        std::string frame;
        double readyMs;
    };
    std::vector<Pending> m_pending;
    struct Out {
        char byte;
        double dueMs;
    };
    std::vector<Out> m_tx;
    size_t m_txHead = 0;
    double m_lineFreeMs = 0;

    FrameReader m_reader;
    Loader m_loader;

    std::FILE *m_transcript = nullptr;
    std::string m_transcriptFrame;
    double m_transcriptFrameMs = 0;
    double m_lastRxMs = 0;
};

} // namespace tarvex::sim
