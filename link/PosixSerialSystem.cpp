// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PosixSerialSystem.h"
#include "link/PortRegistry.h"
#include "link/PosixTermios2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace tarvex::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Pseudo-terminals and some adapters have no modem lines or counters.
bool notSupported(int error)
{
    return error == ENOTTY || error == EINVAL;
}

int validate(int fd)
{
    return fcntl(fd, F_GETFD) == -1 ? errno : 0;
}

// Polls in short slices: wake-ups for writability on a pty are irregular.
constexpr int kSliceMs = 10;

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return int(std::clamp<long long>(left, 0, kSliceMs));
}

// Reads what is there without waiting; a hang-up with nothing to read is an
// error so that a pulled cable is not taken for silence.
int readAvailable(int fd, char *data, int count, int &got)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) < 0)
        return errno;
    if (p.revents & POLLNVAL)
        return EBADF;
    if (p.revents & POLLIN) {
        while (got < count) {
            const ssize_t n = ::read(fd, data + got, size_t(count - got));
            if (n > 0) {
                got += int(n);
                continue;
            }
            if (n == 0)
                break;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (got == 0)
                return errno;
            break;
        }
    }
    if (got == 0 && (p.revents & (POLLHUP | POLLERR)))
        return EIO;
    return 0;
}

int icount(int fd, serial_icounter_struct &c)
{
    return ioctl(fd, TIOCGICOUNT, &c) == 0 ? 0 : errno;
}

constexpr long kDevptsMagic = 0x1cd1; // statfs(2)

bool symlinkTargetExists(const QByteArray &path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0;
}

} // namespace

PosixSerialSystem::PosixSerialSystem(QString sysfsRoot, QString registryDir, QString byIdDir, QString byPathDir,
                                     QString procRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_registryDir(registryDir.isNull() ? portRegistryDir() : registryDir),
      m_byIdDir(std::move(byIdDir)), m_byPathDir(std::move(byPathDir)), m_procRoot(std::move(procRoot))
{
}

QString chooseStableName(const QString &device, const QString &byId, const QString &byPath, bool hasSerialNumber)
{
    if (!byId.isEmpty() && (hasSerialNumber || byPath.isEmpty()))
        return byId;
    if (!byPath.isEmpty())
        return byPath;
    return device;
}

QList<int> lockHolders(const QByteArray &procLocks, unsigned major, unsigned minor, unsigned long long inode)
{
    // "1: FLOCK  ADVISORY  WRITE 4242 00:05:1093 0 EOF"; blocked waiters
    // ("1: -> FLOCK …") hold nothing.
    QList<int> pids;
    for (const QByteArray &line : procLocks.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || f[1] == "->")
            continue;
        const QList<QByteArray> id = f[5].split(':');
        bool ok[4] = {};
        const int pid = f[4].toInt(&ok[0]);
        if (id.size() != 3 || id[0].toUInt(&ok[1], 16) != major || id[1].toUInt(&ok[2], 16) != minor
            || id[2].toULongLong(&ok[3]) != inode || !ok[0] || !ok[1] || !ok[2] || !ok[3])
            continue;
        if (!pids.contains(pid))
            pids << pid;
    }
    return pids;
}

bool PosixSerialSystem::hasSerialNumber(const QString &device) const
{
    // The tty's device is a USB interface; the USB device above it carries
    // idVendor and, when it has one, serial.
    QDir dir(QFileInfo(m_sysfsRoot + QLatin1Char('/') + QFileInfo(device).fileName() + QStringLiteral("/device"))
                 .canonicalFilePath());
    for (int up = 0; up < 4 && !dir.path().isEmpty() && dir.path() != QLatin1String("/"); ++up) {
        if (dir.exists(QStringLiteral("idVendor"))) {
            QFile serial(dir.filePath(QStringLiteral("serial")));
            return serial.open(QIODevice::ReadOnly) && !serial.readAll().trimmed().isEmpty();
        }
        if (!dir.cdUp())
            break;
    }
    return false;
}

bool PosixSerialSystem::waitInput(Handle handle, int ms)
{
    pollfd p{handle, POLLIN, 0};
    const int n = poll(&p, 1, std::max(ms, 0));
    return n > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL));
}

DeviceAccess PosixSerialSystem::deviceAccess(const QString &device)
{
    DeviceAccess access;
    std::vector<char> buffer(16384);
    passwd pw {};
    passwd *pwFound = nullptr;
    const uid_t uid = geteuid();
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &pwFound) == 0 && pwFound)
        access.user = QString::fromLocal8Bit(pw.pw_name);
    else
        access.user = QString::number(uid);

    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return access;
    std::vector<char> groupBuffer(16384);
    group gr {};
    group *grFound = nullptr;
    if (getgrgid_r(st.st_gid, &gr, groupBuffer.data(), groupBuffer.size(), &grFound) != 0 || !grFound)
        return access;
    access.group = QString::fromLocal8Bit(gr.gr_name);

    std::vector<gid_t> now(size_t(std::max(getgroups(0, nullptr), 0)));
    const int count = getgroups(int(now.size()), now.data());
    access.groupNow = getegid() == st.st_gid
        || std::find(now.begin(), now.begin() + std::max(count, 0), st.st_gid) != now.begin() + std::max(count, 0);
    if (pwFound) {
        int listed = 64;
        std::vector<gid_t> groups(static_cast<size_t>(listed));
        if (getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &listed) < 0) {
            groups.resize(size_t(listed));
            getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &listed);
        }
        groups.resize(size_t(std::max(listed, 0)));
        access.groupListed = std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();
    }
    return access;
}

QList<DeviceHolder> PosixSerialSystem::deviceHolders(const QString &device)
{
    QList<DeviceHolder> holders;
    const QByteArray wanted = QFile::encodeName(device);
    struct stat target {};
    if (::stat(wanted.constData(), &target) != 0 || !S_ISCHR(target.st_mode))
        return holders;
    // Every devpts instance (a container's, a chroot's own /dev/pts) numbers
    // its terminals from 0: there the device number alone is not the device.
    struct statfs fs {};
    const bool pty = ::statfs(wanted.constData(), &fs) == 0 && fs.f_type == kDevptsMagic;
    const QByteArray own = QByteArray::number(getpid());
    auto programOf = [this](const QByteArray &pid) {
        QFile comm(m_procRoot + QLatin1Char('/') + QString::fromLatin1(pid) + QStringLiteral("/comm"));
        return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
    };
    auto add = [&](const QByteArray &pid) {
        const int number = pid.toInt();
        if (pid == own || std::any_of(holders.begin(), holders.end(), [&](const DeviceHolder &h) { return h.pid == number; }))
            return;
        const QString program = programOf(pid);
        if (!program.isEmpty())
            holders << DeviceHolder{number, program};
    };
    // Open descriptors (all of one's own programs, everyone's as root), by
    // what they are open on: their link texts are paths as another mount
    // namespace sees them.
    const QByteArray proc = QFile::encodeName(m_procRoot);
    if (DIR *dir = opendir(proc.constData())) {
        while (const dirent *entry = readdir(dir)) {
            const QByteArray pid(entry->d_name);
            bool number = false;
            pid.toInt(&number);
            if (!number)
                continue;
            const QByteArray fdDir = proc + '/' + pid + "/fd";
            DIR *fds = opendir(fdDir.constData());
            if (!fds)
                continue;
            while (const dirent *fd = readdir(fds)) {
                // Only files under a dev folder are looked into: a stat of
                // a file on a hung network file system would hang.
                const QByteArray path = fdDir + '/' + fd->d_name;
                char text[4096];
                const ssize_t n = readlink(path.constData(), text, sizeof text);
                struct stat held {};
                if (n > 0 && QByteArray::fromRawData(text, int(n)).contains("/dev/")
                    && ::stat(path.constData(), &held) == 0 && S_ISCHR(held.st_mode)
                    && held.st_rdev == target.st_rdev && (!pty || held.st_dev == target.st_dev)) {
                    add(pid);
                    break;
                }
            }
            closedir(fds);
        }
        closedir(dir);
    }
    // Locks are listed for every user's programs.
    QFile locks(m_procRoot + QStringLiteral("/locks"));
    if (locks.open(QIODevice::ReadOnly))
        for (int pid : lockHolders(locks.readAll(), major(target.st_dev), minor(target.st_dev), target.st_ino))
            add(QByteArray::number(pid));
    return holders;
}

bool PosixSerialSystem::devicePresent(const QString &device)
{
    struct stat st {};
    return ::stat(QFile::encodeName(device).constData(), &st) == 0;
}

QString PosixSerialSystem::stableDeviceName(const QString &device)
{
    const QFileInfo info(device);
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return device;
    // A link chosen by hand names the adapter, unless it is a by-id name
    // that its twins share.
    if (info.isSymLink() && info.absolutePath() != QDir(m_byIdDir).absolutePath())
        return device;
    auto linkIn = [&target](const QString &folder) {
        for (const QFileInfo &link : QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            if (link.isSymLink() && link.canonicalFilePath() == target)
                return link.filePath();
        return QString();
    };
    const QString byId = info.isSymLink() ? device : linkIn(m_byIdDir);
    return chooseStableName(device, byId, linkIn(m_byPathDir), hasSerialNumber(target));
}

QString PosixSerialSystem::deviceNode(const QString &name)
{
    const QString node = QFileInfo(name).canonicalFilePath();
    return node.isEmpty() ? name : node;
}

CommTimeouts PosixSerialSystem::timeoutsOf(Handle handle)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(handle);
    return it == m_ports.end() ? CommTimeouts{} : it->second.timeouts;
}

int PosixSerialSystem::open(const QString &device, Handle &handle)
{
    handle = kInvalidHandle;
    const QByteArray path = QFile::encodeName(device);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto fail = [fd](int error) {
        ::close(fd);
        return error;
    };
    // A port must never write into a plain file.
    if (!isatty(fd))
        return fail(ENOTTY);
    // The lock is what stops a second program: root passes TIOCEXCL.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (ioctl(fd, TIOCEXCL) != 0 && !notSupported(errno))
        return fail(errno);
    // A UART keeps its error counters across opens: errors from before this
    // open are not new.
    PortState state;
    serial_icounter_struct c {};
    if (icount(fd, c) == 0) {
        state.counters = Counters{c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
        state.watch.errors = state.counters;
    }
    {
        std::lock_guard lock(m_mutex);
        m_ports[fd] = state;
    }
    handle = fd;
    return 0;
}

int PosixSerialSystem::close(Handle handle)
{
    {
        std::lock_guard lock(m_mutex);
        m_ports.erase(handle);
    }
    ioctl(handle, TIOCNXCL);
    return ::close(handle) == 0 ? 0 : errno;
}

int PosixSerialSystem::setupBuffers(Handle handle, int inSize, int)
{
    // Linux sizes its tty buffers itself; the input size only tells when
    // the queue counts as 80 percent full.
    if (const int error = validate(handle))
        return error;
    std::lock_guard lock(m_mutex);
    m_ports[handle].inBufSize = inSize;
    return 0;
}

int PosixSerialSystem::setLineSettings(Handle handle, const LineSettingsRecord &settings)
{
    if (const int error = applyTermios2(handle, settings))
        return error;
    int lines = 0;
    if (settings.flags & lsfDtrEnable)
        lines |= TIOCM_DTR;
    if (settings.flags & lsfRtsEnable)
        lines |= TIOCM_RTS;
    if (lines && ioctl(handle, TIOCMBIS, &lines) != 0 && !notSupported(errno))
        return errno;
    return 0;
}

int PosixSerialSystem::setTimeouts(Handle handle, const CommTimeouts &timeouts)
{
    if (const int error = validate(handle))
        return error;
    std::lock_guard lock(m_mutex);
    m_ports[handle].timeouts = timeouts;
    return 0;
}

int PosixSerialSystem::purge(Handle handle, uint32_t flags)
{
    // Transfers here block until done, so aborting one means discarding its
    // queue.
    const bool input = flags & (kPurgeRxClear | kPurgeRxAbort);
    const bool output = flags & (kPurgeTxClear | kPurgeTxAbort);
    if (!input && !output)
        return validate(handle);
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    int discarded = 0;
    if (input)
        ioctl(handle, TIOCINQ, &discarded);
    if (tcflush(handle, queue) != 0)
        return errno;
    noteTaken(handle, discarded);
    return 0;
}

int PosixSerialSystem::write(Handle handle, const char *data, int count, int &written)
{
    written = 0;
    const CommTimeouts t = timeoutsOf(handle);
    const bool unlimited = t.writeTotalConstant == kMaxDword || t.writeTotalMultiplier == kMaxDword
        || (t.writeTotalConstant == 0 && t.writeTotalMultiplier == 0);
    const auto limit = std::chrono::milliseconds(
        uint64_t(t.writeTotalConstant) + uint64_t(t.writeTotalMultiplier) * uint64_t(std::max(count, 0)));
    const auto deadline = SteadyClock::now() + limit;
    while (written < count) {
        const ssize_t n = ::write(handle, data + written, size_t(count - written));
        if (n > 0) {
            written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        if (!unlimited && SteadyClock::now() >= deadline)
            break;
        pollfd p{handle, POLLOUT, 0};
        const int wait = unlimited ? kSliceMs : remainingMs(deadline);
        if (poll(&p, 1, wait) < 0 && errno != EINTR)
            return errno;
        if (p.revents & POLLNVAL)
            return EBADF;
        if (p.revents & (POLLERR | POLLHUP))
            return EIO;
    }
    return 0;
}

void PosixSerialSystem::noteTaken(Handle handle, int bytes)
{
    if (bytes <= 0)
        return;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(handle);
    if (it != m_ports.end())
        it->second.watch.taken += bytes;
}

int PosixSerialSystem::read(Handle handle, char *data, int count, int &got)
{
    got = 0;
    struct NoteRead {
        PosixSerialSystem &self;
        Handle handle;
        int &got;
        ~NoteRead() { self.noteTaken(handle, got); }
    } note{*this, handle, got};
    const CommTimeouts t = timeoutsOf(handle);
    if (const int error = readAvailable(handle, data, count, got))
        return error;
    const bool atOnce = t.readInterval == kMaxDword && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    if (atOnce || got >= count)
        return 0;

    const bool totalLimit = t.readTotalMultiplier != 0 || t.readTotalConstant != 0;
    const auto total = std::chrono::milliseconds(uint64_t(t.readTotalConstant)
                                                 + uint64_t(t.readTotalMultiplier) * uint64_t(count));
    const auto deadline = SteadyClock::now() + total;
    const bool intervalLimit = t.readInterval != 0 && t.readInterval != kMaxDword;
    auto lastByte = SteadyClock::now();
    while (got < count) {
        const auto now = SteadyClock::now();
        if (totalLimit && now >= deadline)
            break;
        if (intervalLimit && got > 0 && now - lastByte >= std::chrono::milliseconds(t.readInterval))
            break;
        pollfd p{handle, POLLIN, 0};
        if (poll(&p, 1, totalLimit ? remainingMs(deadline) : kSliceMs) < 0 && errno != EINTR)
            return errno;
        const int before = got;
        if (const int error = readAvailable(handle, data, count, got))
            return got > 0 ? 0 : error;
        if (got > before)
            lastByte = SteadyClock::now();
    }
    return 0;
}

int PosixSerialSystem::clearError(Handle handle, uint32_t &errors, int &inQueue)
{
    errors = 0;
    inQueue = 0;
    int queued = 0;
    if (ioctl(handle, TIOCINQ, &queued) != 0)
        return errno;
    inQueue = queued;

    serial_icounter_struct c {};
    const int error = icount(handle, c);
    if (error)
        return notSupported(error) ? 0 : error;
    std::lock_guard lock(m_mutex);
    Counters &last = m_ports[handle].counters;
    if (c.frame != last.frame)
        errors |= kCommFrame;
    if (c.overrun != last.overrun)
        errors |= kCommOverrun;
    if (c.parity != last.parity)
        errors |= kCommRxParity;
    if (c.brk != last.brk)
        errors |= kCommBreak;
    if (c.buf_overrun != last.bufOverrun)
        errors |= kCommRxOver;
    last = Counters{c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
    return 0;
}

int PosixSerialSystem::modemStatus(Handle handle, uint32_t &status)
{
    status = 0;
    int lines = 0;
    if (ioctl(handle, TIOCMGET, &lines) != 0)
        return notSupported(errno) ? validate(handle) : errno;
    if (lines & TIOCM_CTS)
        status |= kModemCtsOn;
    if (lines & TIOCM_DSR)
        status |= kModemDsrOn;
    if (lines & TIOCM_RNG)
        status |= kModemRingOn;
    if (lines & TIOCM_CAR)
        status |= kModemRlsdOn;
    return 0;
}

int PosixSerialSystem::escape(Handle handle, EscapeFunction function)
{
    const bool set = function == EscapeFunction::SetDtr || function == EscapeFunction::SetRts;
    int line = (function == EscapeFunction::SetDtr || function == EscapeFunction::ClearDtr) ? TIOCM_DTR : TIOCM_RTS;
    if (ioctl(handle, set ? TIOCMBIS : TIOCMBIC, &line) != 0)
        return notSupported(errno) ? validate(handle) : errno;
    return 0;
}

int PosixSerialSystem::listPorts(QStringList &names)
{
    names.clear();
    const QByteArray root = QFile::encodeName(m_sysfsRoot);
    DIR *dir = opendir(root.constData());
    if (!dir)
        return errno;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray base = root + '/' + name;
        struct stat st {};
        if (::lstat((base + "/device").constData(), &st) != 0)
            continue;
        // Phantom 8250 ports: registered, but no hardware behind them.
        QFile type(QFile::decodeName(base + "/type"));
        if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
            continue;
        names << QStringLiteral("/dev/") + QFile::decodeName(name);
    }
    closedir(dir);

    const QByteArray registry = QFile::encodeName(m_registryDir);
    if (DIR *links = opendir(registry.constData())) {
        while (const dirent *entry = readdir(links)) {
            const QByteArray path = registry + '/' + entry->d_name;
            struct stat st {};
            if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode) && symlinkTargetExists(path))
                names << QFile::decodeName(path);
        }
        closedir(links);
    }
    return 0;
}

} // namespace tarvex::link

namespace tarvex::link {

int PosixSerialSystem::setEventMask(Handle handle, uint32_t mask)
{
    if (const int error = validate(handle))
        return error;
    std::lock_guard lock(m_mutex);
    m_ports[handle].watch.mask = mask;
    return 0;
}

// Linux has no wait for line events: the thread sleeps in poll on new input
// and on its stop descriptor, and compares queue counts, modem lines and
// error counters with what it saw before. Bytes that wait unread do not
// wake it; it then looks again at a slow pace.
int PosixSerialSystem::waitEvent(Handle handle, int stopFd, uint32_t &events)
{
    events = 0;
    constexpr int kLookMs = 50;
    for (;;) {
        Watch w;
        int inBufSize = 0;
        {
            std::lock_guard lock(m_mutex);
            w = m_ports[handle].watch;
            inBufSize = m_ports[handle].inBufSize;
        }
        int inQueue = 0;
        int outQueue = 0;
        ioctl(handle, TIOCINQ, &inQueue);
        ioctl(handle, TIOCOUTQ, &outQueue);
        const bool watchInput = inQueue == 0 && !w.hungUp;
        const bool look = inQueue > 0 || outQueue > 0 || w.modemLines || w.counters || w.hungUp;
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {handle, short(watchInput ? POLLIN : 0), 0}};
        // Without a stop descriptor the caller's stop flag is looked at
        // between bounded waits.
        constexpr int kStopLookMs = 100;
        const int timeout = stopFd >= 0 ? (look ? kLookMs : -1) : (look ? kLookMs : kStopLookMs);
        if (poll(fds, watchInput ? 2 : 1, timeout) < 0 && errno != EINTR)
            return errno;
        if (fds[0].revents & POLLIN)
            return 0;
        if (fds[1].revents & POLLNVAL)
            return EBADF;

        ioctl(handle, TIOCINQ, &inQueue);
        ioctl(handle, TIOCOUTQ, &outQueue);
        int taken = 0;
        {
            std::lock_guard lock(m_mutex);
            taken = m_ports[handle].watch.taken;
            m_ports[handle].watch.taken = 0;
        }
        // Arrivals: what the queue grew by, plus what was read meanwhile.
        if (inQueue + taken > w.inQueue)
            events |= kEventRxChar;
        if (inBufSize > 0 && inQueue * 5 >= inBufSize * 4 && w.inQueue * 5 < inBufSize * 4)
            events |= kEventRx80Full;
        if (w.outQueue > 0 && outQueue == 0)
            events |= kEventTxEmpty;
        if (fds[1].revents & (POLLHUP | POLLERR)) {
            events |= kEventError;
            w.hungUp = true;
        }
        if (w.modemLines) {
            int lines = 0;
            if (ioctl(handle, TIOCMGET, &lines) != 0) {
                w.modemLines = false;
            } else {
                if (w.modem >= 0) {
                    const int changed = lines ^ w.modem;
                    if (changed & TIOCM_CTS)
                        events |= kEventCts;
                    if (changed & TIOCM_DSR)
                        events |= kEventDsr;
                    if (changed & TIOCM_CAR)
                        events |= kEventRlsd;
                    if ((lines & TIOCM_RNG) && !(w.modem & TIOCM_RNG))
                        events |= kEventRing;
                }
                w.modem = lines;
            }
        }
        if (w.counters) {
            serial_icounter_struct c {};
            if (icount(handle, c) != 0) {
                w.counters = false;
            } else {
                const Counters now{c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
                if (now.frame != w.errors.frame || now.overrun != w.errors.overrun || now.parity != w.errors.parity
                    || now.brk != w.errors.brk || now.bufOverrun != w.errors.bufOverrun)
                    events |= kEventError;
                w.errors = now;
            }
        }
        w.inQueue = inQueue;
        w.outQueue = outQueue;
        {
            std::lock_guard lock(m_mutex);
            const uint32_t mask = m_ports[handle].watch.mask;
            w.mask = mask;
            w.taken = m_ports[handle].watch.taken;
            m_ports[handle].watch = w;
            events &= mask;
        }
        if (events != 0 || stopFd < 0)
            return 0;
    }
}

} // namespace tarvex::link
