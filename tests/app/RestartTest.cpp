// SPDX-License-Identifier: GPL-3.0-or-later
// Every moment the ECU may hold something else than the window shows: a
// restart behind the plugged cable, a read that failed, a template, its own
// tuning during a batch, and a log on a disk that stops taking it.
#include "monitor/LogMapTrack.h"
#include "sim/Simulator.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

#include <QFile>
#include <QTextStream>
#include <cerrno>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

const QString kNotKnown = QStringLiteral("Не сохранено: окно не знает, что сейчас в ЭБУ — «Обновить»");

class EcuRestart : public FormFixture {
protected:
    // A fake ECU whose live data can go quiet, both maps read.
    std::unique_ptr<TTarvexMainForm> makeReadForm()
    {
        serial->answer = [this](const QByteArray &frame) {
            if (frame == "<G>\r" || frame == "<H>\r")
                return quiet ? QByteArray() : QByteArray("[A850aJ35j]");
            return ecu.answer(frame);
        };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
        connectedAt = serial->calls().size();
        return form;
    }
    void ticks(TTarvexMainForm &form, int count)
    {
        for (int i = 0; i < count; ++i)
            press(form, &TTarvexMainForm::RefreshTimerTimer);
    }
    // The ignition switched off and on: silent ticks, then a restarted ECU.
    void cycleIgnition(TTarvexMainForm &form, const std::function<void()> &restart)
    {
        quiet = true;
        ticks(form, 4);
        quiet = false;
        restart();
        connectedAt = serial->calls().size();
        ticks(form, 1);
    }

    // The simulator, its transcript kept, and a window connected to it.
    sim::Options simOptions() const
    {
        sim::Options o;
        o.registryDir = dir.filePath(QStringLiteral("ports")).toStdString();
        o.stateFile = dir.filePath(QStringLiteral("ecu.state")).toStdString();
        o.transcriptFile = dir.filePath(QStringLiteral("transcript.txt")).toStdString();
        return o;
    }
    // The frames the simulator received since line `from` of its transcript.
    QStringList framesSince(int from) const
    {
        QFile f(dir.filePath(QStringLiteral("transcript.txt")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList frames;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (int i = from; i < lines.size(); ++i)
            if (const QList<QByteArray> words = lines[i].split(' '); words.size() >= 3 && words[1] == "RX")
                frames << QString::fromLatin1(lines[i].mid(lines[i].indexOf(" RX ") + 4));
        return frames;
    }
    // A window connected to the simulator, its fuel map read.
    std::unique_ptr<TTarvexMainForm> connectTo(const sim::Options &options)
    {
        auto form = std::make_unique<TTarvexMainForm>(simulatorServices(options));
        press(*form, &TTarvexMainForm::ComSearchButtonClick);
        press(*form, &TTarvexMainForm::ComConnectButtonClick);
        EXPECT_TRUE(form->BComPort1->Connected());
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        return form;
    }
    int transcriptLines() const
    {
        QFile f(dir.filePath(QStringLiteral("transcript.txt")));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }

    MapEcu ecu;
    bool quiet = false;
};

// A fitter's day: a cell typed in and not stored, the ignition cycled with
// the laptop plugged in. The window notices, compares both maps, and nothing
// is written or stored before the fitter has chosen.
TEST_F(EcuRestart, AnIgnitionCycleBehindTheCableIsReportedBeforeAnythingIsWrittenOrStored)
{
    sim::Options options = simOptions();
    sim::Simulator simulator(options);
    simulator.start();
    auto window = connectTo(options);
    TTarvexMainForm &form = *window;
    press(form, &TTarvexMainForm::IgnRefreshButtonClick);
    const int stored = sim::EcuModel::fuelTemplate()[35];
    enterCell(form, 0, 3, 2, QString::number(stored + 7));
    ASSERT_EQ(form.MapState(0).unstoredCount(), 1);

    int atTheChoice = -1;
    QString storeNote;
    dialogs->onChoose = [&](const RecordingDialogs::Choice &) {
        simulator.withModel([&](sim::EcuModel &m) { atTheChoice = m.fuelCell(35); });
        press(form, &TTarvexMainForm::InjSaveButtonClick);
        storeNote = form.InjWarningLabel->toolTip();
    };
    dialogs->choiceAnswers = {1}; // the ECU's values
    const int before = transcriptLines();
    simulator.cycleIgnition(800);
    ASSERT_TRUE(runUntil([&] { return !dialogs->choiceWindows.empty(); }, 8000)) << "no report";
    ASSERT_EQ(dialogs->choiceWindows[0].table.rows,
              (std::vector<QStringList>{{"Топливная карта", "36", "3", "1500", QString::number(stored),
                                         QString::number(stored + 7)}}))
        << "the lost cell, and nothing of the ignition map";
    EXPECT_EQ(atTheChoice, stored) << "nothing written before the choice";
    EXPECT_TRUE(storeNote.startsWith(kNotKnown)) << qPrintable(storeNote);
    const QStringList sent = framesSince(before);
    EXPECT_FALSE(sent.contains(QStringLiteral("<C>\\r"))) << "no store before the choice";
    EXPECT_TRUE(sent.contains(QStringLiteral("<A>\\r")) && sent.contains(QStringLiteral("<D>\\r\\r")))
        << "both maps read before the report";
    EXPECT_EQ(form.InjGrid->Cell(3, 2), QString::number(stored));
    EXPECT_FALSE(form.InjGrid->Stale());
    EXPECT_EQ(form.MapState(0).unstoredCount(), 0) << "the ECU's stored map, taken";
    EXPECT_TRUE(runUntil([&] { return form.RefreshTimer->Enabled(); }, 2000)) << "live data again";
    dialogs->answerYes = false;
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

// Both maps differ after a restart: one report, a choice for each.
TEST_F(EcuRestart, OneReportForBothMapsWithAChoiceForEach)
{
    auto form = makeReadForm();
    enterCell(*form, 0, 1, 1, QStringLiteral("77"));
    enterCell(*form, 1, 5, 0, QStringLiteral("25"));
    dialogs->choiceAnswersEach = {{0, 1}}; // fuel: write the window's values; ignition: take the ECU's
    bool lockedAtTheChoice = false;
    dialogs->onChoose = [&](const RecordingDialogs::Choice &) {
        lockedAtTheChoice = !form->RefreshTimer->Enabled() && cellWrites().isEmpty();
    };
    cycleIgnition(*form, [&] {
        ecu.fuel[17] = QStringLiteral("40");
        ecu.ignition[5] = QStringLiteral("20");
    });
    ASSERT_EQ(dialogs->choiceWindows.size(), 1u);
    EXPECT_EQ(dialogs->choiceWindows[0].subjects, (QStringList{"Топливная карта", "Карта УОЗ"}));
    EXPECT_EQ(dialogs->choiceWindows[0].table.rows,
              (std::vector<QStringList>{{"Топливная карта", "18", "2", "900", "40", "77"},
                                        {"Карта УОЗ", "6", "1", "2100", "20", "25"}}));
    EXPECT_TRUE(lockedAtTheChoice) << "live data off and nothing written while the fitter decides";
    EXPECT_EQ(cellWrites(), QList<QByteArray>{"<B[   18/77]>\r"});
    EXPECT_EQ(form->IgnGrid->Cell(5, 0), QStringLiteral("20"));
    EXPECT_EQ(form->MapState(0).unstoredCount(), 1) << "written again: not in the ECU's permanent memory";
    EXPECT_EQ(form->MapState(1).unstoredCount(), 0);
    EXPECT_TRUE(form->RefreshTimer->Enabled());

    // The same silence with nothing lost: carried on silently.
    cycleIgnition(*form, [] {});
    EXPECT_EQ(dialogs->choiceWindows.size(), 1u);
    EXPECT_TRUE(form->MapState(0).canUndo()) << "history kept";
    EXPECT_EQ(form->MapState(0).unstoredCount(), 1) << "unstored mark kept";
}

// With the ECU tuning itself, the report stays the only one however long the
// fitter takes: nothing reads a map (the autotune re-read neither), nothing
// is written, live data stays off.
TEST_F(EcuRestart, TheReportLeftOpenWithTheEcuTuningItselfStaysTheOnlyOne)
{
    sim::Options options = simOptions();
    sim::Simulator simulator(options);
    simulator.start();
    auto window = connectTo(options);
    TTarvexMainForm &form = *window;
    enterCell(form, 0, 0, 8, QStringLiteral("99"));
    press(form, &TTarvexMainForm::autotunebuttonClick);
    ASSERT_TRUE(runUntil([&] { return form.AutotuneState() && form.Timer1->Enabled(); }, 3000));

    QStringList sentWhileOpen;
    bool liveWhileOpen = true;
    dialogs->onChoose = [&](const RecordingDialogs::Choice &) {
        const int from = transcriptLines();
        QEventLoop open; // longer than the re-read timer's 5 s
        QTimer::singleShot(6000, &open, &QEventLoop::quit);
        open.exec();
        // The re-read's timer, had it been left on, reads nothing either.
        press(form, &TTarvexMainForm::Timer1Timer);
        runUntil([] { return false; }, 200); // the transcript's last line
        sentWhileOpen = framesSince(from);
        liveWhileOpen = form.RefreshTimer->Enabled();
    };
    dialogs->choiceAnswers = {1};
    simulator.cycleIgnition(600);
    ASSERT_TRUE(runUntil([&] { return !dialogs->choiceWindows.empty(); }, 8000));
    EXPECT_TRUE(sentWhileOpen.isEmpty()) << qPrintable(sentWhileOpen.join(QLatin1Char(' ')));
    EXPECT_FALSE(liveWhileOpen);
    // The re-reads go on after the choice without a second report.
    EXPECT_FALSE(runUntil([&] { return dialogs->choiceWindows.size() > 1; }, 6000));
    EXPECT_FALSE(form.InjGrid->Stale());
    dialogs->answerYes = false;
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

TEST_F(EcuRestart, TheTemplateIsPlannedByTheSessionAndSaidLoadedOnlyWhenRead)
{
    auto form = makeReadForm();
    // During the store's wait: not sent.
    int templatesTried = 0;
    serial->answer = [&, inner = serial->answer](const QByteArray &frame) {
        if (frame == "<C>\r" && templatesTried++ == 0)
            press(*form, &TTarvexMainForm::InjTemplateButtonClick);
        return inner(frame);
    };
    QTimer::singleShot(0, form.get(), [&] { form->Timer2Timer(); });
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    EXPECT_EQ(templatesTried, 1);
    EXPECT_FALSE(writesSinceConnect().contains("<N>\r"));

    // A template whose read comes back short: the grid is marked, nothing is
    // said loaded, and neither a change nor a store is taken.
    bool shortRead = true;
    serial->answer = [&](const QByteArray &frame) {
        if (frame == "<N>\r")
            ecu.fuel = QStringList(256, QStringLiteral("55"));
        if (frame == "<A>\r" && shortRead)
            return QByteArray("[55,55,");
        return ecu.answer(frame);
    };
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::InjTemplateButtonClick);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<N>\r", "<A>\r"}));
    EXPECT_TRUE(form->InjGrid->Stale());
    EXPECT_EQ(form->InjWarningLabel->toolTip(), QStringLiteral("Карта не прочитана: ответ ЭБУ неполный — «Обновить»"));
    EXPECT_FALSE(dialogs->texts().contains(QStringLiteral("Загружен шаблон топливной карты.")));
    EXPECT_TRUE(dialogs->texts().last().startsWith(QStringLiteral("Шаблон загружен в ЭБУ, но карту не удалось прочитать")));
    enterCell(*form, 0, 0, 0, QStringLiteral("41"));
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    EXPECT_TRUE(cellWrites().isEmpty());
    EXPECT_FALSE(writesSinceConnect().contains("<C>\r")) << "not stored: the window does not know the map";

    shortRead = false;
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_FALSE(form->InjGrid->Stale());
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("55"));
    EXPECT_EQ(form->MapState(0).unstoredCount(), 256) << "the template is not stored";
}

// The simulator's automatic tuning moves the working point's cell while a
// batch writes others: only the cells written are checked, and polling goes
// on before any box.
TEST_F(EcuRestart, ABatchsReadBackNamesOnlyTheCellsItWrote)
{
    sim::Options options = simOptions();
    options.warm = true;
    sim::Simulator simulator(options);
    simulator.start();
    auto window = connectTo(options);
    TTarvexMainForm &form = *window;
    press(form, &TTarvexMainForm::autotunebuttonClick);
    ASSERT_TRUE(runUntil([&] { return form.AutotuneState(); }, 3000));
    form.InjEditCheck->setChecked(true);
    // Rows 12 and 13: far from the idling engine's cell.
    form.InjGrid->setCurrentCell(12, 0);
    form.InjGrid->setRangeSelected(QTableWidgetSelectionRange(12, 0, 13, 15), true);
    QStringList before = form.MapState(0).ecu();
    bool pollingAtABox = true;
    dialogs->onMessage = [&](const RecordingDialogs::Message &) { pollingAtABox = form.RefreshTimer->Enabled(); };
    dialogs->numberAnswers = {77};
    form.Guarded([&] { form.MapOperationClick(0, TTarvexMainForm::MapOperation::SetValue); });
    for (int cell = 192; cell < 224; ++cell)
        EXPECT_EQ(form.InjGrid->Cell(cell % 16, cell / 16), QStringLiteral("77")) << cell;
    int tuned = 0;
    for (int cell = 0; cell < 256; ++cell)
        tuned += (cell < 192 || cell >= 224) && form.MapState(0).ecu()[cell] != before[cell];
    EXPECT_GT(tuned, 0) << "the ECU tuned a cell during the batch";
    EXPECT_FALSE(dialogs->texts().join(QLatin1Char('|')).contains(QStringLiteral("не записались")))
        << "the ECU's own changes are no failed writes";
    EXPECT_EQ(form.InjWarningLabel->toolTip().section(QStringLiteral("; "), 0, 0),
              QStringLiteral("ЭБУ сам изменил ячеек: %1 (автонастройка) — показаны его значения").arg(tuned));
    EXPECT_TRUE(pollingAtABox);
    EXPECT_TRUE(form.RefreshTimer->Enabled());
    press(form, &TTarvexMainForm::autotunebuttonClick);
    dialogs->answerYes = false;
    press(form, &TTarvexMainForm::ComDisconnectButtonClick);
    simulator.stop();
}

TEST_F(EcuRestart, ALogOnADiskThatFailsEndsOnceAndLiveDataGoesOn)
{
    app::FormServices s = services();
    s.logFolder = dir.path();
    s.logSync = [](int) {
        errno = ENOSPC;
        return -1;
    };
    serial->answer = [](const QByteArray &frame) {
        return frame == "<G>\r" ? QByteArray("[A850a]") : frame == "<H>\r" ? QByteArray("[J35j]") : QByteArray();
    };
    TTarvexMainForm form(s);
    form.cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    press(form, &TTarvexMainForm::LogButtonClick);
    ASSERT_TRUE(form.Logging());
    EXPECT_TRUE(runUntil(
        [&] {
            press(form, &TTarvexMainForm::RefreshTimerTimer);
            return !form.Logging();
        },
        5000));
    ticks(form, 6);
    ASSERT_EQ(dialogs->messages.size(), 1u) << "told once";
    EXPECT_TRUE(dialogs->texts()[0].startsWith(QStringLiteral("Запись лога остановлена: "))) << qPrintable(dialogs->texts()[0]);
    EXPECT_TRUE(form.RefreshTimer->Enabled()) << "live data goes on";
    EXPECT_TRUE(form.logwritelabel->text().isEmpty());
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    QFile log(dir.filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("\r\n")) << "what was written stays";
}

// A log started on the first page, before the fuel map was ever read, gets
// its map beside it from the first record at which the window knows it.
TEST_F(EcuRestart, ALogStartedBeforeTheFuelMapIsKnownGetsItsMapOnceItIs)
{
    app::FormServices s = services();
    s.logFolder = dir.path();
    serial->answer = [this](const QByteArray &frame) {
        return frame == "<G>\r" ? QByteArray("[A850a]") : frame == "<H>\r" ? QByteArray("[J35j]") : ecu.answer(frame);
    };
    TTarvexMainForm form(s);
    form.cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    press(form, &TTarvexMainForm::LogButtonClick);
    ticks(form, 4); // two records
    const QString log = dir.filePath(QDir(dir.path()).entryList({QStringLiteral("*.log")}).value(0));
    const QString track = monitor::logMapTrackPath(log);
    EXPECT_FALSE(QFile::exists(track));
    press(form, &TTarvexMainForm::InjRefreshButtonClick);
    ticks(form, 4);
    press(form, &TTarvexMainForm::LogButtonClick);
    const monitor::LogMapTrackRead read = monitor::readLogMapTrackFile(track);
    ASSERT_TRUE(read.track) << qPrintable(read.error.text(1));
    EXPECT_EQ(read.track->firstRecord(), 2);
    EXPECT_FALSE(read.track->hasMapAt(1));
    EXPECT_EQ(read.track->mapAt(3)[0], 40);
}

TEST_F(EcuRestart, SavingAMapNeverReadIsRefused)
{
    serial->answer = [](const QByteArray &) { return QByteArray(); };
    auto form = makeConnectedForm();
    dialogs->nextFile = dir.filePath(QStringLiteral("empty.inj"));
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Карта ещё не прочитана из ЭБУ: в файл сохранять нечего."});
    EXPECT_FALSE(QFile::exists(dialogs->nextFile));
}

} // namespace
