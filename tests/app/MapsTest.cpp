// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColorLabel.h"
#include "widgets/MapGrid.h"

#include <ctime>
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

#include <QTest>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {


class Maps : public FormFixture {};

TEST_F(Maps, ReadFillsTheGridAndShortRepliesChangeNothing)
{
    auto form = makeConnectedForm();
    QByteArray answer = mapReply(12);
    serial->answer = [&](const QByteArray &frame) { return frame == "<A>\r" || frame == "<D>\r\r" ? answer : ""; };
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_EQ(form->InjGrid->Cells(), QStringList(256, QStringLiteral("12")));
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<A>\r"});
    EXPECT_TRUE(form->RefreshTimer->Enabled());

    answer = "[" + QByteArray(199, '7');
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("12"));

    answer = mapReply(33);
    form->PageControl1->setCurrentIndex(2); // showing the page reads it
    EXPECT_EQ(form->IgnGrid->Cell(15, 15), QStringLiteral("33"));
    EXPECT_EQ(writesSinceConnect().last(), QByteArray("<D>\r\r"));
    EXPECT_EQ(form->InjGrid->Cell(15, 15), QStringLiteral("12"));
}

TEST_F(Maps, NothingIsReadWhileDisconnected)
{
    auto form = makeForm();
    press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    press(*form, &TTarvexMainForm::IgnSaveButtonClick);
    press(*form, &TTarvexMainForm::InjTemplateButtonClick);
    EXPECT_TRUE(serial->calls().empty());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(Maps, EnterWritesTheFuelCellWithItsWaits)
{
    auto form = makeConnectedForm();
    form->InjGrid->SetCell(3, 2, QStringLiteral("45"));
    form->InjGrid->setCurrentCell(2, 3);
    const double start = clock->nowMs();
    form->InjGrid->setFocus();
    QTest::keyClick(form->InjGrid, Qt::Key_Return);
    ASSERT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   36/45]>\r"});
    const auto calls = callsSinceConnect();
    EXPECT_EQ(calls[0].name, QStringLiteral("purge"));
    EXPECT_DOUBLE_EQ(calls[0].timeMs - start, 30);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 130);
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

struct FuelEnterCase {
    const char *text;
    const char *frame; // empty: nothing is sent
    const char *message;
    friend void PrintTo(const FuelEnterCase &c, std::ostream *os) { PrintBytes(c.text, os); }
};

class FuelEnter : public Maps, public ::testing::WithParamInterface<FuelEnterCase> {};

TEST_P(FuelEnter, SendsOnlyNumbersBelow1000AndThemUnchanged)
{
    auto form = makeConnectedForm();
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->SetCell(0, 0, QString::fromLatin1(GetParam().text));
    form->Guarded([&] { form->InjGridKeyDown(13); });
    const QByteArray frame(GetParam().frame);
    EXPECT_EQ(writesSinceConnect(), frame.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{frame});
    EXPECT_EQ(dialogs->texts().join('|'), QString::fromUtf8(GetParam().message));
    if (frame.isEmpty()) {
        EXPECT_TRUE(callsSinceConnect().empty()) << "not even a purge";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, FuelEnter,
    ::testing::Values(FuelEnterCase{"999", "<B[   1/999]>\r", ""}, FuelEnterCase{"0999", "<B[   1/0999]>\r", ""},
                      FuelEnterCase{"0", "<B[   1/0]>\r", ""},
                      FuelEnterCase{"1000", "", "Значение должно быть меньше 1000"},
                      FuelEnterCase{"", "", "'' is not a valid integer value."},
                      FuelEnterCase{"12a", "", "'12a' is not a valid integer value."}));

TEST_F(Maps, TheTooLargeMessageSpeaksTheCurrentLanguage)
{
    auto form = makeConnectedForm();
    form->ComboBox1->setCurrentIndex(1);
    form->InjGrid->SetCell(0, 0, QStringLiteral("1500"));
    form->InjGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->InjGridKeyDown(13); });
    EXPECT_EQ(dialogs->texts(), QStringList{"The value must be below 1000"});
}

TEST_F(Maps, EnterWritesTheIgnitionCellAndRefusesAnEmptyOne)
{
    auto form = makeConnectedForm();
    form->IgnGrid->SetCell(0, 1, QStringLiteral("25"));
    form->IgnGrid->setCurrentCell(1, 0);
    const double start = clock->nowMs();
    form->Guarded([&] { form->IgnGridKeyDown(13); });
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<E[   17/25]>\r\r"});
    EXPECT_DOUBLE_EQ(callsSinceConnect()[0].timeMs - start, 50);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 150);

    form->IgnGrid->setCurrentCell(2, 0);
    form->RefreshTimer->SetEnabled(false);
    form->Guarded([&] { form->IgnGridKeyDown(13); });
    EXPECT_EQ(writesSinceConnect().size(), 1) << "nothing sent for an empty cell";
    EXPECT_EQ(dialogs->texts(), QStringList{"'' is not a valid integer value."});
    EXPECT_FALSE(form->RefreshTimer->Enabled()) << "live data untouched";
}

TEST_F(Maps, EnterWhileClosedStillWaitsButSendsNothing)
{
    auto form = makeConnectedForm();
    form->BComPort1->Close();
    form->InjGrid->SetCell(0, 0, QStringLiteral("5"));
    form->InjGrid->setCurrentCell(0, 0);
    const double start = clock->nowMs();
    const size_t calls = serial->calls().size();
    form->Guarded([&] { form->InjGridKeyDown(13); });
    EXPECT_EQ(serial->calls().size(), calls);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 80);
}

TEST_F(Maps, EachGridSendsTheCellBeingEditedEvenWhenTheOtherFollowsTheWorkingPoint)
{
    auto form = makeConnectedForm();
    form->InjGrid->SetCell(5, 4, QStringLiteral("77"));
    form->InjGrid->setCurrentCell(4, 5);
    EXPECT_EQ(form->SelectedCell().column, 5);
    EXPECT_EQ(form->SelectedCell().row, 4);
    // The ignition grid follows the working point and rewrites the record.
    form->IgnGrid->SetCol(9);
    form->IgnGrid->SetRow(9);
    EXPECT_EQ(form->SelectedCell().column, 9);
    EXPECT_EQ(form->SelectedCell().row, 9);
    form->Guarded([&] { form->InjGridKeyDown(13); });
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   70/77]>\r"});
}

TEST_F(Maps, OnlyDigitsBackspaceAndEnterCanBeTyped)
{
    auto form = makeConnectedForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    connectedAt = serial->calls().size();
    form->InjGrid->SetEditing(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("a-"));
    EXPECT_EQ(form->InjGrid->findChild<QLineEdit *>(), nullptr) << "discarded keys open nothing";
    QTest::keyClicks(form->InjGrid, QStringLiteral("1"));
    auto *editor = form->InjGrid->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr) << "a digit opens the cell editor";
    QTest::keyClicks(editor, QStringLiteral(" 2x3.b"));
    // The cell follows the editor at every key.
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("123"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("12"));
    // Keys are not typed characters: Delete deletes in the editor.
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(editor->text(), QStringLiteral("2"));
    QTest::keyClicks(editor, QStringLiteral("1"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   1/12]>\r"});
}

TEST_F(Maps, SwitchingEditingOffClosesAnOpenEditorPuttingTheEcuValueBack)
{
    auto form = makeConnectedForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    form->InjGrid->SetEditing(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("4"));
    auto *editor = form->InjGrid->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("2"));
    form->InjGrid->SetEditing(false);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->InjGrid->findChild<QLineEdit *>(), nullptr) << "the editor is gone";
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QString()) << "42 was never sent: the ECU's value (none read) shows";
}

TEST_F(Maps, EditingOffOpensNoEditor)
{
    auto form = makeConnectedForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    connectedAt = serial->calls().size();
    form->InjGrid->SetCell(0, 0, QStringLiteral("8"));
    form->InjGrid->SetCell(5, 3, QStringLiteral("45"));
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("45"));
    EXPECT_EQ(form->InjGrid->findChild<QLineEdit *>(), nullptr);
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("8"));
    // Typing searches nothing: the cell and the shared record stay.
    EXPECT_EQ(form->InjGrid->currentRow(), 0);
    EXPECT_EQ(form->InjGrid->currentColumn(), 0);
    EXPECT_EQ(form->SelectedCell().column, 0);
    QTest::keyClick(form->InjGrid, Qt::Key_Enter);
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   1/8]>\r"}) << "the shown value is sent unchanged";
}

TEST_F(Maps, TemplateLoadReadsTheMapBeforeItSaysSo)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) {
        return frame == "<A>\r" ? mapReply(40) : frame == "<D>\r\r" ? mapReply(20) : QByteArray();
    };
    QString cellWhenShown;
    dialogs->onMessage = [&](const RecordingDialogs::Message &) { cellWhenShown = form->InjGrid->Cell(7, 7); };
    const double start = clock->nowMs();
    press(*form, &TTarvexMainForm::InjTemplateButtonClick);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<N>\r", "<A>\r"}));
    EXPECT_DOUBLE_EQ(callsSinceConnect()[3].timeMs - callsSinceConnect()[1].timeMs, 100 + 400);
    EXPECT_EQ(cellWhenShown, QStringLiteral("40"));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, QStringLiteral("Загружен шаблон топливной карты."));
    EXPECT_EQ(dialogs->messages[0].icon, widgets::Dialogs::Icon::Information);
    EXPECT_GE(clock->nowMs() - start, 900);

    press(*form, &TTarvexMainForm::IgnAutoEditButtonClick);
    EXPECT_EQ(writesSinceConnect().mid(2), (QList<QByteArray>{"<O>\r", "<D>\r\r"}));
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Загружен шаблон карты зажигания."));
}

TEST_F(Maps, StoreWarnsAndKeepsTheWindowAliveForFiveSeconds)
{
    auto form = makeConnectedForm();
    int ticksDuringWait = 0;
    bool warningUpDuringWait = false;
    bool pollingDuringWait = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        ++ticksDuringWait;
        warningUpDuringWait = dialogs->warningVisible;
        pollingDuringWait |= form->RefreshTimer->Enabled();
    });
    probe.start(100);
    QElapsedTimer elapsed;
    elapsed.start();
    timespec cpuBefore{}, cpuAfter{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBefore);
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuAfter);
    const qint64 took = elapsed.elapsed();
    const double cpuMs = (cpuAfter.tv_sec - cpuBefore.tv_sec) * 1e3 + (cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e6;
    EXPECT_GE(took, 4900);
    EXPECT_LT(took, 6500);
    EXPECT_LT(cpuMs, 500) << "the wait sleeps between events instead of spinning a core";
    EXPECT_GE(ticksDuringWait, 40) << "events are processed during the wait";
    EXPECT_TRUE(warningUpDuringWait);
    EXPECT_FALSE(pollingDuringWait) << "no live data while the ECU stores";
    const auto calls = callsSinceConnect();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, QStringLiteral("purge"));
    EXPECT_EQ(calls[1].name, QStringLiteral("write"));
    EXPECT_FALSE(dialogs->warningVisible);
    EXPECT_EQ(dialogs->warningTitle, QStringLiteral("Warning"));
    EXPECT_EQ(dialogs->warningText, QStringLiteral("НЕ ВЫКЛЮЧАЙТЕ ЗАЖИГАНИЕ 5 СЕКУНД!!!"));
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<C>\r"});
    EXPECT_TRUE(form->RefreshTimer->Enabled());
    EXPECT_FALSE(form->Timer2->Enabled());
}

QColor pixelOfCell(widgets::TMapGrid *grid, int column, int row)
{
    const QImage image = grid->grab().toImage();
    const QRect cell = grid->visualItemRect(grid->item(row, column));
    const QPoint inside = grid->viewport()->mapTo(grid, cell.topLeft()) + QPoint(cell.width() - 4, cell.height() - 3);
    return image.pixelColor(inside);
}

TEST_F(Maps, FuelCellsWearTheirBandColourAndIgnitionCellsThePalette)
{
    auto form = makeForm();
    form->show();
    form->InjGrid->SetCell(1, 0, QStringLiteral("220"));
    form->InjGrid->SetCell(2, 0, QStringLiteral("19"));
    form->InjGrid->SetCell(3, 0, QStringLiteral("0"));
    form->InjGrid->setCurrentCell(5, 5);
    EXPECT_EQ(pixelOfCell(form->InjGrid, 1, 0), QColor(0xEA, 0xF0, 0x00)) << "band 12, \"220 - 240\"";
    EXPECT_EQ(pixelOfCell(form->InjGrid, 2, 0), QColor(0xA4, 0x06, 0xB0)) << "band 1";
    EXPECT_EQ(pixelOfCell(form->InjGrid, 3, 0), form->InjGrid->palette().color(QPalette::Active, QPalette::Base))
        << "no band";

    form->IgnGrid->SetCell(1, 0, QStringLiteral("20"));
    form->IgnGrid->SetCell(2, 0, QStringLiteral("19"));
    form->IgnGrid->SetCell(3, 0, QString());
    form->IgnGrid->setCurrentCell(5, 5);
    EXPECT_EQ(pixelOfCell(form->IgnGrid, 1, 0), QColor(0xAA, 0xAA, 0x40));
    EXPECT_EQ(pixelOfCell(form->IgnGrid, 2, 0), QColor(0xCC, 0xCC, 0x60));
    EXPECT_EQ(pixelOfCell(form->IgnGrid, 3, 0), QColor(Qt::white));

    // A new band colour shows at the next paint; the ignition grid ignores it.
    dialogs->colorAnswers.push_back(QColor(1, 2, 3));
    form->Guarded([&] { form->BandLabelClick(12); });
    EXPECT_EQ(pixelOfCell(form->InjGrid, 1, 0), QColor(1, 2, 3));
    EXPECT_EQ(pixelOfCell(form->IgnGrid, 1, 0), QColor(0xAA, 0xAA, 0x40));
}

TEST_F(Maps, TheColourDialogStartsFromTheColourLastChosen)
{
    auto form = makeForm();
    const int32_t before = form->BandLabels[4]->Color();
    dialogs->colorAnswers = {std::nullopt, QColor(10, 20, 30), std::nullopt};
    form->Guarded([&] { form->BandLabelClick(5); });
    EXPECT_EQ(form->BandLabels[4]->Color(), before) << "cancel changes nothing";
    form->Guarded([&] { form->BandLabelClick(5); });
    EXPECT_EQ(form->BandLabels[4]->Color(), 10 | 20 << 8 | 30 << 16);
    form->Guarded([&] { form->BandLabelClick(6); });
    ASSERT_EQ(dialogs->colorDialogStarts.size(), 3u);
    EXPECT_EQ(dialogs->colorDialogStarts[0], QColor(Qt::black));
    EXPECT_EQ(dialogs->colorDialogStarts[1], QColor(Qt::black));
    EXPECT_EQ(dialogs->colorDialogStarts[2], QColor(10, 20, 30));
    form->close();
    EXPECT_EQ(iniLines().value(4), QByteArray::number(10 | 20 << 8 | 30 << 16));
}

} // namespace
