// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

#include <sys/stat.h>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class Files : public FormFixture {
protected:
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QByteArray read(const QString &file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString &file, const QByteArray &content) const
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray lines(int count, const QByteArray &value)
    {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += value + "\r\n";
        return out;
    }
};

TEST_F(Files, SavingWritesTheGridLineByLine)
{
    QStringList ignition(256, QStringLiteral("10"));
    ignition[0] = QStringLiteral("007");
    serial->answer = [&ignition](const QByteArray &frame) {
        return frame == "<A>\r" ? mapReply(12) : frame == "<D>\r\r" ? mapReply(ignition) : QByteArray();
    };
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    dialogs->nextFile = path("fuel.inj");
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(read(path("fuel.inj")), lines(256, "12"));
    EXPECT_EQ(read(path("fuel.inj")).size(), 1024);
    EXPECT_EQ(dialogs->texts(), QStringList{"Топливная карта сохранена в файл."});
    ASSERT_EQ(dialogs->fileDialogs.size(), 1u);
    EXPECT_TRUE(dialogs->fileDialogs[0].save);
    EXPECT_EQ(dialogs->fileDialogs[0].description, QStringLiteral("Injection Table "));
    EXPECT_EQ(dialogs->fileDialogs[0].pattern, QStringLiteral("*.inj"));
    EXPECT_EQ(dialogs->fileDialogs[0].suffix, QStringLiteral("inj"));

    dialogs->nextFile = path("spark.ign");
    press(*form, &TTarvexMainForm::IgnFileSaveButtonClick);
    EXPECT_TRUE(read(path("spark.ign")).startsWith("007\r\n10\r\n")) << "as the grid holds it";
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Карта УОЗ сохранена в файл."));
    EXPECT_EQ(dialogs->fileDialogs[1].description, QStringLiteral("dwell table"));

    dialogs->nextFile.clear(); // cancel
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 2u);

    dialogs->nextFile = path("no-such-folder/x.inj");
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 3u);
    EXPECT_EQ(dialogs->messages.back().icon, widgets::Dialogs::Icon::Critical);
}

TEST_F(Files, LoadingStopsTheEngineSendsEveryCellAndStores)
{
    auto form = makeConnectedForm();
    QByteArray content = "50\r\n" + lines(254, "12") + "99"; // no line break at the end
    write(path("fuel.inj"), content);
    dialogs->nextFile = path("fuel.inj");
    QStringList statuses;
    serial->answer = [&](const QByteArray &) {
        statuses << form->InjWarningLabel->text();
        return QByteArray();
    };
    const double start = clock->nowMs();
    press(*form, &TTarvexMainForm::InjFileReadButtonClick);
    const QList<QByteArray> writes = writesSinceConnect();
    ASSERT_EQ(writes.size(), 1 + 256 + 1 + 1);
    EXPECT_EQ(writes.first(), QByteArray("<P>\r"));
    EXPECT_EQ(writes[1], QByteArray("<B[   1/50]>\r\r"));
    EXPECT_EQ(writes[256], QByteArray("<B[   256/99]>\r\r"));
    EXPECT_EQ(writes[257], QByteArray("<A>\r")) << "read back before it is stored";
    EXPECT_EQ(writes.last(), QByteArray("<C>\r"));
    EXPECT_EQ(statuses[2], QStringLiteral("Не выключайте зажигание до окончания! 1"));
    EXPECT_EQ(statuses[256], QStringLiteral("Не выключайте зажигание до окончания! 255"));
    EXPECT_EQ(form->ProgressBar2->value(), 0);
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("50"));
    EXPECT_EQ(form->InjGrid->Cell(15, 15), QStringLiteral("99"));
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 100 + 1500 + 256 * 100 + 800) << "the store's wait runs the window";
    EXPECT_EQ(dialogs->warningsShown, 1);
    EXPECT_EQ(dialogs->progressMaximum, 256);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
}

TEST_F(Files, ACancelledLoadIsReadBackAndNotStored)
{
    auto form = makeConnectedForm();
    write(path("fuel.inj"), lines(256, "12"));
    dialogs->nextFile = path("fuel.inj");
    dialogs->cancelAtProgress = 10;
    press(*form, &TTarvexMainForm::InjFileReadButtonClick);
    const QList<QByteArray> writes = writesSinceConnect();
    ASSERT_EQ(writes.size(), 1 + 10 + 1);
    EXPECT_EQ(writes.last(), QByteArray("<A>\r")) << "read back, no store";
    EXPECT_EQ(dialogs->texts().last(),
              QStringLiteral("Загрузка прервана: записано ячеек 10 из 256. Карта не сохранена в памяти ЭБУ."));
    EXPECT_EQ(dialogs->progressTitle, QStringLiteral("Загрузка карты из файла в ЭБУ…"));
    EXPECT_EQ(dialogs->warningsShown, 0);
}

TEST_F(Files, AFuelFileLoadsOnTheIgnitionPage)
{
    auto form = makeConnectedForm();
    write(path("fuel.inj"), lines(256, "12"));
    dialogs->nextFile = path("fuel.inj");
    press(*form, &TTarvexMainForm::IgnFileReadButtonClick);
    const QList<QByteArray> writes = writesSinceConnect();
    ASSERT_EQ(writes.size(), 259);
    EXPECT_EQ(writes[1], QByteArray("<E[1/12]>\r\r"));
    EXPECT_EQ(writes.last(), QByteArray("<F>\r"));
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(dialogs->fileDialogs[0].description, QStringLiteral("Dwell table"));
}

// The program writes what an ECU may report, values below 0 too; such a map
// comes back in on the ignition page. The fuel map takes 0 to 999 only.
TEST_F(Files, ANegativeCellSavesAndLoadsBackOnTheIgnitionPageOnly)
{
    QStringList cells(256, QStringLiteral("10"));
    cells[0] = QStringLiteral("-5");
    cells[255] = QStringLiteral("-99"); // as the ECU sends it: three characters at most
    serial->answer = [&cells](const QByteArray &frame) { return frame == "<D>\r\r" ? mapReply(cells) : QByteArray(); };
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    connectedAt = serial->calls().size();
    dialogs->nextFile = path("negative.ign");
    press(*form, &TTarvexMainForm::IgnFileSaveButtonClick);
    EXPECT_TRUE(read(path("negative.ign")).startsWith("-5\r\n10\r\n"));

    press(*form, &TTarvexMainForm::InjFileReadButtonClick);
    EXPECT_EQ(dialogs->messages.back().text,
              QStringLiteral("Строка 1 файла («-5») вне диапазона этой карты: от 0 до 999. Файл не загружен."));
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "refused before the engine is stopped";

    press(*form, &TTarvexMainForm::IgnFileReadButtonClick);
    EXPECT_EQ(dialogs->messages.back().text, QStringLiteral("Карта из файла записана в ЭБУ и сохранена."));
    const QList<QByteArray> writes = writesSinceConnect();
    ASSERT_EQ(writes.size(), 259);
    EXPECT_EQ(writes[1], QByteArray("<E[1/-5]>\r\r"));
    EXPECT_EQ(writes[256], QByteArray("<E[256/-99]>\r\r"));
    EXPECT_EQ(form->IgnGrid->Cells(), cells);
}

TEST_F(Files, ABadFileSendsNothingAndLeavesTheEngineRunning)
{
    auto form = makeConnectedForm();
    const struct {
        const char *name;
        QByteArray content;
        const char *says;
    } cases[] = {
        {"short.inj", lines(255, "12"), "255"},
        {"long.inj", lines(257, "12"), "257"},
        {"letter.inj", "12\r\n1a\r\n" + lines(254, "12"), "2"},
        {"big.inj", "1000\r\n" + lines(255, "12"), "1"},
        {"empty-line.inj", "\r\n" + lines(255, "12"), "1"},
        {"two-signs.inj", "--5\r\n" + lines(255, "12"), "1"},
        {"sign-only.inj", "12\r\n-\r\n" + lines(254, "12"), "2"},
        {"plus.inj", "+5\r\n" + lines(255, "12"), "1"},
        {"big-negative.inj", "-1000\r\n" + lines(255, "12"), "1"},
        {"missing.inj", QByteArray(), "missing.inj"},
        // Files that are no files: endless, or a FIFO nobody writes to.
        {"/dev/zero", QByteArray(), "65536"},
        {"fifo.inj", QByteArray(), "0"},
    };
    ASSERT_EQ(mkfifo(path("fifo.inj").toLocal8Bit().constData(), 0600), 0);
    for (const auto &c : cases) {
        if (!c.content.isEmpty())
            write(path(c.name), c.content);
        dialogs->nextFile = c.name[0] == '/' ? QString::fromLatin1(c.name) : path(c.name);
        press(*form, &TTarvexMainForm::InjFileReadButtonClick);
        EXPECT_TRUE(writesSinceConnect().isEmpty()) << c.name;
        ASSERT_FALSE(dialogs->messages.empty());
        EXPECT_TRUE(dialogs->messages.back().text.contains(QLatin1String(c.says)))
            << c.name << ": " << qPrintable(dialogs->messages.back().text);
    }
    EXPECT_TRUE(form->RefreshTimer->Enabled());
}

TEST_F(Files, ChoosingAnImageShowsItsSizeAndBlocks)
{
    auto form = makeConnectedForm();
    write(path("fw.bin"), QByteArray(30000, 'x'));
    dialogs->nextFile = path("fw.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    EXPECT_EQ(form->Label32->text(), QStringLiteral("Размер 30000 байт."));
    EXPECT_EQ(form->Label33->text(), QStringLiteral("235 блоков."));
    EXPECT_TRUE(form->LoadFWButton->isEnabled());
    EXPECT_EQ(dialogs->fileDialogs[0].description, QStringLiteral("Firmware update"));

    dialogs->nextFile.clear();
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    EXPECT_EQ(form->Label33->text(), QStringLiteral("235 блоков."));
}

TEST_F(Files, AHugeImageIsMeasuredNotRead)
{
    auto form = makeConnectedForm();
    {
        QFile f(path("huge.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(100LL * 1024 * 1024));
    }
    dialogs->nextFile = path("huge.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    EXPECT_EQ(form->Label32->text(), QStringLiteral("Размер 104857600 байт."));
    EXPECT_EQ(form->Label33->text(), QStringLiteral("819201 блоков."));
    dialogs->nextFile = path("missing.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 1u) << "a file that cannot be opened is reported";
    EXPECT_EQ(form->Label33->text(), QStringLiteral("819201 блоков.")) << "and changes nothing";
}

TEST_F(Files, AnImageThatIsNoFileIsRefused)
{
    auto form = makeConnectedForm();
    ASSERT_EQ(mkfifo(path("fifo.bin").toLocal8Bit().constData(), 0600), 0);
    for (const QString &image : {path("fifo.bin"), QStringLiteral("/dev/zero")}) {
        dialogs->nextFile = image;
        press(*form, &TTarvexMainForm::OpenFWButtonClick);
        ASSERT_FALSE(dialogs->messages.empty());
        EXPECT_EQ(dialogs->messages.back().text, image + QStringLiteral(" — не файл образа ПО."));
        EXPECT_FALSE(form->LoadFWButton->isEnabled());
        EXPECT_EQ(form->Label32->text(), QString());
    }
}

// A loader on the fake line: echoes the call, says it is ready, accepts
// every block.
void answerAsALoader(FakeSerialSystem &serial, const std::function<void()> &duringTransfer)
{
    serial.answer = [&serial, duringTransfer, pending = QByteArray()](const QByteArray &written) mutable {
        if (written == "{")
            return QByteArray("{\x15");
        pending += written;
        if (pending.size() < 132)
            return QByteArray();
        pending.clear();
        duringTransfer();
        return QByteArray(1, char(0x06));
    };
}

TEST_F(Files, TheUpdateStopsPollingWaitsPurgesAndShowsProgress)
{
    auto form = makeConnectedForm();
    write(path("fw.bin"), QByteArray(200, 'x'));
    dialogs->nextFile = path("fw.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    // The file grows before the transfer: it is sent as it is now, and the
    // bar stays full past the count shown.
    write(path("fw.bin"), QByteArray(1000, 'x'));
    bool pollingDuringTransfer = false, buttonDuringTransfer = true;
    int largestShown = 0, maximumShown = 0;
    answerAsALoader(*serial, [&] {
        pollingDuringTransfer |= form->RefreshTimer->Enabled();
        buttonDuringTransfer &= form->LoadFWButton->isEnabled();
        largestShown = std::max(largestShown, form->ProgressBar3->value());
        maximumShown = form->ProgressBar3->maximum();
    });
    press(*form, &TTarvexMainForm::LoadFWButtonClick);
    const auto calls = callsSinceConnect();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1].bytes, QByteArray("<P>\r"));
    EXPECT_EQ(calls[2].name, QStringLiteral("purge"));
    EXPECT_DOUBLE_EQ(calls[2].timeMs - calls[1].timeMs, 100 + 300) << "the stop's wait, then 300 ms";
    EXPECT_EQ(maximumShown, 2) << "the block count shown when the file was chosen";
    EXPECT_EQ(largestShown, 2) << "a full bar, never beyond";
    EXPECT_FALSE(pollingDuringTransfer);
    EXPECT_FALSE(buttonDuringTransfer);
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Обновление ПО завершено."));
    EXPECT_EQ(form->ProgressBar3->value(), 0);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
}

TEST_F(Files, AFailedUpdateSaysWhyAndPollingResumes)
{
    auto form = makeConnectedForm();
    write(path("fw.bin"), QByteArray(10, 'x'));
    dialogs->nextFile = path("fw.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    press(*form, &TTarvexMainForm::LoadFWButtonClick); // nobody answers the call
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].icon, widgets::Dialogs::Icon::Critical);
    EXPECT_TRUE(dialogs->messages[0].text.contains(QStringLiteral("не ответил")));
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_FALSE(form->LoadFWButton->isEnabled());
    EXPECT_EQ(writesSinceConnect().first(), QByteArray("<P>\r"));
}

} // namespace
