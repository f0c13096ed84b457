// SPDX-License-Identifier: GPL-3.0-or-later
// A pulled adapter: one error box, then the window waits for it and connects
// again by itself when it is back; anything else fails as before.
#include "link/PosixSerialSystem.h"
#include "widgets/MapGrid.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

const QString kWaiting = QStringLiteral("Tarvex 28.07.23 — нет связи — ожидание адаптера");

class Reconnect : public FormFixture {
protected:
    app::FormServices services() const
    {
        app::FormServices s = FormFixture::services();
        s.logFolder = dir.path();
        return s;
    }
    std::unique_ptr<TTarvexMainForm> makeLinkedForm()
    {
        serial->stableNames[QStringLiteral("/dev/ttyUSB0")] = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
        serial->answer = [](const QByteArray &frame) {
            return frame == "<E>\r" ? QByteArray("[FW 5.2]") : frame == "<G>\r" ? QByteArray("[A850a]") : QByteArray();
        };
        auto form = std::make_unique<TTarvexMainForm>(services());
        form->cbport->setEditText(QStringLiteral("ttyUSB0"));
        press(*form, &TTarvexMainForm::ComConnectButtonClick);
        return form;
    }
    QStringList logs() const { return QDir(dir.path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name); }
    // With why a device that is back was not taken, if it was not.
    static void expectWaiting(TTarvexMainForm &form, const QString &note = QString())
    {
        EXPECT_TRUE(form.WaitingForAdapter());
        EXPECT_EQ(form.windowTitle(), note.isEmpty() ? kWaiting : kWaiting + QStringLiteral(" — ") + note);
        EXPECT_FALSE(form.BComPort1->Connected()) << "the dead descriptor is let go";
        EXPECT_FALSE(form.RefreshTimer->Enabled());
        EXPECT_TRUE(form.ReconnectTimer->Enabled());
        EXPECT_FALSE(form.ComConnectButton->isEnabled());
        EXPECT_TRUE(form.ComDisconnectButton->isEnabled());
        EXPECT_FALSE(form.InjPanel->isEnabled());
        EXPECT_EQ(form.cbport->currentText(), QStringLiteral("ttyUSB0")) << "the port is kept";
    }
};

TEST_F(Reconnect, APulledAdapterIsReportedOnceWaitedForAndTakenBack)
{
    auto form = makeLinkedForm();
    form->InjGrid->SetCell(0, 0, QStringLiteral("12"));
    form->InjGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->InjGridKeyDown(13); }); // unstored
    press(*form, &TTarvexMainForm::LogButtonClick);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);

    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    for (int look = 0; look < 3; ++look)
        press(*form, &TTarvexMainForm::ReconnectTimerTimer); // still gone
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка функции PurgeComm."});
    expectWaiting(*form);
    EXPECT_FALSE(form->Logging());
    ASSERT_EQ(logs().size(), 1);
    QFile first(dir.filePath(logs()[0]));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), QByteArray("\r\nRPM 850")) << "the first log is complete as far as it went";

    now = now.addSecs(7);
    serial->reappear();
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_FALSE(form->WaitingForAdapter());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tarvex 28.07.23"));
    EXPECT_TRUE(form->BComPort1->Connected());
    EXPECT_EQ(serial->callsNamed(QStringLiteral("open")).back().bytes, QByteArray("/dev/serial/by-id/usb-FTDI-if00"))
        << "the same adapter, whatever its ttyUSB number now";
    EXPECT_EQ(writesSinceConnect().mid(0, 2), (QList<QByteArray>{"<E>\r", "<Q>\r"}))
        << "the connect sequence, then the new log's version line";
    EXPECT_TRUE(form->RefreshTimer->Enabled()) << "polling resumes";
    EXPECT_TRUE(form->InjPanel->isEnabled());
    EXPECT_TRUE(form->Logging());
    EXPECT_EQ(logs().size(), 2) << "a drive is split at the gap";
    EXPECT_EQ(dialogs->messages.size(), 1u);

    dialogs->answerYes = false;
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_EQ(dialogs->questions.size(), 1) << "the unstored fuel cell is still asked about";
}

TEST_F(Reconnect, DisconnectWhileWaitingEndsTheWait)
{
    auto form = makeLinkedForm();
    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    ASSERT_TRUE(form->WaitingForAdapter());
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_FALSE(form->WaitingForAdapter());
    EXPECT_FALSE(form->ReconnectTimer->Enabled());
    EXPECT_TRUE(form->ComConnectButton->isEnabled());
    EXPECT_FALSE(form->ComDisconnectButton->isEnabled());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tarvex 28.07.23"));
    serial->reappear();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_EQ(dialogs->messages.size(), 1u);
}

TEST_F(Reconnect, ClosingWhileWaitingClosesAsEver)
{
    auto form = makeLinkedForm();
    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    ASSERT_TRUE(form->WaitingForAdapter());
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->ReconnectTimer->Enabled());
    EXPECT_EQ(iniLines().size(), 21);
    EXPECT_EQ(dialogs->messages.size(), 1u);
}

TEST_F(Reconnect, OtherErrorsAreNotAPulledAdapter)
{
    auto form = makeLinkedForm();
    form->ComboBox1->setCurrentIndex(1);
    serial->failOn(QStringLiteral("write"), EACCES, 1);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка записи в порт."});
    EXPECT_FALSE(form->WaitingForAdapter());
    EXPECT_TRUE(form->BComPort1->Connected()) << "as today: connected, polling off";
    EXPECT_FALSE(form->RefreshTimer->Enabled());

    serial->vanish();
    press(*form, &TTarvexMainForm::InjTestButtonClick);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tarvex 28.07.23 — no link — waiting for the adapter"));
}

// After a replug the ECU must say it is the one of the first connect.
TEST_F(Reconnect, AnotherEcuAfterAReplugIsNotTaken)
{
    auto form = makeLinkedForm();
    QByteArray version = "[FW 6.0]";
    serial->answer = [&version](const QByteArray &frame) { return frame == "<E>\r" ? version : QByteArray(); };
    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    serial->reappear();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    expectWaiting(*form, QStringLiteral("ответил другой ЭБУ или адаптер («FW 6.0», а не «FW 5.2»)"));
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "not asked again while it stays plugged in";

    version = "";
    serial->vanish();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    serial->reappear();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    expectWaiting(*form, QStringLiteral("адаптер на месте, ЭБУ не отвечает"));
    version = "[FW 5.2]";
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_TRUE(form->RefreshTimer->Enabled()) << "a silent ECU is asked again at the next look";
}

// An adapter whose by-id name follows its USB socket, plugged into another
// socket: its remembered name never returns. The one new serial port is
// tried, refused while another ECU answers on it, taken when the ECU of the
// first connect does, and named in the port box; it is the one remembered.
TEST_F(Reconnect, ANewAdapterIsTriedWhenTheRememberedNameStaysAway)
{
    const QString firstName = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"),
                  newName = QStringLiteral("/dev/serial/by-id/usb-FTDI-socket3-if00");
    serial->ports = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")};
    auto form = makeLinkedForm();
    QByteArray version = "[FW 6.0]";
    serial->answer = [&version](const QByteArray &frame) { return frame == "<E>\r" ? version : QByteArray(); };
    serial->vanish();
    serial->ports = {QStringLiteral("/dev/ttyS0")};
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    serial->reappear();
    serial->absent = {firstName};
    auto opened = [&] { return QString::fromUtf8(serial->callsNamed(QStringLiteral("open")).back().bytes); };

    serial->ports << QStringLiteral("/dev/ttyUSB2");
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_EQ(opened(), QStringLiteral("/dev/ttyUSB2"));
    expectWaiting(*form, QStringLiteral("ответил другой ЭБУ или адаптер («FW 6.0», а не «FW 5.2»)"));
    serial->ports << QStringLiteral("/dev/ttyUSB1");
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "two new ports: neither is known for ours";

    serial->ports.removeAll(QStringLiteral("/dev/ttyUSB2"));
    serial->stableNames[QStringLiteral("/dev/ttyUSB1")] = newName;
    version = "[FW 5.2]";
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_EQ(opened(), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_FALSE(form->WaitingForAdapter());
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_EQ(form->cbport->currentText(), QStringLiteral("/dev/ttyUSB1")) << "the name in use";

    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    serial->reappear();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_EQ(opened(), newName) << "known by its new name from now on";
}

// The waiting state is there before the box of a lost link, and the
// reconnect goes on behind it.
TEST_F(Reconnect, TheLostLinkIsShownBeforeTheBoxAndTheReconnectGoesOnBehindIt)
{
    auto form = makeLinkedForm();
    bool connectedBehindBox = false;
    dialogs->onMessage = [&](const RecordingDialogs::Message &) {
        expectWaiting(*form);
        EXPECT_TRUE(form->rpmgauge->NoData());
        serial->reappear();
        press(*form, &TTarvexMainForm::ReconnectTimerTimer); // a look while the box is up
        connectedBehindBox = form->BComPort1->Connected() && form->RefreshTimer->Enabled();
    };
    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_TRUE(connectedBehindBox);
}

TEST_F(Reconnect, ThreePullsInARowOneDuringTheConnectFrameLeaveTheLogGoingOn)
{
    auto form = makeLinkedForm();
    bool pullAtConnect = true;
    serial->answer = [&](const QByteArray &frame) {
        if (frame == "<E>\r" && std::exchange(pullAtConnect, false))
            serial->vanish();
        return frame == "<E>\r" ? QByteArray("[FW 5.2]") : QByteArray("[A850a]");
    };
    press(*form, &TTarvexMainForm::LogButtonClick);
    for (int pull : {1, 3}) {
        serial->vanish();
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
        for (int look = 0; look < (pull == 1 ? 2 : 1); ++look) { // pull 2 during the first connect frame
            now = now.addSecs(10);
            serial->reappear();
            press(*form, &TTarvexMainForm::ReconnectTimerTimer);
        }
        EXPECT_TRUE(form->Logging() && !form->WaitingForAdapter()) << pull;
    }
    EXPECT_EQ(logs().size(), 3) << "the first drive and one file after each reconnect";
    EXPECT_EQ(dialogs->messages.size(), 2u) << "a box for each pull while polling, none for the bounce";
}

// The simulator's cable pulled and plugged in again: a new pseudo-terminal
// under the same registry link.
TEST_F(Reconnect, TheSimulatorReplugged)
{
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.replugAfterS = 0.6;
    sim::Simulator simulator(options);
    simulator.start();
    app::FormServices s = simulatorServices(options);
    TTarvexMainForm form(s);
    press(form, &TTarvexMainForm::ComSearchButtonClick);
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form.BComPort1->Connected());
    for (int pull = 0; pull < 2; ++pull) {
        simulator.pull();
        ASSERT_TRUE(runUntil([&] { return form.WaitingForAdapter(); }, 3000)) << "pull " << pull;
        ASSERT_TRUE(runUntil([&] { return !simulator.pulled(); }, 3000));
        QElapsedTimer back;
        back.start();
        ASSERT_TRUE(runUntil([&] { return form.BComPort1->Connected() && form.RefreshTimer->Enabled(); }, 3000));
        EXPECT_LT(back.elapsed(), 1500) << "connected again within 1.5 s of the port's return";
    }
    EXPECT_EQ(dialogs->messages.size(), 2u) << "one box a pull: " << qPrintable(dialogs->texts().join('|'));
    const QString rpm = form.RPMLabel->text();
    EXPECT_TRUE(runUntil([&] { return !form.RPMLabel->text().isEmpty() && form.RPMLabel->text() != rpm; }, 2000))
        << "live data flows again";

    // Another ECU under the same name after the next replug is not taken.
    simulator.withModel([](sim::EcuModel &model) { model.setVersion("OTHER ECU 1.0"); });
    simulator.pull();
    EXPECT_TRUE(runUntil([&] { return form.windowTitle().contains(QStringLiteral("«OTHER ECU 1.0»")); }, 3000));
    EXPECT_FALSE(form.BComPort1->Connected());
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    EXPECT_EQ(form.FWmemo->toPlainText(), QStringLiteral("OTHER ECU 1.0")) << "by hand, whatever answers";
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

// The ignition cycled while the plug was out: the simulator restarts with its
// stored maps and the cell written before the pull is lost. The window says
// so and writes nothing until the fitter chooses.
TEST_F(Reconnect, AnEcuThatLostAnUnstoredCellIsReportedBeforeAnythingIsWritten)
{
    sim::Options options;
    options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
    options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
    options.restartOnReplug = true;
    sim::Simulator simulator(options);
    simulator.start();
    TTarvexMainForm form(simulatorServices(options));
    press(form, &TTarvexMainForm::ComSearchButtonClick);
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form.BComPort1->Connected());
    press(form, &TTarvexMainForm::InjRefreshButtonClick);
    const int stored = sim::EcuModel::fuelTemplate()[35];
    form.InjGrid->SetCell(3, 2, QString::number(stored + 7));
    form.InjGrid->setCurrentCell(2, 3);
    form.Guarded([&] { form.InjGridKeyDown(13); });
    int held = 0;
    simulator.withModel([&](sim::EcuModel &m) { held = m.fuelCell(35); });
    ASSERT_EQ(held, stored + 7);

    simulator.pull();
    ASSERT_TRUE(runUntil([&] { return form.WaitingForAdapter(); }, 3000));
    int atTheChoice = -1;
    dialogs->onChoose = [&](const RecordingDialogs::Choice &) {
        simulator.withModel([&](sim::EcuModel &m) { atTheChoice = m.fuelCell(35); });
    };
    dialogs->choiceAnswers = {0};
    simulator.replug();
    ASSERT_TRUE(runUntil([&] { return !dialogs->choiceWindows.empty(); }, 3000));
    ASSERT_TRUE(runUntil([&] { return form.InjPanel->isEnabled(); }, 3000));
    EXPECT_EQ(dialogs->choiceWindows[0].table.rows,
              (std::vector<QStringList>{{"Топливная карта", "36", "3", "1500", QString::number(stored),
                                         QString::number(stored + 7)}}));
    EXPECT_EQ(atTheChoice, stored) << "nothing written before the choice";
    simulator.withModel([&](sim::EcuModel &m) { held = m.fuelCell(35); });
    EXPECT_EQ(held, stored + 7) << "written again once chosen";
    dialogs->answerYes = false;
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

} // namespace
