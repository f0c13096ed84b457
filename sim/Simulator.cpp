// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace tarvex::sim {

namespace fs = std::filesystem;

namespace {

constexpr double kModelStepMs = 20;
constexpr double kTranscriptGapMs = 3; // silence that ends a transcript line

std::string escaped(const std::string &bytes)
{
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += char(c);
    }
    return out;
}

bool linkIsStale(const fs::path &link)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec)))
        return false;
    return !fs::exists(link, ec);
}

} // namespace

double Simulator::monotonicMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

Simulator::Simulator(Options options) : m_options(std::move(options)), m_loader(m_options.nakEvery)
{
    m_stateFile = m_options.stateFile.empty() ? defaultStateDir() + "/" + m_options.name + ".ecu" : m_options.stateFile;
    m_imageFile = m_options.imageFile.empty() ? defaultStateDir() + "/" + m_options.name + "-firmware.bin"
                                              : m_options.imageFile;
    m_model = std::make_unique<EcuModel>(m_options.seed, m_stateFile, m_options.faultCode);
    m_model->setWideBand(m_options.wideBand);
    for (const Options::FuelError &error : m_options.fuelErrors)
        m_model->setFuelError(error.cell, error.factor);
    m_model->setLambdaDelay(m_options.lambdaDelayMs / 1000.0);
    m_model->setDrive(m_options.driveHoldS, m_options.driveLevels);
    if (m_options.warm)
        m_model->setCoolant(88);
}

Simulator::~Simulator()
{
    stop();
}

double Simulator::byteMs() const
{
    // Ten bits a byte: start, eight data bits, stop.
    return m_options.paced ? 10000.0 / m_options.baud : 0.0;
}

void Simulator::start()
{
    if (m_running)
        return;
    openLine();
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create a wake-up pipe");

    if (!m_options.transcriptFile.empty()) {
        m_transcript = std::fopen(m_options.transcriptFile.c_str(), "w");
        if (!m_transcript)
            throw std::runtime_error("cannot write the transcript " + m_options.transcriptFile);
    }
    registerLinks();
    m_startMs = monotonicMs();
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void Simulator::openLine()
{
    termios raw {};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

void Simulator::pull()
{
    m_pullRequested = true;
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], "x", 1);
}

void Simulator::cycleIgnition(int offMs)
{
    m_ignitionOffRequestMs = std::max(0, offMs);
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], "x", 1);
}

void Simulator::replug()
{
    m_replugRequested = true;
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], "x", 1);
}

void Simulator::plugIn()
{
    if (m_options.restartOnReplug) {
        std::lock_guard lock(m_modelMutex);
        m_model->restart();
    }
    openLine();
    if (!m_options.versionAfterReplug.empty()) {
        std::lock_guard lock(m_modelMutex);
        m_model->setVersion(m_options.versionAfterReplug);
    }
    registerLinks();
    m_pluggedInAtMs = monotonicMs();
    m_reader = FrameReader();
    m_pending.clear();
    m_tx.clear();
    m_txHead = 0;
    m_pulled = false;
    m_replugAtMs = -1;
}

void Simulator::stop()
{
    m_stopRequested = true;
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
    removeLinks();
    for (int *fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    if (m_transcript) {
        flushTranscript(monotonicMs(), true);
        std::fclose(m_transcript);
        m_transcript = nullptr;
    }
}

void Simulator::withModel(const std::function<void(EcuModel &)> &f)
{
    std::lock_guard lock(m_modelMutex);
    f(*m_model);
}

void Simulator::registerLinks()
{
    std::error_code ec;
    if (m_options.registerPort) {
        const fs::path dir = m_options.registryDir.empty() ? defaultRegistryDir() : m_options.registryDir;
        fs::create_directories(dir, ec);
        chmod(dir.c_str(), 0700);
        fs::path link = dir / m_options.name;
        if (linkIsStale(link))
            fs::remove(link, ec);
        if (fs::exists(fs::symlink_status(link, ec)))
            link = dir / (m_options.name + "-" + std::to_string(getpid()));
        fs::create_symlink(m_slavePath, link, ec);
        if (ec)
            throw std::runtime_error("cannot register the port at " + link.string() + ": " + ec.message());
        m_registryLink = link.string();
    }
    for (const std::string &path : m_options.links) {
        if (linkIsStale(path))
            fs::remove(path, ec);
        fs::create_symlink(m_slavePath, path, ec);
        if (ec)
            throw std::runtime_error("cannot create the link " + path + ": " + ec.message());
        m_links.push_back(path);
    }
}

void Simulator::removeLinks()
{
    // Only links that still point at this simulator's port are ours.
    std::error_code ec;
    std::vector<std::string> all = m_links;
    if (!m_registryLink.empty())
        all.push_back(m_registryLink);
    for (const std::string &link : all) {
        if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == m_slavePath)
            fs::remove(link, ec);
    }
    m_links.clear();
    m_registryLink.clear();
}

void Simulator::run()
{
    double lastModel = monotonicMs();
    unsigned char buffer[4096];
    while (!m_stopRequested) {
        double now = monotonicMs();
        double next = now + kModelStepMs;
        if (m_txHead < m_tx.size())
            next = std::min(next, m_tx[m_txHead].dueMs);
        for (const Pending &p : m_pending)
            next = std::min(next, p.readyMs);
        if (!m_transcriptFrame.empty() && !m_reader.inFrame())
            next = std::min(next, m_lastRxMs + kTranscriptGapMs);
        if (m_options.pullAfterS >= 0 && !m_timedPullDone)
            next = std::min(next, m_startMs + m_options.pullAfterS * 1000);
        if (m_replugAtMs >= 0)
            next = std::min(next, m_replugAtMs);
        if (m_options.ignitionCycleAfterS >= 0 && !m_timedIgnitionDone)
            next = std::min(next, m_startMs + m_options.ignitionCycleAfterS * 1000);
        if (m_ignitionOnAtMs >= 0)
            next = std::min(next, m_ignitionOnAtMs);

        const double waitMs = std::max(0.0, next - now);
        timespec timeout{time_t(waitMs / 1000), long(std::fmod(waitMs, 1000.0) * 1e6)};
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        ppoll(fds, 2, &timeout, nullptr);
        now = monotonicMs();
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }

        {
            std::lock_guard lock(m_modelMutex);
            m_model->advance((now - lastModel) / 1000.0);
        }
        lastModel = now;

        const bool timedCycle = m_options.ignitionCycleAfterS >= 0 && !m_timedIgnitionDone
            && now >= m_startMs + m_options.ignitionCycleAfterS * 1000;
        m_timedIgnitionDone |= timedCycle;
        if (const int offMs = timedCycle ? m_options.ignitionOffMs : m_ignitionOffRequestMs.exchange(-1); offMs >= 0) {
            // Unpowered: what was under way is lost with it.
            m_ignitionOff = true;
            m_ignitionOnAtMs = now + offMs;
            m_reader = FrameReader();
            m_pending.clear();
            m_tx.clear();
            m_txHead = 0;
        }
        if (m_ignitionOff && now >= m_ignitionOnAtMs) {
            {
                std::lock_guard lock(m_modelMutex);
                m_model->restart();
            }
            m_ignitionOff = false;
            m_ignitionOnAtMs = -1;
            ++m_ignitionCycles;
        }

        if (m_master >= 0 && (fds[0].revents & POLLIN)) {
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n > 0 && !m_ignitionOff)
                onBytes(buffer, size_t(n), now);
            else if (n > 0)
                transcriptLine(now, "IGNITION-OFF", std::string(reinterpret_cast<const char *>(buffer), size_t(n)));
        }

        // Frames whose line time has passed are answered, in arrival order.
        std::sort(m_pending.begin(), m_pending.end(),
                  [](const Pending &a, const Pending &b) { return a.readyMs < b.readyMs; });
        size_t done = 0;
        for (; done < m_pending.size() && m_pending[done].readyMs <= now; ++done) {
            std::string answer;
            {
                std::lock_guard lock(m_modelMutex);
                answer = m_model->handleFrame(m_pending[done].frame);
            }
            reply(answer, m_pending[done].readyMs);
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + long(done));

        sendDue(now);
        flushTranscript(now, false);

        const bool timedPull =
            m_options.pullAfterS >= 0 && !m_timedPullDone && now >= m_startMs + m_options.pullAfterS * 1000;
        if ((timedPull || m_pullRequested.exchange(false)) && !m_pulled) {
            m_timedPullDone |= timedPull;
            pullCable();
            m_pulled = true;
            if (m_options.replugAfterS < 0 && timedPull)
                break; // pulled for good
            if (m_options.replugAfterS >= 0)
                m_replugAtMs = now + m_options.replugAfterS * 1000;
        }
        if (m_pulled && (m_replugRequested.exchange(false) || (m_replugAtMs >= 0 && now >= m_replugAtMs))) {
            try {
                plugIn();
            } catch (const std::exception &) {
                m_replugAtMs = now + 100; // no pty free yet: try again shortly
            }
        }
    }
    m_running = false;
}

void Simulator::onBytes(const unsigned char *data, size_t count, double now)
{
    bool engineRunning = true;
    {
        std::lock_guard lock(m_modelMutex);
        engineRunning = m_model->engineRunning();
    }
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = data[i];
        if (m_loader.active()) {
            flushTranscript(now, true);
            transcriptLine(now, "LOADER", std::string(1, char(b)));
            const Loader::Answer a = m_loader.push(b, now);
            if (a.finished)
                finishImage();
            if (!a.bytes.empty() && !m_options.silentLoader)
                schedule(a.bytes, a.startMs + double(a.lineBytes) * byteMs());
            continue;
        }
        if (b == Loader::kHandshake && !engineRunning && !m_reader.inFrame()) {
            flushTranscript(now, true);
            transcriptLine(now, "LOADER", std::string(1, char(b)));
            if (!m_options.silentLoader)
                schedule(m_loader.begin(), now + byteMs());
            continue;
        }
        if (b == '<') {
            flushTranscript(now, true);
            m_transcriptFrameMs = now;
        }
        if (m_transcript && (b == '<' || !m_transcriptFrame.empty()))
            m_transcriptFrame.push_back(char(b));
        m_lastRxMs = now;
        if (auto frame = m_reader.push(b, now))
            m_pending.push_back(Pending{frame->bytes, frame->firstByteMs + double(frame->lineBytes) * byteMs()});
    }
}

void Simulator::reply(const std::string &answer, double readyMs)
{
    if (answer.empty() || m_options.silent)
        return;
    std::string bytes = answer;
    if (m_options.garbage) {
        static const char kNoise[] = "abcdefXYZ0123456789,./*-+=#~";
        std::mt19937 random{static_cast<unsigned>(readyMs)};
        for (char &c : bytes)
            c = kNoise[random() % (sizeof kNoise - 1)];
    }
    if (m_options.cutAfter >= 0 && bytes.size() > size_t(m_options.cutAfter))
        bytes.resize(size_t(m_options.cutAfter));
    schedule(bytes, readyMs + m_options.delayMs);
}

void Simulator::schedule(std::string bytes, double startMs)
{
    // One line: a reply starts after the one before it has gone out.
    double t = std::max(startMs, m_lineFreeMs);
    for (char c : bytes) {
        t += byteMs();
        m_tx.push_back(Out{c, t});
    }
    m_lineFreeMs = t;
}

void Simulator::sendDue(double now)
{
    while (m_txHead < m_tx.size() && m_tx[m_txHead].dueMs <= now) {
        const ssize_t n = write(m_master, &m_tx[m_txHead].byte, 1);
        if (n != 1)
            break; // nobody reads: try again later
        ++m_txHead;
    }
    if (m_txHead == m_tx.size()) {
        m_tx.clear();
        m_txHead = 0;
    }
}

void Simulator::transcriptLine(double timeMs, const char *kind, const std::string &bytes)
{
    if (!m_transcript)
        return;
    std::fprintf(m_transcript, "%.3f %s %s\n", timeMs, kind, escaped(bytes).c_str());
    std::fflush(m_transcript);
}

void Simulator::flushTranscript(double now, bool force)
{
    if (m_transcriptFrame.empty())
        return;
    // A frame that pauses halfway (a slow sender) stays one line.
    if (!force && (now - m_lastRxMs < kTranscriptGapMs || m_reader.inFrame()))
        return;
    transcriptLine(m_transcriptFrameMs, "RX", m_transcriptFrame);
    m_transcriptFrame.clear();
}

void Simulator::finishImage()
{
    std::error_code ec;
    fs::create_directories(fs::path(m_imageFile).parent_path(), ec);
    std::ofstream out(m_imageFile, std::ios::binary | std::ios::trunc);
    const auto &image = m_loader.image();
    out.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
}

void Simulator::pullCable()
{
    flushTranscript(monotonicMs(), true);
    removeLinks();
    close(m_master);
    close(m_slave);
    m_master = -1;
    m_slave = -1;
}

} // namespace tarvex::sim
