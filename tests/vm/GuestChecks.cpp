// SPDX-License-Identifier: GPL-3.0-or-later
// The window on the kernel's serial drivers, inside the rig's virtual
// machine: the same window class as tarvex, on an emulated FTDI adapter
// (ftdi_sio) and an emulated 16550 UART (8250), with the ECU simulator on
// the host at the other end of each line. What only the host sees (the
// frames that reached the simulator, what the emulated chip was set to) or
// does (pulling and plugging the adapter, a break on the line) is asked of
// the rig's agent.
//
//   tarvex-guest-checks lines --usb DEV --uart DEV --firmware FILE
//       (the rig's channel on descriptor 3)
//   tarvex-guest-checks permission DEV
//   tarvex-guest-checks look DOCS_PICTURE OUT_PICTURE
//   tarvex-guest-checks screen OUT_PICTURE
//   tarvex-guest-checks hold DEV
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "link/CommandTable.h"
#include "link/PosixTermios2.h"
#include "tests/vm/GuestSupport.h"
#include "widgets/MapGrid.h"
#include "widgets/QuietDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace tarvex;
using namespace tarvex::vm;
using Form = app::TTarvexMainForm;

namespace {

void press(Form &form, void (Form::*handler)())
{
    form.Guarded([&] { (form.*handler)(); });
}

// What the simulator's transcript shows of a frame: \r as two characters.
QString wire(const QByteArray &frame)
{
    return QString::fromLatin1(frame).replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

bool isLiveRequest(const QString &frame)
{
    return frame == QLatin1String("<G>\\r") || frame == QLatin1String("<H>\\r");
}

QString median(std::vector<double> values, double *longest)
{
    std::sort(values.begin(), values.end());
    *longest = values.empty() ? 0 : values.back();
    return values.empty() ? QStringLiteral("-") : QString::number(values[values.size() / 2], 'f', 0);
}

struct Counters {
    serial_icounter_struct c {};
    bool read(int fd) { return ioctl(fd, TIOCGICOUNT, &c) == 0; }
    QString text() const
    {
        return QStringLiteral("frame %1 parity %2 overrun %3 break %4 buffer overrun %5")
            .arg(c.frame)
            .arg(c.parity)
            .arg(c.overrun)
            .arg(c.brk)
            .arg(c.buf_overrun);
    }
    bool sameErrors(const Counters &o) const
    {
        return c.frame == o.c.frame && c.parity == o.c.parity && c.overrun == o.c.overrun && c.brk == o.c.brk
            && c.buf_overrun == o.c.buf_overrun;
    }
};

// A window whose boxes answer at once, its files in `dir`.
std::unique_ptr<Form> quietForm(const QTemporaryDir &dir, std::shared_ptr<widgets::QuietDialogs> dialogs,
                                std::shared_ptr<link::SerialSystem> serial = link::defaultSerialSystem())
{
    app::FormServices s;
    s.serial = std::move(serial);
    s.dialogs = std::move(dialogs);
    s.settingsPath = dir.filePath(QStringLiteral("tarvex.ini"));
    s.backupFolder = dir.filePath(QStringLiteral("backups"));
    s.logFolder = dir.path();
    return std::make_unique<Form>(s);
}

class Guest {
public:
    Guest(RigChannel &rig, Report &report, QString firmware)
        : m_rig(rig), m_report(report), m_firmware(std::move(firmware))
    {
        m_dialogs->file = m_firmware;
    }

    void lineChecks(const char *line, const QString &device);
    void replugChecks(const QString &device);

private:
    std::unique_ptr<Form> makeForm();
    QStringList framesSince(const char *line, const char *mark);
    QStringList commandsSince(const char *line, const char *mark);
    void mark(const char *line, const char *name) { m_rig.ask(QStringLiteral("mark %1 %2").arg(line, name)); }
    bool connect(Form &form, const QString &device);
    void lineSettings(const char *line, Form &form);
    void modemLines(const char *line, Form &form);
    void liveData(const char *line, Form &form);
    void errorCounters(const char *line, Form &form);
    void mapReadWriteStore(const char *line, Form &form);
    void batch(const char *line, Form &form);
    void upload(const char *line, Form &form);
    // A pull and replug while `during` runs; whether the window came back,
    // with what happened in `detail`.
    bool pullDuring(Form &form, const QString &activity, const std::function<void()> &during, QString &detail);
    void enterCell(Form &form, int column, int row, int value);
    void setBlock(Form &form, int top, int left, int size, int value);

    RigChannel &m_rig;
    Report &m_report;
    QString m_firmware;
    QTemporaryDir m_dir;
    std::shared_ptr<widgets::QuietDialogs> m_dialogs = std::make_shared<widgets::QuietDialogs>();
    std::shared_ptr<TimedSerialSystem> m_serial = std::make_shared<TimedSerialSystem>();
    KernelTtyEvents m_events;
    std::vector<double> m_replugMs; // adapter attached → connect frame sent, the window waiting
    std::vector<double> m_lateReplugMs; // the same, the window not yet aware of the pull
};

std::unique_ptr<Form> Guest::makeForm()
{
    return quietForm(m_dir, m_dialogs, m_serial);
}

QStringList Guest::framesSince(const char *line, const char *mark)
{
    const QString frames = m_rig.ask(QStringLiteral("frames %1 %2").arg(line, mark)).value_or(QString());
    return frames.isEmpty() ? QStringList() : frames.split(QLatin1Char('\t'));
}

QStringList Guest::commandsSince(const char *line, const char *mark)
{
    QStringList frames = framesSince(line, mark);
    frames.removeIf(isLiveRequest);
    return frames;
}

bool Guest::connect(Form &form, const QString &device)
{
    form.cbport->setEditText(device);
    press(form, &Form::ComConnectButtonClick);
    return form.BComPort1->Connected();
}

void Guest::lineChecks(const char *line, const QString &device)
{
    m_report.step(QStringLiteral("%1: connect to %2").arg(line, device));
    auto form = makeForm();
    mark(line, "connect");
    const bool connected = connect(*form, device);
    const QStringList frames = framesSince(line, "connect");
    const QString version = form->FWmemo->toPlainText();
    m_report.result("connect", line, connected && frames.value(0) == QLatin1String("<E>\\r") && !version.isEmpty(),
                    QStringLiteral("%1; first frame on the wire %2; the ECU answered «%3»")
                        .arg(connected ? QStringLiteral("open") : m_dialogs->last, frames.value(0), version));
    if (!connected)
        return;
    lineSettings(line, *form);
    modemLines(line, *form);
    liveData(line, *form);
    errorCounters(line, *form);
    mapReadWriteStore(line, *form);
    batch(line, *form);
    upload(line, *form);
    m_report.step(QStringLiteral("%1: disconnect").arg(line));
    press(*form, &Form::ComDisconnectButtonClick);
}

void Guest::lineSettings(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: line settings").arg(line));
    link::Termios2Snapshot t;
    const bool read = link::readTermios2(form.BComPort1->handle(), t) == 0;
    const bool driver = read && t.ispeed == 57600 && t.ospeed == 57600 && t.dataBits == 8 && !t.parityEnabled
        && !t.twoStopBits && !t.hardwareFlow && !t.softwareFlow && t.raw;
    // What the emulated chip was programmed to, as QEMU set the host's end.
    const QString chip = m_rig.ask(QStringLiteral("stty %1").arg(line)).value_or(QStringLiteral("(no answer)"));
    const bool host = chip == QLatin1String("57600 cs8 -parenb -cstopb");
    m_report.result("line-settings", line, driver && host,
                    QStringLiteral("driver: %1 baud in, %2 out, %3 data bits, parity %4, %5 stop bit(s), raw %6; "
                                   "the chip as QEMU set the host's end: %7")
                        .arg(t.ispeed)
                        .arg(t.ospeed)
                        .arg(t.dataBits)
                        .arg(t.parityEnabled ? QStringLiteral("on") : QStringLiteral("none"))
                        .arg(t.twoStopBits ? 2 : 1)
                        .arg(t.raw ? QStringLiteral("yes") : QStringLiteral("no"), chip));
}

void Guest::modemLines(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: modem lines").arg(line));
    const int fd = form.BComPort1->handle();
    auto lines = [fd] {
        int bits = -1;
        return ioctl(fd, TIOCMGET, &bits) == 0 ? bits : -1;
    };
    auto outputs = [&] {
        const int bits = lines();
        return bits < 0 ? -1 : bits & (TIOCM_DTR | TIOCM_RTS);
    };
    const int atOpen = outputs();
    QList<int> seen;
    bool thrown = false;
    try {
        form.BComPort1->SetDTRLine(false);
        seen << outputs();
        form.BComPort1->SetRTSLine(false);
        seen << outputs();
        form.BComPort1->SetDTRLine(true);
        form.BComPort1->SetRTSLine(true);
        seen << outputs();
    } catch (const Exception &) {
        thrown = true;
    }
    const int bits = lines();
    const link::TLineSignals read = form.BComPort1->LineSignals();
    const bool inputs = bits >= 0 && read.contains(link::lsCTS) == bool(bits & TIOCM_CTS)
        && read.contains(link::lsDSR) == bool(bits & TIOCM_DSR) && read.contains(link::lsRing) == bool(bits & TIOCM_RNG)
        && read.contains(link::lsRLSD) == bool(bits & TIOCM_CAR);
    const bool ok = !thrown && atOpen == (TIOCM_DTR | TIOCM_RTS)
        && seen == QList<int>{TIOCM_RTS, 0, TIOCM_DTR | TIOCM_RTS} && inputs;
    auto name = [](int b) {
        QStringList on;
        for (auto [bit, text] : {std::pair{TIOCM_DTR, "DTR"}, {TIOCM_RTS, "RTS"}, {TIOCM_CTS, "CTS"},
                                 {TIOCM_DSR, "DSR"}, {TIOCM_RNG, "RI"}, {TIOCM_CAR, "CD"}})
            if (b >= 0 && (b & bit))
                on << QLatin1String(text);
        return on.isEmpty() ? QStringLiteral("none") : on.join(QLatin1Char('+'));
    };
    m_report.result("modem-lines", line, ok,
                    QStringLiteral("driver after open: %1; DTR off, RTS off, both on: %2, %3, %4; inputs the "
                                   "component reads %5, the driver %6")
                        .arg(name(atOpen), name(seen.value(0, -1)), name(seen.value(1, -1)), name(seen.value(2, -1)),
                             name((read.contains(link::lsCTS) ? TIOCM_CTS : 0) | (read.contains(link::lsDSR) ? TIOCM_DSR : 0)
                                  | (read.contains(link::lsRing) ? TIOCM_RNG : 0)
                                  | (read.contains(link::lsRLSD) ? TIOCM_CAR : 0)),
                             name(bits & ~(TIOCM_DTR | TIOCM_RTS))));
}

void Guest::liveData(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: live data for 30 s").arg(line));
    const int boxes = m_dialogs->messages;
    const QString rpmBefore = form.RPMLabel->text();
    mark(line, "live");
    QStringList rpm;
    for (int second = 0; second < 30; ++second) {
        runFor(1000);
        if (!rpm.contains(form.RPMLabel->text()))
            rpm << form.RPMLabel->text();
    }
    const QString stats = m_rig.ask(QStringLiteral("cadence %1 live").arg(line)).value_or(QString());
    const int requests = stats.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('='), 1).toInt();
    const double longest =
        QRegularExpression(QStringLiteral("longest ([0-9.]+)")).match(stats).captured(1).toDouble();
    // Steady, if slower than on a machine of its own: no second without a
    // request, two thirds of the 300 a free machine makes.
    const bool ok = requests >= 200 && longest > 0 && longest < 1000 && form.LiveDataShown()
        && m_dialogs->messages == boxes && rpm.size() > 1;
    m_report.result("live-data", line, ok,
                    QStringLiteral("%1 requests in 30 s, at most %2 ms apart; %3 engine speeds shown (%4 before); "
                                   "%5 boxes")
                        .arg(requests)
                        .arg(longest)
                        .arg(rpm.size())
                        .arg(rpmBefore)
                        .arg(m_dialogs->messages - boxes));
    m_report.figure("cadence", line, stats);
}

void Guest::errorCounters(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: error counters, and a break from QEMU").arg(line));
    const int fd = form.BComPort1->handle();
    Counters start, beforeBreak, after;
    // Since the port was opened: the live data ran on a clean line.
    const bool counted = start.read(fd);
    QList<unsigned> reported;
    form.BComPort1->OnError = [&reported](QObject *, link::TComErrors errors) { reported << errors.bits(); };
    // Live data paused: a reply's characters would have PendingInput read
    // (and, as the component does, clear) the error state before the error event does.
    form.RefreshTimer->SetEnabled(false);
    runFor(500);
    beforeBreak.read(fd);
    const bool sent = m_rig.ask(QStringLiteral("break %1").arg(line)).has_value();
    runFor(1500);
    after.read(fd);
    form.BComPort1->OnError = nullptr;
    form.RefreshTimer->SetEnabled(true);
    const int breaks = int(after.c.brk - beforeBreak.c.brk);
    // The component reports a break exactly when the driver counted one.
    const QList<unsigned> expected =
        breaks > 0 ? QList<unsigned>{link::TComErrors{link::ceBreak}.bits()} : QList<unsigned>{};
    Counters othersAfter = after;
    othersAfter.c.brk = beforeBreak.c.brk;
    const bool ok = counted && sent && reported == expected && othersAfter.sameErrors(beforeBreak);
    QStringList told;
    for (unsigned bits : reported)
        for (auto [error, name] : {std::pair{link::ceFrame, "frame"}, {link::ceRxParity, "parity"},
                                   {link::ceOverrun, "overrun"}, {link::ceBreak, "break"}, {link::ceRxOver, "buffer overrun"}})
            if (bits & link::TComErrors{error}.bits())
                told << QLatin1String(name);
    m_report.result("error-counters", line, ok,
                    QStringLiteral("driver's counters after live data: %1; a break from QEMU: the driver counted %2, "
                                   "the component reported %3")
                        .arg(start.text())
                        .arg(breaks)
                        .arg(told.isEmpty() ? QStringLiteral("nothing") : told.join(QStringLiteral(", "))));
}

void Guest::enterCell(Form &form, int column, int row, int value)
{
    form.InjGrid->SetCell(column, row, QString::number(value));
    form.InjGrid->setCurrentCell(row, column);
    form.Guarded([&] { form.InjGridKeyDown(13); });
}

void Guest::mapReadWriteStore(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: fuel map read, a cell written, the map stored").arg(line));
    mark(line, "read");
    press(form, &Form::InjRefreshButtonClick);
    QStringList frames = commandsSince(line, "read");
    m_report.result("map-read", line, form.MapState(0).hasMap() && frames == QStringList{QStringLiteral("<A>\\r")},
                    QStringLiteral("frames %1; %2").arg(frames.join(QLatin1Char(' ')), form.MapState(0).hasMap()
                                                                                        ? QStringLiteral("256 cells shown")
                                                                                        : QStringLiteral("no map")));
    const int value = (form.InjGrid->Cell(3, 2).toInt() + 1) % 1000;
    form.InjEditCheck->setChecked(true);
    mark(line, "write");
    enterCell(form, 3, 2, value);
    frames = commandsSince(line, "write");
    const QString expected = wire(link::cellWriteFrame(link::CommandId::FuelCellWrite, 36, QByteArray::number(value)));
    m_report.result("cell-write", line, frames == QStringList{expected} && form.MapState(0).unstoredCount() == 1,
                    QStringLiteral("frames %1; %2 cell(s) not stored").arg(frames.join(QLatin1Char(' ')))
                        .arg(form.MapState(0).unstoredCount()));

    mark(line, "store");
    press(form, &Form::InjSaveButtonClick);
    frames = commandsSince(line, "store");
    press(form, &Form::InjRefreshButtonClick);
    const bool held = form.InjGrid->Cell(3, 2).toInt() == value;
    m_report.result("store", line,
                    frames == QStringList{QStringLiteral("<C>\\r")} && form.MapState(0).unstoredCount() == 0 && held,
                    QStringLiteral("frames %1; read again, cell 36 holds %2").arg(frames.join(QLatin1Char(' ')),
                                                                                  form.InjGrid->Cell(3, 2)));
}

void Guest::setBlock(Form &form, int top, int left, int size, int value)
{
    form.InjGrid->setCurrentCell(top, left);
    form.InjGrid->clearSelection();
    form.InjGrid->setRangeSelected(QTableWidgetSelectionRange(top, left, top + size - 1, left + size - 1), true);
    m_dialogs->number = value;
    form.Guarded([&] { form.MapOperationClick(0, Form::MapOperation::SetValue); });
}

void Guest::batch(const char *line, Form &form)
{
    m_report.step(QStringLiteral("%1: a batch of 16 cells with its read-back").arg(line));
    const int value = 321;
    QStringList expected;
    for (int row = 4; row < 8; ++row)
        for (int column = 4; column < 8; ++column)
            if (form.InjGrid->Cell(column, row).toInt() != value)
                expected << wire(link::cellWriteFrame(link::CommandId::FuelCellWrite, row * 16 + column + 1, "321"));
    const int boxes = m_dialogs->messages;
    mark(line, "batch");
    setBlock(form, 4, 4, 4, value);
    const QStringList frames = commandsSince(line, "batch");
    int landed = 0;
    for (int row = 4; row < 8; ++row)
        for (int column = 4; column < 8; ++column)
            landed += form.InjGrid->Cell(column, row).toInt() == value ? 1 : 0;
    m_report.result("batch", line,
                    frames == expected + QStringList{QStringLiteral("<A>\\r")} && landed == 16
                        && m_dialogs->messages == boxes,
                    QStringLiteral("%1 cell frames and %2; %3 of 16 cells hold %4 after the read-back; %5 boxes")
                        .arg(frames.size() - 1)
                        .arg(frames.value(frames.size() - 1))
                        .arg(landed)
                        .arg(value)
                        .arg(m_dialogs->messages - boxes));
}

void Guest::upload(const char *line, Form &form)
{
    const qint64 bytes = QFileInfo(m_firmware).size();
    m_report.step(QStringLiteral("%1: firmware upload of %2 bytes").arg(line).arg(bytes));
    press(form, &Form::OpenFWButtonClick);
    mark(line, "upload");
    const double started = monotonicMs();
    press(form, &Form::LoadFWButtonClick);
    const double seconds = (monotonicMs() - started) / 1000.0;
    const bool done = m_dialogs->last == lang::runTimeText(lang::Text::FirmwareDone, 0);
    const QString image = m_rig.ask(QStringLiteral("image %1").arg(line)).value_or(QStringLiteral("(no answer)"));
    const int blocks = int((bytes + 127) / 128);
    const double floor = (blocks * (132 * 10000.0 / 57600.0 + 30.0) + 400.0) / 1000.0;
    m_report.result("firmware", line, done && image.startsWith(QLatin1String("same")),
                    QStringLiteral("«%1»; the image the ECU received is the file's: %2").arg(m_dialogs->last, image));
    m_report.figure("upload", line,
                    QStringLiteral("%1 blocks in %2 s against a floor of %3 s (%4%5 %)")
                        .arg(blocks)
                        .arg(seconds, 0, 'f', 2)
                        .arg(floor, 0, 'f', 2)
                        .arg(seconds >= floor ? QStringLiteral("+") : QString())
                        .arg(100.0 * (seconds - floor) / floor, 0, 'f', 1));
}

// The adapter's by-id and by-path names now.
QStringList adapterLinks()
{
    QStringList names;
    for (const char *folder : {"/dev/serial/by-id", "/dev/serial/by-path"}) {
        const QStringList links = QDir(QLatin1String(folder)).entryList(QDir::System | QDir::Files);
        names << (links.isEmpty() ? QStringLiteral("(none)") : links.join(QLatin1Char(' ')));
    }
    return names;
}

bool Guest::pullDuring(Form &form, const QString &activity, const std::function<void()> &during, QString &detail)
{
    const double pulledAt = monotonicMs();
    const int boxes = m_dialogs->messages;
    // When the window learned of the pull: inside a handler that blocks, too.
    double noticedAt = -1;
    const QMetaObject::Connection title = QObject::connect(&form, &QWidget::windowTitleChanged, [&] {
        if (noticedAt < 0 && form.WaitingForAdapter())
            noticedAt = monotonicMs();
    });
    during();
    const bool noticed = runUntil([&] { return form.WaitingForAdapter(); }, 20000);
    const bool back = noticed
        && runUntil([&] { return !form.WaitingForAdapter() && form.BComPort1->Connected() && form.RefreshTimer->Enabled(); },
                    90000);
    QString node;
    const double attached = m_events.addedAfter(pulledAt, QStringLiteral("ttyUSB"), &node);
    const std::vector<double> frames = m_serial->connectFramesAfter(std::max(attached, pulledAt));
    QObject::disconnect(title);
    // An adapter back before the window knew it had gone (the store's wait
    // hides a pull) tells of the wait, not of the reconnect.
    if (back && attached > 0 && !frames.empty())
        (noticedAt >= 0 && noticedAt < attached ? m_replugMs : m_lateReplugMs).push_back(frames.front() - attached);
    const QString shown = form.cbport->currentText();
    const bool named = back && shown == QStringLiteral("/dev/") + node;
    const QString rpm = form.RPMLabel->text();
    const bool flowing = back && runUntil([&] { return form.RPMLabel->text() != rpm; }, 5000);
    detail = QStringLiteral("%1; back as %2 %3 ms after the kernel attached it; the port box shows %4; %5 box(es)%6")
                 .arg(activity, node.isEmpty() ? QStringLiteral("(no tty added)") : node,
                      attached > 0 && !frames.empty() ? QString::number(frames.front() - attached, 'f', 0)
                                                      : QStringLiteral("-"),
                      shown)
                 .arg(m_dialogs->messages - boxes)
                 .arg(!noticed ? QStringLiteral("; the pull was not noticed")
                      : !back  ? QStringLiteral("; not back within 90 s: ") + form.windowTitle()
                      : !flowing ? QStringLiteral("; no live data after it")
                                 : QString());
    return back && named && flowing;
}

void Guest::replugChecks(const QString &device)
{
    auto form = makeForm();
    m_report.step(QStringLiteral("usb: replugs; connect to %1").arg(device));
    if (!connect(*form, device)) {
        m_report.result("replug-same-socket", "usb", false, QStringLiteral("no connect: ") + m_dialogs->last);
        return;
    }
    form->InjEditCheck->setChecked(true);
    press(*form, &Form::InjRefreshButtonClick);
    // (a) During live data, back into the same socket, three times.
    QStringList details;
    bool all = true;
    for (int pull = 0; pull < 3; ++pull) {
        m_report.step(QStringLiteral("usb: pulled during live data, plugged into the same socket (%1 of 3)").arg(pull + 1));
        runFor(2000);
        QString detail;
        int id = 0;
        all = pullDuring(*form, QStringLiteral("live data"), [&] { id = m_rig.send(QStringLiteral("pull same")); }, detail)
            && all;
        m_rig.answer(id, 30000);
        details << detail;
    }
    m_report.result("replug-same-socket", "usb", all, details.join(QStringLiteral(" | ")));

    // (b) During a batch, into another socket, the same serial number.
    {
        m_report.step(QStringLiteral("usb: pulled during a batch of 64 cells, plugged into another socket"));
        std::optional<int> id;
        m_dialogs->onProgress = [&](int value) {
            if (value == 5 && !id)
                id = m_rig.send(QStringLiteral("pull other"));
        };
        QString detail;
        const QStringList before = adapterLinks();
        const bool ok = pullDuring(*form, QStringLiteral("a batch"), [&] { setBlock(*form, 8, 8, 8, 123); }, detail);
        m_dialogs->onProgress = nullptr;
        if (id)
            m_rig.answer(*id, 30000);
        const QStringList after = adapterLinks();
        m_report.result("replug-other-socket", "usb", ok && id && before[0] == after[0] && before[1] != after[1],
                        detail + QStringLiteral("; by-id %1 → %2, by-path %3 → %4").arg(before[0], after[0], before[1], after[1]));
    }

    // (c) During the store's wait, the same socket, while another process
    // holds the old node: the adapter comes back as the next ttyUSBn.
    {
        m_report.step(QStringLiteral("usb: pulled during the store's wait while another process holds the node"));
        press(*form, &Form::ComDisconnectButtonClick);
        const QString node = form->cbport->currentText();
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("hold"), node});
        const bool held = holder.waitForReadyRead(10000) && holder.readLine().startsWith("HELD");
        QString detail;
        bool ok = held && connect(*form, node);
        if (ok) {
            form->InjEditCheck->setChecked(true);
            press(*form, &Form::InjRefreshButtonClick);
            enterCell(*form, 0, 0, (form->InjGrid->Cell(0, 0).toInt() + 1) % 1000);
            std::optional<int> id;
            ok = pullDuring(*form, QStringLiteral("the store's wait"),
                            [&] {
                                QTimer::singleShot(1500, form.get(), [&] { id = m_rig.send(QStringLiteral("pull same")); });
                                press(*form, &Form::InjSaveButtonClick);
                            },
                            detail);
            if (id)
                m_rig.answer(*id, 30000);
            ok = ok && form->cbport->currentText() != node;
        }
        holder.kill();
        holder.waitForFinished(5000);
        m_report.result("replug-held-node", "usb", ok,
                        held ? detail + QStringLiteral("; %1 was held").arg(node) : QStringLiteral("no holder for ") + node);
    }

    // (d) During a firmware upload, an adapter without a serial number of its
    // own (QEMU's follows the socket) into another socket: its by-id name
    // changes. The ECU restarts meanwhile (it was in its loader).
    {
        m_report.step(QStringLiteral("usb: an adapter without a serial number, pulled during an upload, "
                                     "plugged into another socket"));
        press(*form, &Form::ComDisconnectButtonClick);
        const double swapped = monotonicMs();
        QString error;
        m_rig.ask(QStringLiteral("pull bare1"), 60000, &error);
        QString node;
        runUntil([&] { return m_events.addedAfter(swapped, QStringLiteral("ttyUSB"), &node) > 0; }, 30000);
        runFor(2000); // udev's links
        QString detail;
        bool ok = !node.isEmpty() && connect(*form, QStringLiteral("/dev/") + node);
        const QStringList before = adapterLinks();
        if (ok) {
            press(*form, &Form::OpenFWButtonClick);
            const int id = m_rig.send(QStringLiteral("pull bare3 loader 3000 restart"));
            ok = pullDuring(*form, QStringLiteral("an upload"), [&] { press(*form, &Form::LoadFWButtonClick); },
                            detail);
            m_rig.answer(id, 60000);
        }
        const QStringList after = adapterLinks();
        m_report.result("replug-new-name", "usb", ok && before[0] != after[0],
                        node.isEmpty() ? QStringLiteral("the bare adapter did not appear: ") + error
                                       : detail + QStringLiteral("; by-id %1 → %2").arg(before[0], after[0]));
    }
    double longest = 0;
    const QString middle = median(m_replugMs, &longest);
    QStringList late;
    for (double ms : m_lateReplugMs)
        late << QString::number(ms, 'f', 0);
    m_report.figure("replug", "usb",
                    QStringLiteral("adapter attached by the kernel to the connect frame sent: median %1 ms, longest "
                                   "%2 ms, %3 replugs while the window waited%4")
                        .arg(middle)
                        .arg(longest, 0, 'f', 0)
                        .arg(m_replugMs.size())
                        .arg(late.isEmpty() ? QString()
                                            : QStringLiteral("; back before the window knew (the store's wait): %1 ms")
                                                  .arg(late.join(QStringLiteral(", ")))));
    press(*form, &Form::ComDisconnectButtonClick);
}

// A user outside the device's group.
int permission(Report &report, const QString &device)
{
    QTemporaryDir dir;
    auto dialogs = std::make_shared<widgets::QuietDialogs>();
    const std::unique_ptr<Form> window = quietForm(dir, dialogs);
    Form &form = *window;
    form.cbport->setEditText(device);
    press(form, &Form::ComConnectButtonClick);
    const passwd *pw = getpwuid(geteuid());
    const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
    const QString command = QStringLiteral("sudo usermod -aG dialout ") + user;
    report.result("permission", "usb",
                  !form.BComPort1->Connected() && dialogs->last.contains(QStringLiteral("группе dialout"))
                      && dialogs->last.contains(command),
                  QStringLiteral("%1 was told: %2").arg(user, dialogs->last));
    return report.failures();
}

// How much of a widget's width, from its left edge, its ancestors show.
int unclippedWidth(const QWidget *w)
{
    QRect shown = w->rect();
    for (const QWidget *child = w, *parent = w->parentWidget(); parent; child = parent, parent = parent->parentWidget())
        shown = shown.translated(child->pos()) & parent->rect();
    return shown.isEmpty() ? 0 : shown.right() - w->mapTo(w->window(), QPoint(0, 0)).x() + 1;
}

// The captions of a window that do not fit their controls, or are cut by
// what holds them.
QStringList cutTexts(QWidget &window)
{
    QStringList cut;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        const QFontMetrics fm = w->fontMetrics();
        QString text;
        int inset = 0; // where the text starts
        int room = 0;
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->wordWrap()) {
            text = Qt::mightBeRichText(label->text()) && label->textFormat() != Qt::PlainText
                ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                : label->text();
            inset = label->contentsRect().left() + label->margin();
            room = label->contentsRect().width() - 2 * label->margin();
        } else if (auto *box = qobject_cast<QCheckBox *>(w)) {
            text = box->text();
            inset = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box)
                + box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
            room = box->width() - inset;
        } else if (auto *button = qobject_cast<QPushButton *>(w)) {
            text = button->text();
            inset = 2;
            room = button->width() - 4;
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            text = group->title();
            inset = 8;
            room = group->width() - 8;
        }
        text.remove(QLatin1Char('&'));
        room = std::min(room, unclippedWidth(w) - inset);
        if (!text.isEmpty() && !text.contains(QLatin1Char('\n')) && fm.horizontalAdvance(text) > room)
            cut << QStringLiteral("«%1» (%2 px in %3)").arg(text).arg(fm.horizontalAdvance(text)).arg(room);
    }
    return cut;
}

// The fonts on a system that has only what the package pulls in, and the
// window's first page beside the README's picture.
int look(Report &report, const QString &docsPicture, const QString &outPicture)
{
    const QFontInfo liberation(QFont(QStringLiteral("Liberation Sans")));
    report.result("fonts", "package", liberation.family() == QLatin1String("Liberation Sans"),
                  QStringLiteral("«Liberation Sans», which the windows ask for, resolves to «%1»").arg(liberation.family()));
    QTemporaryDir dir;
    const std::unique_ptr<Form> window = quietForm(dir, std::make_shared<widgets::QuietDialogs>());
    Form &form = *window;
    form.show();
    runFor(500);
    const QStringList cut = cutTexts(form);
    report.result("labels", "package", cut.isEmpty(),
                  cut.isEmpty() ? QStringLiteral("every caption fits its control") : QStringLiteral("cut: ") + cut.join(QStringLiteral(", ")));
    const QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(outPicture);
    const QImage docs = QImage(docsPicture).convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    if (docs.size() == shot.size())
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb a = shot.pixel(x, y), b = docs.pixel(x, y);
                differing += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                       std::abs(qBlue(a) - qBlue(b))}) > 48;
            }
    const double share = docs.size() == shot.size() ? 100.0 * double(differing) / double(shot.width() * shot.height()) : 100;
    report.result("picture", "package", share < 1.0,
                  QStringLiteral("%1 × %2 against the README's %3 × %4; %5 % of the pixels differ")
                      .arg(shot.width())
                      .arg(shot.height())
                      .arg(docs.width())
                      .arg(docs.height())
                      .arg(share, 0, 'f', 2));
    return report.failures();
}

// The screen of the X server, once a window is on it: the packaged tarvex.
int screen(Report &report, const QString &outPicture)
{
    // What is not black on the black root window, looked at every `step` pixels.
    auto drawn = [](const QImage &shot, int step) {
        QRect area;
        for (int y = 0; y < shot.height(); y += step)
            for (int x = 0; x < shot.width(); x += step)
                if ((shot.pixel(x, y) & 0xFFFFFF) != 0)
                    area |= QRect(x, y, 1, 1);
        return area;
    };
    auto grab = [] {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    };
    runUntil([&] { return drawn(grab(), 8).width() > 400; }, 60000);
    runFor(3000); // painted in full
    const QImage shot = grab();
    const QRect window = drawn(shot, 1);
    shot.copy(window).save(outPicture);
    report.result("window", "package", window.width() > 400,
                  QStringLiteral("the packaged tarvex's window on the X server: %1 × %2").arg(window.width()).arg(window.height()));
    return report.failures();
}

// Holds a device open, as a program left running would, until killed.
int hold(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::printf("%s %s\n", fd >= 0 ? "HELD" : "FAILED", qPrintable(device));
    std::fflush(stdout);
    if (fd < 0)
        return 1;
    for (int second = 0; second < 600; ++second)
        sleep(1);
    return 0;
}

QString option(const QStringList &args, const char *name)
{
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 ? args.value(at + 1) : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("hold") && argc > 2)
        return hold(QString::fromLocal8Bit(argv[2]));
    if (mode != QLatin1String("screen") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    Report report;
    if (mode == QLatin1String("permission"))
        return permission(report, args.value(2)) ? 1 : 0;
    if (mode == QLatin1String("look"))
        return look(report, args.value(2), args.value(3)) ? 1 : 0;
    if (mode == QLatin1String("screen"))
        return screen(report, args.value(2)) ? 1 : 0;
    if (mode != QLatin1String("lines")) {
        std::fprintf(stderr, "usage: tarvex-guest-checks lines|permission|look|screen|hold …\n");
        return 2;
    }
    RigChannel rig(3);
    Guest guest(rig, report, option(args, "--firmware"));
    guest.lineChecks("uart", option(args, "--uart"));
    guest.lineChecks("usb", option(args, "--usb"));
    guest.replugChecks(option(args, "--usb"));
    return report.failures() ? 1 : 0;
}
