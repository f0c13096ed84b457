// SPDX-License-Identifier: GPL-3.0-or-later
// What the grid shows is what the ECU holds, or visibly not: refused and
// abandoned typing, stores, reconnects, read-backs and the comparison.
#include "app/CompareWindow.h"
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class GridTruth : public FormFixture {
protected:
    // Connected to an ECU that keeps what is written, both maps read.
    std::unique_ptr<TTarvexMainForm> makeReadForm()
    {
        serial->answer = [this](const QByteArray &frame) { return ecu.answer(frame); };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
        connectedAt = serial->calls().size();
        return form;
    }
    void showFuelPage(TTarvexMainForm &form)
    {
        form.show();
        form.PageControl1->setCurrentIndex(1);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        connectedAt = serial->calls().size();
    }
    MapEcu ecu;
};

// A real box runs an event loop in which the cell editor loses the focus and
// is deleted; the Enter that showed the box must not touch it afterwards.
TEST_F(GridTruth, ARefusedValueIsTakenBackAfterItsBoxWhateverTheBoxDeleted)
{
    auto form = makeReadForm();
    showFuelPage(*form);
    dialogs->nestedLoop = true;
    form->InjGrid->SetEditing(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("1"));
    QPointer<QLineEdit> editor = form->InjGrid->findChild<QLineEdit *>();
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("000"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dialogs->texts(), QStringList{"Значение должно быть меньше 1000"});
    EXPECT_FALSE(editor) << "closed by the box";
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("40")) << "what the ECU holds, not the refused 1000";
    EXPECT_TRUE(form->InjGrid->Pending().empty());
    EXPECT_TRUE(cellWrites().isEmpty());
}

TEST_F(GridTruth, TextLeftWithoutEnterIsPutBack)
{
    auto form = makeReadForm();
    showFuelPage(*form);
    form->InjGrid->SetEditing(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setFocus();
    QTest::keyClicks(form->InjGrid, QStringLiteral("55"));
    EXPECT_EQ(form->InjGrid->Pending(), std::set<int>{0}) << "typed, not sent: marked";
    form->InjGrid->setCurrentCell(1, 1); // a click elsewhere
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("40"));
    EXPECT_TRUE(form->InjGrid->Pending().empty());
    EXPECT_TRUE(cellWrites().isEmpty());
}

// However the block was dragged, a paste starts at its top-left cell.
TEST_F(GridTruth, APasteLandsOnTheSelectedBlockWhicheverWayItWasDragged)
{
    auto form = makeReadForm();
    form->InjEditCheck->setChecked(true);
    const struct {
        const char *drag;
        int fromColumn, fromRow, toColumn, toRow;
    } drags[] = {
        {"down right", 2, 3, 3, 4}, {"up left", 3, 4, 2, 3}, {"down left", 3, 3, 2, 4}, {"up right", 2, 4, 3, 3}};
    for (const auto &d : drags) {
        ecu.fuel = QStringList(256, QStringLiteral("40"));
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        form->InjGrid->clearSelection();
        form->InjGrid->setCurrentCell(d.fromRow, d.fromColumn);
        form->InjGrid->setRangeSelected(QTableWidgetSelectionRange(std::min(d.fromRow, d.toRow),
                                                                   std::min(d.fromColumn, d.toColumn),
                                                                   std::max(d.fromRow, d.toRow),
                                                                   std::max(d.fromColumn, d.toColumn)),
                                        true);
        form->InjGrid->setCurrentCell(d.toRow, d.toColumn, QItemSelectionModel::NoUpdate); // the drag's end
        connectedAt = serial->calls().size();
        form->Guarded([&] { form->PasteCells(0, QStringLiteral("1\t2\n3\t4\n")); });
        EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<B[   51/1]>\r", "<B[   52/2]>\r", "<B[   67/3]>\r",
                                                   "<B[   68/4]>\r"}))
            << d.drag;
    }
}

TEST_F(GridTruth, EachPageSaysWhetherItsMapIsStoredAndTheStoreTakesNoChanges)
{
    auto form = makeReadForm();
    enterCell(*form, 0, 0, 0, QStringLiteral("41"));
    EXPECT_EQ(form->InjWarningLabel->text(), QStringLiteral("Изменено ячеек: 1 — не сохранено"));
    EXPECT_EQ(form->PageControl1->tabBar()->tabTextColor(1), QColor(210, 100, 0)) << "and a mark on its tab";
    EXPECT_FALSE(form->PageControl1->tabBar()->tabTextColor(2).isValid());
    EXPECT_EQ(form->PageControl1->tabText(1), QStringLiteral("Впрыск")) << "the caption itself stays";
    form->ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(form->InjWarningLabel->text(), QStringLiteral("Cells changed: 1 — not stored")) << "in the box's language";
    form->ComboBox1->setCurrentIndex(0);

    // Changes tried during the store's wait are refused with a note.
    int tries = 0;
    form->InjEditCheck->setChecked(true);
    serial->answer = [&](const QByteArray &frame) {
        if (frame == "<C>\r" && tries++ == 0) {
            enterCell(*form, 0, 1, 0, QStringLiteral("42"));
            form->Guarded([&] { form->PasteCells(0, QStringLiteral("43")); });
            EXPECT_EQ(form->InjWarningLabel->text().section(QStringLiteral("; "), 0, 0),
                      QStringLiteral("Идёт сохранение в ЭБУ: изменения не принимаются"));
        }
        return ecu.answer(frame);
    };
    QTimer::singleShot(0, form.get(), [&] { form->Timer2Timer(); });
    press(*form, &TTarvexMainForm::InjSaveButtonClick);
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(cellWrites(), QList<QByteArray>{"<B[   1/41]>\r"}) << "nothing during the store";
    EXPECT_EQ(form->InjGrid->Cell(1, 0), QStringLiteral("40"));
    EXPECT_EQ(form->InjWarningLabel->text(), QStringLiteral("Карта сохранена в памяти ЭБУ"));
    EXPECT_FALSE(form->PageControl1->tabBar()->tabTextColor(1).isValid());
}

TEST_F(GridTruth, ATemplateOverUnstoredChangesAsksFirstAndCounts)
{
    auto form = makeReadForm();
    enterCell(*form, 1, 0, 0, QStringLiteral("21"));
    dialogs->answerYes = false;
    connectedAt = serial->calls().size();
    press(*form, &TTarvexMainForm::IgnAutoEditButtonClick);
    EXPECT_EQ(dialogs->questions.last(), QStringLiteral("Карта изменена и не сохранена (1 яч.). Шаблон заменит эти "
                                                        "изменения. Загрузить шаблон?"));
    EXPECT_TRUE(writesSinceConnect().isEmpty());

    dialogs->answerYes = true;
    serial->answer = [&](const QByteArray &frame) {
        if (frame == "<O>\r")
            ecu.ignition = QStringList(256, QStringLiteral("15")); // the ECU's template
        return ecu.answer(frame);
    };
    press(*form, &TTarvexMainForm::IgnAutoEditButtonClick);
    EXPECT_EQ(form->IgnGrid->Cell(5, 5), QStringLiteral("15"));
    EXPECT_TRUE(dialogs->choiceWindows.empty()) << "a template's read is taken as it is";
    EXPECT_EQ(form->MapState(1).unstoredCount(), 256) << "a template is not stored until \"Сохранить\"";
    dialogs->answerYes = false;
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_EQ(dialogs->questions.last(),
              QStringLiteral("Карта УОЗ изменена, но не сохранена в памяти ЭБУ. Сохранить её сейчас?"));
}

TEST_F(GridTruth, CancelAtTheClosingQuestionKeepsTheWindowOpen)
{
    auto form = makeReadForm();
    enterCell(*form, 0, 0, 0, QStringLiteral("41"));
    form->show();
    dialogs->answerCancel = true;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->BComPort1->Connected());
    dialogs->answerCancel = false;
    dialogs->answerYes = false;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs->questions.size(), 2) << "asked again, once";
}

// After a pulled cable the ECU may have restarted and lost what was not
// stored: both maps are read and compared before the pages open again.
TEST_F(GridTruth, AReconnectComparesBothMapsAndTheFitterChooses)
{
    const struct {
        const char *name;
        int choice;
        QList<QByteArray> writes; // after the report
        QString shown;            // cell 18 afterwards
        bool listed;              // the window's value kept in the comparison
    } cases[] = {
        {"write the window's values", 0, {"<B[   18/77]>\r"}, QStringLiteral("77"), false},
        {"take the ECU's", 1, {}, QStringLiteral("40"), false},
        {"leave it", 2, {}, QStringLiteral("40"), true},
        {"closed", -1, {}, QStringLiteral("40"), true},
    };
    for (const auto &c : cases) {
        ecu = MapEcu();
        serial->stableNames[QStringLiteral("/dev/ttyUSB0")] = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
        auto form = makeReadForm();
        enterCell(*form, 0, 1, 1, QStringLiteral("77"));
        serial->vanish();
        press(*form, &TTarvexMainForm::RefreshTimerTimer);
        ASSERT_TRUE(form->WaitingForAdapter()) << c.name;
        ecu.fuel[17] = QStringLiteral("40"); // restarted with its stored map
        serial->reappear();
        bool lockedAtTheChoice = false;
        dialogs->choiceWindows.clear();
        dialogs->onChoose = [&](const auto &) {
            lockedAtTheChoice = !form->InjPanel->isEnabled() && cellWrites().isEmpty();
        };
        dialogs->choiceAnswers = {c.choice};
        connectedAt = serial->calls().size();
        press(*form, &TTarvexMainForm::ReconnectTimerTimer);
        ASSERT_EQ(dialogs->choiceWindows.size(), 1u) << c.name;
        EXPECT_EQ(dialogs->choiceWindows[0].table.rows,
                  (std::vector<QStringList>{{"Топливная карта", "18", "2", "900", "40", "77"}}))
            << "fuel only: the ignition map is as it was";
        EXPECT_TRUE(lockedAtTheChoice) << c.name << ": nothing written, the pages wait";
        EXPECT_EQ(cellWrites(), c.writes) << c.name;
        EXPECT_EQ(form->InjGrid->Cell(1, 1), c.shown) << c.name;
        EXPECT_EQ(bool(form->MapState(0).comparison()), c.listed) << c.name;
        EXPECT_TRUE(form->InjPanel->isEnabled()) << c.name;
        dialogs->answerYes = false;
        press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    }
}

TEST_F(GridTruth, AReconnectToTheSameMapCarriesOnSilently)
{
    serial->stableNames[QStringLiteral("/dev/ttyUSB0")] = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
    auto form = makeReadForm();
    enterCell(*form, 0, 1, 1, QStringLiteral("77"));
    serial->vanish();
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    serial->reappear();
    press(*form, &TTarvexMainForm::ReconnectTimerTimer);
    EXPECT_TRUE(dialogs->choiceWindows.empty());
    EXPECT_TRUE(form->MapState(0).canUndo()) << "the history and";
    EXPECT_EQ(form->MapState(0).unstoredCount(), 1) << "the unstored mark are kept";
}

TEST_F(GridTruth, ACellThatDidNotLandIsNamedAndShownAsTheEcuHoldsIt)
{
    auto form = makeReadForm();
    form->InjEditCheck->setChecked(true);
    form->InjGrid->setCurrentCell(0, 0);
    form->InjGrid->setRangeSelected(QTableWidgetSelectionRange(0, 0, 0, 1), true);
    serial->answer = [&](const QByteArray &frame) {
        const QByteArray reply = ecu.answer(frame);
        ecu.fuel[1] = QStringLiteral("40"); // the second cell never lands
        return reply;
    };
    dialogs->numberAnswers = {45};
    form->Guarded([&] { form->MapOperationClick(0, TTarvexMainForm::MapOperation::SetValue); });
    EXPECT_EQ(dialogs->texts().last(),
              QStringLiteral("В ЭБУ не записались ячейки (1): 2 (строка 1, 900: в ЭБУ 40 вместо 45). Окно показывает "
                             "значения ЭБУ."));
    EXPECT_EQ(form->InjGrid->Cell(0, 0), QStringLiteral("45"));
    EXPECT_EQ(form->InjGrid->Cell(1, 0), QStringLiteral("40"));
    EXPECT_EQ(form->MapState(0).unstoredCount(), 1);
}

TEST_F(GridTruth, TheComparisonListKeepsItsSelectionAndFollowsTheEditBox)
{
    auto form = makeReadForm();
    QStringList file(256, QStringLiteral("40"));
    file[3] = QStringLiteral("50");
    file[7] = QStringLiteral("60");
    QFile f(dir.filePath(QStringLiteral("other.inj")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (const QString &cell : file)
        f.write(cell.toLatin1() + "\r\n");
    f.close();
    dialogs->nextFile = f.fileName();
    form->Guarded([&] { form->MapCompareClick(0); });
    app::TCompareWindow *list = form->MapEditor(0).compareWindow;
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->WriteAll->isEnabled()) << "not while the page is not in edit mode";
    form->InjEditCheck->setChecked(true);
    EXPECT_TRUE(list->WriteAll->isEnabled()) << "the buttons follow the box";
    list->List->selectRow(1);
    list->hide();
    enterCell(*form, 0, 0, 0, QStringLiteral("41"));
    EXPECT_FALSE(list->isVisible()) << "a write does not bring the list back";
    EXPECT_EQ(list->SelectedCells(), std::vector<int>{7});
    form->Guarded([&] { form->WriteFromFile(0, {3}); });
    EXPECT_EQ(list->SelectedCells(), std::vector<int>{7}) << "cell 8 still selected, its row moved up";
}

} // namespace
