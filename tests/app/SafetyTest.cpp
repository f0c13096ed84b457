// SPDX-License-Identifier: GPL-3.0-or-later
// Backups of the ECU's maps and the question about changes not yet stored.
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {


QByteArray mapFile(int value)
{
    QByteArray out;
    for (int i = 0; i < 256; ++i)
        out += QByteArray::number(value) + "\r\n";
    return out;
}

class Safety : public FormFixture {
protected:
    void SetUp() override
    {
        serial->answer = [this](const QByteArray &frame) {
            if (frame == "<A>\r")
                return mapReply(fuel);
            if (frame == "<D>\r\r")
                return mapReply(ignition);
            return QByteArray();
        };
    }
    QStringList backups() const
    {
        return QDir(dir.filePath(QStringLiteral("backups")))
            .entryList({QStringLiteral("*.inj"), QStringLiteral("*.ign")}, QDir::Files, QDir::Name);
    }
    QByteArray backup(const QString &name) const
    {
        QFile f(dir.filePath(QStringLiteral("backups/") + name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int fuel = 40;
    int ignition = 20;
};

TEST_F(Safety, TheFirstReadAfterConnectingIsKept)
{
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    fuel = 41;
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    EXPECT_EQ(backups(), (QStringList{"08-12-26_09-30-00.ign", "08-12-26_09-30-00.inj"}));
    EXPECT_EQ(backup(QStringLiteral("08-12-26_09-30-00.inj")), mapFile(40)) << "what the ECU sent first";
    EXPECT_EQ(backup(QStringLiteral("08-12-26_09-30-00.ign")), mapFile(20));
    EXPECT_TRUE(dialogs->messages.empty());

    // A new connection in the same second keeps its own first read too.
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_EQ(backup(QStringLiteral("08-12-26_09-30-00_2.inj")), mapFile(41));
}

TEST_F(Safety, AFileLoadFirstKeepsTheMapItReplaces)
{
    auto form = makeConnectedForm();
    MapEcu ecu; // holds 40 in every fuel cell and takes what is written
    serial->answer = [&](const QByteArray &frame) { return ecu.answer(frame); };
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    form->InjGrid->SetCell(0, 0, QStringLiteral("99"));
    form->InjGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->InjGridKeyDown(13); }); // the ECU's map no longer matches its copy
    const QString file = dir.filePath(QStringLiteral("new.inj"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(mapFile(7));
    f.close();
    dialogs->nextFile = file;
    now = now.addSecs(5);
    press(*form, &TTarvexMainForm::InjFileReadButtonClick);
    ASSERT_EQ(backups().size(), 2);
    const QByteArray before = backup(QStringLiteral("08-12-26_09-30-05.inj"));
    EXPECT_TRUE(before.startsWith("99\r\n40\r\n")) << "the grid as it stood before the load";
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("7"));
    EXPECT_EQ(writesSinceConnect().count("<B[   1/7]>\r\r"), 1) << "nothing else of the load changes";
}

TEST_F(Safety, AMapAlreadyBackedUpIsNotWrittenAgainBeforeATemplate)
{
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    press(*form, &TTarvexMainForm::IgnAutoEditButtonClick);
    EXPECT_EQ(backups().size(), 1);
}

TEST_F(Safety, AFailedBackupAsksWhetherToGoOn)
{
    auto form = makeConnectedForm();
    QFile blocker(dir.filePath(QStringLiteral("backups")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].text.startsWith(QStringLiteral("Не удалось сохранить резервную копию")));
    EXPECT_TRUE(dialogs->questions.isEmpty()) << "a read has nothing to go on with";

    dialogs->answerYes = false;
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::InjTemplateButtonClick);
    EXPECT_EQ(dialogs->questions, QStringList{"Продолжить без резервной копии?"});
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "no means the template is not loaded";
}

TEST_F(Safety, UnstoredWritesAreOfferedForStoringBeforeDisconnecting)
{
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_TRUE(dialogs->questions.isEmpty()) << "nothing unstored, nothing asked";

    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    form->IgnGrid->SetCell(0, 0, QStringLiteral("12"));
    form->IgnGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->IgnGridKeyDown(13); });
    bool openWhenAsked = false;
    dialogs->onQuestion = [&](const QString &) { openWhenAsked = form->BComPort1->Connected(); };
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_EQ(dialogs->questions.size(), 1);
    EXPECT_TRUE(dialogs->questions[0].startsWith(QStringLiteral("Карта УОЗ изменена")));
    EXPECT_TRUE(openWhenAsked);
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<F>\r"}) << "yes stores before the port closes";
    EXPECT_FALSE(form->BComPort1->Connected());
}

TEST_F(Safety, NoLeavesTheMapUnstoredAndClosingStillCloses)
{
    auto form = makeConnectedForm();
    form->ComboBox1->setCurrentIndex(1);
    form->InjGrid->SetCell(0, 0, QStringLiteral("12"));
    form->InjGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->InjGridKeyDown(13); });
    dialogs->answerYes = false;
    connectedAt = serial->calls().size();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs->questions, QStringList{"The fuel map has changes that are not stored in the ECU. Store it now?"});
    EXPECT_TRUE(writesSinceConnect().isEmpty());
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_EQ(iniLines().size(), 21);
}

TEST_F(Safety, ClosingDuringTheStoreWaitEndsCleanly)
{
    auto form = makeConnectedForm();
    QTimer::singleShot(300, form.get(), [&] { form->close(); });
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->BComPort1->Connected()) << "the close let go of the port";
    EXPECT_EQ(iniLines().size(), 21);
    EXPECT_TRUE(dialogs->messages.empty()) << qPrintable(dialogs->texts().join('\n'));
    EXPECT_FALSE(dialogs->warningVisible);
}

} // namespace
