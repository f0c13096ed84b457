// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CommandTable.h"
#include "tests/app/FormFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class LinkHandlers : public FormFixture {};

TEST_F(LinkHandlers, SearchListsThePortsSortedAndEnablesConnect)
{
    auto form = makeForm();
    serial->ports = {"COM3", "COM1"};
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    ASSERT_EQ(form->cbport->count(), 2);
    EXPECT_EQ(form->cbport->itemText(0), QStringLiteral("COM1"));
    EXPECT_EQ(form->cbport->itemText(1), QStringLiteral("COM3"));
    EXPECT_EQ(form->cbport->currentText(), QStringLiteral("COM1"));
    EXPECT_TRUE(form->ComConnectButton->isEnabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(LinkHandlers, SearchWithoutPortsSaysSoInTheCurrentLanguage)
{
    auto form = makeForm();
    serial->ports = {"COM1"};
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    ASSERT_TRUE(form->ComConnectButton->isEnabled());
    serial->ports.clear();

    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    EXPECT_EQ(form->cbport->count(), 0);
    EXPECT_TRUE(form->ComConnectButton->isEnabled()) << "the connect button keeps its state";
    ASSERT_EQ(dialogs->messages.size(), 1u);
    const QString russian = dialogs->messages[0].text;
    EXPECT_EQ(russian, QStringLiteral("Доступных СОМ портов не обнаружено"));
    // The letters of "СОМ" are Cyrillic.
    EXPECT_EQ(russian.mid(10, 3), QString::fromUtf16(u"\u0421\u041E\u041C"));
    EXPECT_EQ(dialogs->messages[0].icon, widgets::Dialogs::Icon::Critical);

    form->ComboBox1->setCurrentIndex(1);
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    form->ComboBox1->setCurrentIndex(-1);
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    EXPECT_EQ(dialogs->texts().mid(1), (QStringList{"COM ports not found", "COM ports not found"}));
}

TEST_F(LinkHandlers, AnUnreadablePortListKeepsTheBox)
{
    auto form = makeForm();
    serial->ports = {"COM1", "COM2"};
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    serial->failOn(QStringLiteral("listPorts"), EACCES);
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка обращения к системному реестру."});
    EXPECT_EQ(form->cbport->count(), 2);
}

TEST_F(LinkHandlers, ConnectToAMissingPortLeavesOnlyTheCalibrationPanelOpen)
{
    auto form = makeForm();
    form->InjEditCheck->setChecked(true);
    form->cbport->setEditText(QStringLiteral("ttyUSB7"));
    serial->openErrors.insert(QStringLiteral("/dev/ttyUSB7"), ENOENT);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Попытка открыть несуществующий COM-порт."});
    EXPECT_EQ(dialogs->messages[0].title, QCoreApplication::applicationName());
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_TRUE(form->Panel1->isEnabled());
    EXPECT_FALSE(form->InjEditCheck->isChecked());
    EXPECT_FALSE(form->InjPanel->isEnabled());
    EXPECT_FALSE(form->SettingsPanel->isEnabled());
    EXPECT_FALSE(form->GroupBox3->isEnabled());
    EXPECT_TRUE(form->ComSearchButton->isEnabled());
    EXPECT_FALSE(form->ComDisconnectButton->isEnabled());
    EXPECT_FALSE(form->RefreshTimer->Enabled());
}

struct ReplyCase {
    const char *reply;
    const char *shown;
    friend void PrintTo(const ReplyCase &c, std::ostream *os) { PrintBytes(c.reply, os); }
};

class ConnectReply : public LinkHandlers, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ConnectReply, ShowsTheTextBetweenTheBrackets)
{
    auto form = makeForm();
    form->FWmemo->setPlainText(QStringLiteral("old"));
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    const QByteArray reply(GetParam().reply);
    serial->answer = [reply](const QByteArray &frame) { return frame == "<E>\r" ? reply : QByteArray(); };
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(form->FWmemo->toPlainText(), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Replies, ConnectReply,
                         ::testing::Values(ReplyCase{"[ABC]", "ABC"}, ReplyCase{"x[ABC]", "ABC"},
                                           ReplyCase{"noise here [ECU 5.2] tail", "ECU 5.2"},
                                           ReplyCase{"", ""}, ReplyCase{"[ABC", ""}, ReplyCase{"]ABC[", ""},
                                           ReplyCase{"][ABC]", "ABC"},
                                           ReplyCase{"[\xC2\xE5\xF0\xF1\xE8\xFF]", "Версия"}));

TEST_F(LinkHandlers, ConnectOpensTheLineAsksForTheVersionAndStartsPolling)
{
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("/dev/ttyACM0"));
    serial->answer = [](const QByteArray &) { return QByteArray("[ECU]"); };
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form->BComPort1->Connected());
    EXPECT_EQ(serial->callsNamed("open")[0].bytes, QByteArray("/dev/ttyACM0"));

    // Purge after 400 ms, write "<E>\r", read 400 ms later.
    const auto purge = serial->callsNamed("purge").at(0);
    const auto write = serial->callsNamed("write").at(0);
    const auto read = serial->callsNamed("read").at(0);
    const double opened = serial->callsNamed("setTimeouts").at(0).timeMs;
    EXPECT_EQ(purge.args[0], link::kPurgeRxClear | link::kPurgeTxClear);
    EXPECT_DOUBLE_EQ(purge.timeMs - opened, 400);
    EXPECT_EQ(write.bytes, QByteArray("<E>\r"));
    EXPECT_DOUBLE_EQ(read.timeMs - write.timeMs, 400);
    EXPECT_EQ(read.args[0], 4096);

    EXPECT_FALSE(form->ComConnectButton->isEnabled());
    EXPECT_FALSE(form->ComSearchButton->isEnabled());
    EXPECT_TRUE(form->ComDisconnectButton->isEnabled());
    for (QWidget *open : std::initializer_list<QWidget *>{form->InjPanel, form->IgnPanel, form->SettingsPanel,
                                                          form->Panel1, form->GroupBox3})
        EXPECT_TRUE(open->isEnabled()) << qPrintable(open->objectName());
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_EQ(form->FWmemo->toPlainText(), QStringLiteral("ECU"));
}

TEST_F(LinkHandlers, DisconnectLocksThePagesAgain)
{
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_FALSE(form->BComPort1->Connected());
    EXPECT_FALSE(serial->isOpen());
    EXPECT_TRUE(form->ComConnectButton->isEnabled());
    EXPECT_TRUE(form->ComSearchButton->isEnabled());
    EXPECT_FALSE(form->ComDisconnectButton->isEnabled());
    EXPECT_FALSE(form->RefreshTimer->Enabled());
    for (QWidget *locked : std::initializer_list<QWidget *>{form->InjPanel, form->IgnPanel, form->SettingsPanel,
                                                            form->Panel1, form->GroupBox3})
        EXPECT_FALSE(locked->isEnabled()) << qPrintable(locked->objectName());
    EXPECT_TRUE(form->GroupBox7->isEnabled());
    EXPECT_FALSE(form->Logging());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(LinkHandlers, APortErrorInAnExchangeLeavesPollingOffUntilTheNextExchangeEnds)
{
    auto form = makeForm();
    form->cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    ASSERT_TRUE(form->RefreshTimer->Enabled());

    serial->failOn(QStringLiteral("write"), EACCES, 1);
    form->Guarded([&] { form->Exchange().run(link::CommandId::SensorRequest); });
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка записи в порт."});
    EXPECT_FALSE(form->RefreshTimer->Enabled());

    form->Guarded([&] { form->Exchange().run(link::calibrationStep(0, true)); });
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_EQ(serial->written().right(4), QByteArray("<c>\r"));
}

TEST_F(LinkHandlers, ShowingAPageAsksOnlyWhereItsReaderIsWired)
{
    auto form = makeForm();
    const size_t before = serial->calls().size();
    for (int page : {1, 2, 3, 0})
        form->PageControl1->setCurrentIndex(page);
    EXPECT_EQ(serial->calls().size(), before) << "nothing is sent while disconnected";
    EXPECT_TRUE(dialogs->messages.empty());
}

} // namespace
