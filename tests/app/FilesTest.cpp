#include "maps/MapGrid.h"
#include "tests/app/FormFixture.h"

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
    auto form = makeForm();
    form->InjGrid->SetCells(QStringList(256, QStringLiteral("12")));
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

    form->IgnGrid->SetCell(0, 0, QStringLiteral("007"));
    dialogs->nextFile = path("spark.ign");
    press(*form, &TTarvexMainForm::IgnFileSaveButtonClick);
    EXPECT_TRUE(read(path("spark.ign")).startsWith("007\r\n\r\n"));
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Карта УОЗ сохранена в файл."));
    EXPECT_EQ(dialogs->fileDialogs[1].description, QStringLiteral("dwell table"));

    dialogs->nextFile.clear(); // cancel
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 2u);

    dialogs->nextFile = path("no-such-folder/x.inj");
    press(*form, &TTarvexMainForm::InjFileSaveButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 3u);
    EXPECT_EQ(dialogs->messages.back().icon, app::Dialogs::Icon::Critical);
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
    ASSERT_EQ(writes.size(), 1 + 256 + 1);
    EXPECT_EQ(writes.first(), QByteArray("<P>\r"));
    EXPECT_EQ(writes[1], QByteArray("<B[   1/50]>\r\r"));
    EXPECT_EQ(writes[256], QByteArray("<B[   256/99]>\r\r"));
    EXPECT_EQ(writes.last(), QByteArray("<C>\r"));
    EXPECT_EQ(statuses[2], QStringLiteral("Не выключайте зажигание до окончания! 1"));
    EXPECT_EQ(statuses[256], QStringLiteral("Не выключайте зажигание до окончания! 255"));
    EXPECT_EQ(form->InjWarningLabel->text(), QString());
    EXPECT_EQ(form->ProgressBar2->value(), 0);
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("50"));
    EXPECT_EQ(form->InjGrid->Cell(15, 15), QStringLiteral("99"));
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 100 + 1500 + 256 * 100) << "the store's wait runs the window";
    EXPECT_EQ(dialogs->warningsShown, 1);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
}

TEST_F(Files, AFuelFileLoadsOnTheIgnitionPage)
{
    auto form = makeConnectedForm();
    write(path("fuel.inj"), lines(256, "12"));
    dialogs->nextFile = path("fuel.inj");
    press(*form, &TTarvexMainForm::IgnFileReadButtonClick);
    const QList<QByteArray> writes = writesSinceConnect();
    ASSERT_EQ(writes.size(), 258);
    EXPECT_EQ(writes[1], QByteArray("<E[1/12]>\r\r"));
    EXPECT_EQ(writes.last(), QByteArray("<F>\r"));
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(dialogs->fileDialogs[0].description, QStringLiteral("Dwell table"));
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
        {"missing.inj", QByteArray(), "missing.inj"},
    };
    for (const auto &c : cases) {
        if (QByteArray(c.name) != "missing.inj")
            write(path(c.name), c.content);
        dialogs->nextFile = path(c.name);
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

TEST_F(Files, AFailedUpdateSaysWhyAndPollingResumes)
{
    auto form = makeConnectedForm();
    write(path("fw.bin"), QByteArray(10, 'x'));
    dialogs->nextFile = path("fw.bin");
    press(*form, &TTarvexMainForm::OpenFWButtonClick);
    press(*form, &TTarvexMainForm::LoadFWButtonClick); // nobody answers the call
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].icon, app::Dialogs::Icon::Critical);
    EXPECT_TRUE(dialogs->messages[0].text.contains(QStringLiteral("не ответил")));
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_FALSE(form->LoadFWButton->isEnabled());
    EXPECT_EQ(writesSinceConnect().first(), QByteArray("<P>\r"));
}

} // namespace
