// SPDX-License-Identifier: GPL-3.0-or-later
// The window against the ECU simulator on a real pseudo-terminal.
#include "link/PosixSerialSystem.h"
#include "widgets/MapGrid.h"
#include "widgets/AnalogGauge.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"

#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QThread>
#include <QPushButton>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class WithSimulator : public FormFixture {
protected:
    void SetUp() override
    {
        options.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
        options.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
        options.imageFile = dir.filePath(QStringLiteral("image.bin")).toStdString();
        simulator = std::make_unique<sim::Simulator>(options);
        simulator->start();
        // Only the simulator's registry: no hardware ports in the way.
        QDir(dir.path()).mkdir(QStringLiteral("sysfs"));
        serialSystem = std::make_shared<link::PosixSerialSystem>(dir.filePath(QStringLiteral("sysfs")),
                                                                 QString::fromStdString(options.registryDir));
    }

    void TearDown() override { simulator->stop(); }

    std::unique_ptr<TTarvexMainForm> makeRealForm()
    {
        app::FormServices s = services();
        s.serial = serialSystem;
        s.clock = systemClock();
        return std::make_unique<TTarvexMainForm>(s);
    }

    sim::Options options;
    std::unique_ptr<sim::Simulator> simulator;
    std::shared_ptr<link::PosixSerialSystem> serialSystem;
};

TEST_F(WithSimulator, SearchFindsItConnectShowsItsVersionAndDisconnectLocksAgain)
{
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    ASSERT_EQ(form->cbport->count(), 1);
    EXPECT_EQ(form->cbport->currentText().toStdString(), simulator->registryLink());
    EXPECT_TRUE(form->ComConnectButton->isEnabled());

    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
    EXPECT_TRUE(form->BComPort1->Connected());
    EXPECT_EQ(form->FWmemo->toPlainText(), QStringLiteral("TARVEX-SIM 5.2 (28.07.23)"));
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(form->SettingsPanel->isEnabled());

    // A second program cannot take the port meanwhile.
    link::TBComPort other(nullptr, serialSystem);
    other.SetPort(form->cbport->currentText());
    EXPECT_THROW(other.Open(), link::EComPort);

    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_FALSE(form->SettingsPanel->isEnabled());
    EXPECT_FALSE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(WithSimulator, APulledCableIsReportedAndTheWindowCanLetGo)
{
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form->BComPort1->Connected());
    simulator->stop(); // the cable is gone
    form->Guarded([&] { form->Exchange().run(link::CommandId::SensorRequest); });
    ASSERT_EQ(dialogs->messages.size(), 1u);
    // Whichever step meets the hang-up first reports it.
    const QStringList expected{"Ошибка функции PurgeComm.", "Ошибка записи в порт.", "Ошибка чтения из порта."};
    EXPECT_TRUE(expected.contains(dialogs->texts()[0])) << qPrintable(dialogs->texts()[0]);
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_EQ(dialogs->messages.size(), 1u) << "letting go of a vanished device says nothing";
}

TEST_F(WithSimulator, AFuelCellChangedAndStoredIsThereWhenReadAgain)
{
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    form->RefreshTimer->SetEnabled(false);
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    const QString before = form->InjGrid->Cell(3, 2);
    ASSERT_FALSE(before.isEmpty());
    const QString changed = QString::number(before.toInt() + 7);
    form->InjGrid->SetCell(3, 2, changed);
    form->InjGrid->setCurrentCell(2, 3);
    form->Guarded([&] { form->InjGridKeyDown(13); });
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    form->InjGrid->SetCell(3, 2, QString());
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_EQ(form->InjGrid->Cell(3, 2), changed);
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
    int stored = 0;
    simulator->stop();
    // The simulator kept the stored map: a new one reads it back.
    sim::EcuModel restarted(1, options.stateFile);
    stored = restarted.fuelCell(35);
    EXPECT_EQ(QString::number(stored), changed);
}

TEST_F(WithSimulator, LiveDataAlternatesAndFillsTheDisplay)
{
    simulator->stop();
    options.transcriptFile = dir.filePath(QStringLiteral("transcript.txt")).toStdString();
    simulator = std::make_unique<sim::Simulator>(options);
    simulator->start();
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    const QString rpm = form->RPMLabel->text(), volts = form->VoltageLabel->text(),
                  cursor = form->CursorLabel->text(), fault = form->ErrorCodeLabel->text();
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator->stop();
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
    EXPECT_EQ(form->RPMLabel->text(), QStringLiteral("—")) << "disconnected: no live data shown";

    QFile transcript(QString::fromStdString(options.transcriptFile));
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    QList<QByteArray> frames;
    for (const QByteArray &line : transcript.readAll().split('\n'))
        if (line.contains(" RX "))
            frames << line.mid(line.indexOf(" RX ") + 4);
    ASSERT_GE(frames.size(), 8) << "about one request every 100 ms";
    EXPECT_EQ(frames[0], QByteArray("<E>\\r"));
    for (int i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], QByteArray(i % 2 ? "<G>\\r" : "<H>\\r")) << i;

    EXPECT_GT(rpm.toInt(), 700) << "idle, warm or cold";
    EXPECT_LT(rpm.toInt(), 1400);
    EXPECT_TRUE(volts.endsWith(QLatin1String(" V")));
    EXPECT_FALSE(cursor.isEmpty());
    EXPECT_EQ(fault, QStringLiteral("НЕТ"));
    EXPECT_GT(form->rpmgauge->Position(), 0.5);
}

TEST_F(WithSimulator, ARaiseButtonChangesTheValueThePageShows)
{
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    form->RefreshTimer->SetEnabled(false);
    press(*form, &TTarvexMainForm::Calibration_read_buttonClick);
    EXPECT_EQ(form->CalibrationRows[0].value->text(), QStringLiteral("850"));
    form->CalibrationRows[0].raise->click();
    EXPECT_EQ(form->CalibrationRows[0].value->text(), QStringLiteral("875"));
    form->CalibrationRows[12].lower->click(); // the single byte 0xE2
    EXPECT_EQ(form->CalibrationRows[12].value->text(), QStringLiteral("19"));
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
}

TEST_F(WithSimulator, AFirmwareImageArrivesWholePaddedToBlocks)
{
    QByteArray image;
    for (int i = 0; i < 1000; ++i)
        image.append(char(i * 7));
    const QString file = dir.filePath(QStringLiteral("fw.bin"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image);
    }
    auto form = makeRealForm();
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    dialogs->nextFile = file;
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    press(*form, &TTarvexMainForm::LoadFWButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Обновление ПО завершено."});
    QFile written(QString::fromStdString(options.imageFile));
    for (int i = 0; i < 100 && !written.exists(); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), image + QByteArray(1024 - 1000, char(0xFF)));
    EXPECT_EQ(form->ProgressBar3->value(), 0);
}

} // namespace
