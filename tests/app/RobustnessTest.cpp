// SPDX-License-Identifier: GPL-3.0-or-later
// What must hold however the fitter, the ECU or the disk behave: the port can
// always be let go, nothing comes from outside as markup, boxes do not stack.
#include "app/WebLinks.h"
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"

#include <QElapsedTimer>
#include "tests/support/Helpers.h"

#include <csignal>
#include <sys/resource.h>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class Robustness : public FormFixture {
protected:
    // A fuel and an ignition cell written and not stored.
    void writeBothMaps(TTarvexMainForm &form)
    {
        for (widgets::TMapGrid *grid : {form.InjGrid, form.IgnGrid}) {
            grid->SetCell(0, 0, QStringLiteral("12"));
            grid->setCurrentCell(0, 0);
        }
        form.Guarded([&] { form.InjGridKeyDown(13); });
        form.Guarded([&] { form.IgnGridKeyDown(13); });
    }
    static void expectDisconnected(TTarvexMainForm &form)
    {
        EXPECT_FALSE(form.BComPort1->Connected());
        EXPECT_TRUE(form.ComConnectButton->isEnabled());
        EXPECT_TRUE(form.ComSearchButton->isEnabled());
        EXPECT_FALSE(form.ComDisconnectButton->isEnabled());
        EXPECT_FALSE(form.RefreshTimer->Enabled());
        for (QWidget *locked : {(QWidget *)form.InjPanel, (QWidget *)form.IgnPanel, (QWidget *)form.SettingsPanel,
                                (QWidget *)form.GroupBox3, (QWidget *)form.Panel1})
            EXPECT_FALSE(locked->isEnabled()) << qPrintable(locked->objectName());
        EXPECT_FALSE(form.Logging());
    }
};

TEST_F(Robustness, AStoreThatFailsAtDisconnectIsReportedOnceAndThePortGoes)
{
    auto form = makeConnectedForm();
    writeBothMaps(*form);
    serial->failOn(QStringLiteral("write"), EIO); // the cable is pulled
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_EQ(dialogs->questions.size(), 1) << "after the first failed store nothing more is asked";
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка записи в порт."});
    EXPECT_FALSE(dialogs->warningVisible);
    expectDisconnected(*form);
}

TEST_F(Robustness, ACloseThatReportsAnErrorStillEndsDisconnected)
{
    auto form = makeConnectedForm();
    press(*form, &TTarvexMainForm::LogButtonClick);
    ASSERT_TRUE(form->Logging());
    serial->failOn(QStringLiteral("clearDtr"), EFAULT, 1);
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка функции EscapeCommFunction."});
    expectDisconnected(*form);
}

TEST_F(Robustness, AFailingAutomaticBackupIsReportedOncePerConnection)
{
    serial->answer = [](const QByteArray &frame) { return frame == "<A>\r" ? mapReply(40) : QByteArray(); };
    QFile blocker(dir.filePath(QStringLiteral("backups")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    auto form = makeConnectedForm();
    for (int read = 0; read < 3; ++read) // autotune re-reads every 5 s
        press(*form, &TTarvexMainForm::Timer1Timer);
    EXPECT_EQ(dialogs->messages.size(), 1u);
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    press(*form, &TTarvexMainForm::ComConnectButtonClick);
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_EQ(dialogs->messages.size(), 2u) << "a new connection tells it again";
}

TEST_F(Robustness, TextFromTheEcuIsNeverMarkup)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) {
        return frame == "<G>\r" ? QByteArray("[A<b>5</b>a]") : QByteArray("[Y<img src=x>y]");
    };
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    ASSERT_EQ(form->RPMLabel->text(), QStringLiteral("<b>5</b>"));
    EXPECT_TRUE(Qt::mightBeRichText(form->RPMLabel->text()));
    EXPECT_EQ(form->FuelTypeLabel->text(), QStringLiteral("<img src=x>"));
    for (QLabel *label : form->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << qPrintable(label->objectName());
}

TEST_F(Robustness, TypedTextNeverBecomesAnItem)
{
    auto form = makeForm();
    form->show();
    serial->ports = {QStringLiteral("/dev/ttyUSB0")};
    press(*form, &TTarvexMainForm::ComSearchButtonClick);
    for (QComboBox *box : {form->cbport, form->ComboBox1}) {
        const int items = box->count();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("COM9"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(box->count(), items) << qPrintable(box->objectName());
        EXPECT_EQ(box->currentText(), QStringLiteral("COM9"));
    }
}

TEST_F(Robustness, WebLinksOpenOnALeftClickOnly)
{
    auto form = makeForm();
    form->show();
    QTest::mouseClick(form->Label54, Qt::RightButton);
    QTest::mouseClick(form->Label54, Qt::MiddleButton);
    QTest::mouseRelease(form->Label55, Qt::LeftButton); // pressed elsewhere
    QTest::mousePress(form->Label54, Qt::LeftButton);
    QTest::mouseRelease(form->Label55, Qt::LeftButton);
    EXPECT_TRUE(dialogs->urls.empty());
    QTest::mouseClick(form->Label55, Qt::LeftButton);
    ASSERT_EQ(dialogs->urls.size(), 1u);
    EXPECT_EQ(dialogs->urls[0], app::webLinks().vkPage);
}

// The language is the box's selected item: typing, then picking the item
// that was selected before (its index does not change), is Russian again.
TEST_F(Robustness, PickingAnItemAfterTypingSetsTheLanguage)
{
    auto form = makeConnectedForm();
    form->show();
    serial->answer = [](const QByteArray &frame) { return frame == "<H>\r" ? QByteArray("[R0rU1u]") : QByteArray(); };
    form->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox1->lineEdit(), QStringLiteral("R"));
    EXPECT_EQ(form->LanguageIndex(), -1);
    form->ComboBox1->setCurrentIndex(0); // the list's item, as a pick puts it back
    emit form->ComboBox1->activated(0);
    EXPECT_EQ(form->LanguageIndex(), 0);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("НЕТ"));
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Да"));
}

// A disk that refuses the log (a write fails; a sync that fails is the
// same): logging ends once with one message and live data goes on.
TEST_F(Robustness, AFailingLogWriteIsReported)
{
    app::FormServices s = services();
    s.logFolder = dir.path();
    TTarvexMainForm form(s);
    form.cbport->setEditText(QStringLiteral("ttyUSB0"));
    press(form, &TTarvexMainForm::ComConnectButtonClick);
    serial->answer = [](const QByteArray &frame) {
        return frame == "<G>\r" ? QByteArray("[A850a]") : QByteArray("[K15kX0xY1y]");
    };
    press(form, &TTarvexMainForm::LogButtonClick);
    ASSERT_TRUE(form.Logging());
    const auto saved = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit tight = before;
    tight.rlim_cur = 8; // the disk is full from here on
    setrlimit(RLIMIT_FSIZE, &tight);
    // The lines go to the disk behind the ticks: a later tick tells.
    QElapsedTimer waited;
    waited.start();
    while (dialogs->messages.empty() && waited.elapsed() < 5000) {
        press(form, &TTarvexMainForm::RefreshTimerTimer);
        QTest::qWait(5);
    }
    EXPECT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(form.RefreshTimer->Enabled()) << "live data goes on";
    EXPECT_FALSE(form.Logging()) << "the log ends where the disk stopped taking it";
    EXPECT_TRUE(form.logwritelabel->text().isEmpty());
    for (int tick = 0; tick < 4; ++tick)
        press(form, &TTarvexMainForm::RefreshTimerTimer);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, saved);
    EXPECT_EQ(dialogs->messages.size(), 1u) << "told once";
}

} // namespace
