// SPDX-License-Identifier: GPL-3.0-or-later
// Operations on a selection of cells, paste, undo and redo: what reaches the
// ECU, in which order, and what is refused before anything is sent.
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;
using Op = TTarvexMainForm::MapOperation;

namespace {

class RangeEdit : public FormFixture {
protected:
    // Connected, both maps read (every fuel cell 40, every ignition cell
    // 20) and both pages in edit mode.
    std::unique_ptr<TTarvexMainForm> makeEditingForm()
    {
        serial->answer = [this](const QByteArray &frame) { return ecu.answer(frame); };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
        form->InjEditCheck->setChecked(true);
        form->IgnEditCheck->setChecked(true);
        connectedAt = serial->calls().size();
        return form;
    }
    static void select(widgets::TMapGrid *grid, int left, int top, int right, int bottom)
    {
        grid->setCurrentCell(top, left);
        grid->clearSelection();
        grid->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    }
    void operate(TTarvexMainForm &form, int map, Op op) { form.Guarded([&] { form.MapOperationClick(map, op); }); }
    MapEcu ecu;
};

TEST_F(RangeEdit, AnOperationWritesTheChangedCellsInOrderAsEnterDoes)
{
    auto form = makeEditingForm();
    form->InjGrid->SetCell(2, 1, QStringLiteral("45")); // typed, not sent: the ECU still has 40
    select(form->InjGrid, 1, 1, 2, 2);
    dialogs->numberAnswers = {5};
    operate(*form, 0, Op::Add);
    EXPECT_EQ(dialogs->asked, QStringList{"Прибавить к выделенным ячейкам (отрицательное число вычитает):"});
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<B[   18/45]>\r", "<B[   19/50]>\r", "<B[   34/45]>\r",
                                                       "<B[   35/45]>\r", "<A>\r"}))
        << "read back after the batch";
    // Each cell as Enter sends it: 30 ms, purge, write, 50 + 50 ms.
    const auto calls = callsSinceConnect();
    EXPECT_EQ(calls[0].name, QStringLiteral("purge"));
    EXPECT_DOUBLE_EQ(calls[3].timeMs - calls[1].timeMs, 50 + 50 + 30);
    EXPECT_EQ(dialogs->progressMaximum, 4);
    EXPECT_EQ(dialogs->progressValues, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(form->InjGrid->Cell(1, 2), QStringLiteral("45"));
    EXPECT_TRUE(form->RefreshTimer->Enabled()) << "live data again after the batch";

    // Nothing that the ECU already holds is sent again.
    connectedAt = serial->calls().size();
    dialogs->numberAnswers = {45};
    operate(*form, 0, Op::SetValue);
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   19/45]>\r"}) << "one cell: no read-back";
    EXPECT_EQ(dialogs->progressValues.size(), 5u) << "one cell goes without a progress window";
    operate(*form, 0, Op::Smooth);
    EXPECT_EQ(writesSinceConnect().size(), 1);
}

TEST_F(RangeEdit, EveryOperationOnAnIgnitionSelection)
{
    auto form = makeEditingForm();
    form->IgnGrid->SetCell(3, 0, QStringLiteral("26"));
    form->IgnGrid->SetCell(0, 2, QStringLiteral("-10"));
    form->IgnGrid->SetCell(3, 2, QStringLiteral("30"));
    const struct {
        Op op;
        std::optional<double> answer;
        QList<QByteArray> frames;
    } cases[] = {
        {Op::Scale, 10, {"<E[   1/22]>\r\r", "<E[   2/22]>\r\r", "<E[   3/22]>\r\r", "<E[   4/29]>\r\r"}},
        {Op::Increment, std::nullopt, {"<E[   1/23]>\r\r", "<E[   2/23]>\r\r", "<E[   3/23]>\r\r", "<E[   4/30]>\r\r"}},
        {Op::Decrement, std::nullopt, {"<E[   1/22]>\r\r", "<E[   2/22]>\r\r", "<E[   3/22]>\r\r", "<E[   4/29]>\r\r"}},
        {Op::InterpolateRows, std::nullopt, {"<E[   2/24]>\r\r", "<E[   3/27]>\r\r"}},
    };
    for (const auto &c : cases) {
        select(form->IgnGrid, 0, 0, 3, 0);
        connectedAt = serial->calls().size();
        dialogs->numberAnswers = {c.answer};
        operate(*form, 1, c.op);
        EXPECT_EQ(cellWrites(), c.frames) << int(c.op);
    }
    // The corners of a block: bilinear between 22, 29, -10 and 30.
    select(form->IgnGrid, 0, 0, 3, 2);
    connectedAt = serial->calls().size();
    operate(*form, 1, Op::InterpolateBoth);
    EXPECT_EQ(form->IgnGrid->Cells().mid(16, 4), (QStringList{"6", "14", "22", "30"}));
    EXPECT_EQ(form->IgnGrid->Cells().mid(32, 4), (QStringList{"-10", "3", "17", "30"}));
    EXPECT_EQ(cellWrites().size(), 8) << "rows 1 and 2; the typed corners reach the ECU too";
}

TEST_F(RangeEdit, AResultOutsideTheMapsRangeIsRefusedBeforeAnythingIsSent)
{
    auto form = makeEditingForm();
    select(form->InjGrid, 0, 0, 15, 15);
    dialogs->numberAnswers = {2400};
    operate(*form, 0, Op::Scale);
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, QStringLiteral("Ячейка 1 (строка 1, столбец ХХ) получила бы значение 1000, "
                                                        "а в карте допустимо от 0 до 999. Ничего не записано."));
    select(form->IgnGrid, 0, 0, 0, 0);
    form->ComboBox1->setCurrentIndex(1);
    dialogs->numberAnswers = {-1020};
    operate(*form, 1, Op::Add);
    EXPECT_EQ(dialogs->texts().last(),
              QStringLiteral("Cell 1 (row 1, column ХХ) would become -1000; the map takes -999 to 999. Nothing was "
                             "written."));
    form->IgnGrid->SetCell(5, 5, QString());
    select(form->IgnGrid, 4, 4, 5, 5);
    operate(*form, 1, Op::Smooth);
    EXPECT_TRUE(dialogs->texts().last().startsWith(QStringLiteral("Cell 86 (row 6, column 2100) holds no number")));
    EXPECT_TRUE(writesSinceConnect().isEmpty());
}

TEST_F(RangeEdit, PasteFromASpreadsheetAtTheCurrentCell)
{
    auto form = makeEditingForm();
    form->InjGrid->setCurrentCell(4, 3);
    form->Guarded([&] { form->PasteCells(0, QStringLiteral("50\t40\n52\t53\n")); }); // LibreOffice's TSV
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<B[   68/50]>\r", "<B[   84/52]>\r", "<B[   85/53]>\r"}));
    EXPECT_EQ(form->InjGrid->selectedRanges().first().rowCount(), 2);

    connectedAt = serial->calls().size();
    form->InjGrid->setCurrentCell(14, 15);
    form->Guarded([&] { form->PasteCells(0, QStringLiteral("1;2\n3;4")); });
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Вставляемая таблица (2 строк, 2 столбцов) не помещается в "
                                                      "карту от строки 15, столбца 6500. Ничего не записано."));
    form->InjGrid->setCurrentCell(0, 0);
    form->Guarded([&] { form->PasteCells(0, QStringLiteral("1\t2\n3\tx\n")); });
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Строка 2, столбец 2 вставляемого текста («x») — не целое "
                                                      "число. Ничего не записано."));
    form->Guarded([&] { form->PasteCells(0, QStringLiteral("1\t1000\n")); });
    EXPECT_TRUE(dialogs->texts().last().contains(QStringLiteral("1000")));
    EXPECT_TRUE(writesSinceConnect().isEmpty());
}

TEST_F(RangeEdit, UndoWritesTheOldValuesBackAndRedoAgain)
{
    auto form = makeEditingForm();
    enterCell(*form, 1, 0, 0, QStringLiteral("25"));
    select(form->IgnGrid, 1, 0, 2, 0);
    dialogs->numberAnswers = {30};
    operate(*form, 1, Op::SetValue);
    connectedAt = serial->calls().size();
    form->Guarded([&] { form->MapUndoClick(1); });
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<E[   3/20]>\r\r", "<E[   2/20]>\r\r"}));
    form->Guarded([&] { form->MapUndoClick(1); });
    EXPECT_EQ(cellWrites().last(), QByteArray("<E[   1/20]>\r\r")) << "the Enter write, undone";
    EXPECT_EQ(form->IgnGrid->Cells(), QStringList(256, QStringLiteral("20")));
    connectedAt = serial->calls().size();
    form->Guarded([&] { form->MapRedoClick(1); });
    form->Guarded([&] { form->MapRedoClick(1); });
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<E[   1/25]>\r\r", "<E[   2/30]>\r\r", "<E[   3/30]>\r\r"}));

    // A read of what the window knows keeps the history; one that differs
    // ends it, and says so.
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    EXPECT_TRUE(form->MapState(1).canUndo());
    ecu.ignition[200] = QStringLiteral("33");
    press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
    EXPECT_EQ(form->IgnWarningLabel->toolTip().section(QStringLiteral("; "), 0, 0),
              QStringLiteral("ЭБУ изменил карту (1 яч.): показаны его значения, отмена правок начата заново"));
    connectedAt = serial->calls().size();
    form->Guarded([&] { form->MapUndoClick(1); });
    EXPECT_TRUE(writesSinceConnect().isEmpty());
}

TEST_F(RangeEdit, CancelStopsAfterTheCellInFlightAndUndoHoldsWhatWasWritten)
{
    auto form = makeEditingForm();
    select(form->InjGrid, 0, 0, 3, 0);
    dialogs->cancelAtProgress = 2;
    bool pollingDuringBatch = false;
    dialogs->onProgress = [&](int) { pollingDuringBatch |= form->RefreshTimer->Enabled(); };
    dialogs->numberAnswers = {41};
    operate(*form, 0, Op::SetValue);
    EXPECT_EQ(cellWrites().size(), 2);
    EXPECT_FALSE(pollingDuringBatch);
    EXPECT_FALSE(dialogs->progressOpen);
    EXPECT_EQ(form->InjGrid->Cells().mid(0, 4), (QStringList{"41", "41", "40", "40"})) << "what the ECU has";
    dialogs->cancelAtProgress = -1;
    connectedAt = serial->calls().size();
    form->Guarded([&] { form->MapUndoClick(0); });
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<B[   2/40]>\r", "<B[   1/40]>\r"}));
}

TEST_F(RangeEdit, APortErrorEndsTheBatchAndUndoCoversWhatWasWritten)
{
    auto form = makeEditingForm();
    select(form->InjGrid, 0, 1, 3, 1);
    dialogs->onProgress = [&](int written) {
        if (written == 2)
            serial->failOn(QStringLiteral("write"), EACCES, 1); // the driver refuses one write
    };
    dialogs->numberAnswers = {44};
    operate(*form, 0, Op::SetValue);
    EXPECT_EQ(dialogs->texts(), QStringList{"Ошибка записи в порт."});
    EXPECT_EQ(form->InjGrid->Cells().mid(16, 4), (QStringList{"44", "44", "40", "40"}));
    EXPECT_FALSE(form->RefreshTimer->Enabled()) << "as after any failed exchange";
    dialogs->onProgress = nullptr;
    EXPECT_EQ(form->MapState(0).unstoredCount(), 2) << "the written cells are unstored";
    connectedAt = serial->calls().size();
    form->Guarded([&] { form->MapUndoClick(0); });
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<B[   18/40]>\r", "<B[   17/40]>\r"}));
    dialogs->answerYes = false;
    press(*form, &TTarvexMainForm::ComDisconnectButtonClick);
    EXPECT_TRUE(dialogs->questions.isEmpty()) << "undone: the ECU holds what it stored";
}

TEST_F(RangeEdit, KeysStepTheSelectionOnlyWhileEditing)
{
    auto form = makeEditingForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    connectedAt = serial->calls().size();
    select(form->InjGrid, 2, 2, 3, 2);
    form->InjGrid->setFocus();
    QTest::keyClick(form->InjGrid, Qt::Key_Plus);
    QTest::keyClick(form->InjGrid, Qt::Key_Plus);
    QTest::keyClick(form->InjGrid, Qt::Key_Minus);
    EXPECT_EQ(cellWrites().mid(4), (QList<QByteArray>{"<B[   35/41]>\r", "<B[   36/41]>\r"}));
    EXPECT_EQ(form->InjGrid->findChild<QLineEdit *>(), nullptr) << "no editor opened";
    QTest::keyClick(form->InjGrid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cellWrites().size(), 8);
    EXPECT_EQ(form->InjGrid->Cell(2, 2), QStringLiteral("42"));

    form->InjEditCheck->setChecked(false);
    connectedAt = serial->calls().size();
    QTest::keyClick(form->InjGrid, Qt::Key_Plus);
    form->Guarded([&] { form->PasteCells(0, QStringLiteral("1")); });
    form->Guarded([&] { form->MapUndoClick(0); });
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "nothing while the page is not in edit mode";
}

TEST_F(RangeEdit, CopyGivesTheSelectionAsSpreadsheetText)
{
    auto form = makeEditingForm();
    form->InjEditCheck->setChecked(false); // copying needs no edit mode
    form->InjGrid->SetCell(1, 0, QStringLiteral("7"));
    select(form->InjGrid, 0, 0, 1, 1);
    form->Guarded([&] { form->MapCopyClick(0); });
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("40\t7\n40\t40\n"));
}

// "Задать значение…" starts from the value looked at; after a batch Ctrl+Z
// works at once; a held "+" sends one step, not one per repeat.
TEST_F(RangeEdit, SetValueStartsFromTheCurrentCellAndAHeldKeyStepsOnce)
{
    ecu.fuel[34] = QStringLiteral("47");
    auto form = makeEditingForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    select(form->InjGrid, 1, 1, 2, 2);
    form->InjGrid->setCurrentCell(2, 2, QItemSelectionModel::NoUpdate);
    form->ComSearchButton->setFocus();
    dialogs->numberAnswers = {50};
    operate(*form, 0, Op::SetValue);
    EXPECT_EQ(dialogs->askedInitial, std::vector<double>{47});
    EXPECT_TRUE(form->InjGrid->hasFocus()) << "back on the grid after the batch";

    // The ECU's map read again while a prompt is up: the change starts from
    // what it holds then.
    dialogs->onAsk = [&] {
        ecu.fuel[17] = QStringLiteral("60");
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
    };
    dialogs->numberAnswers = {5};
    connectedAt = serial->calls().size();
    operate(*form, 0, Op::Add);
    dialogs->onAsk = nullptr;
    EXPECT_EQ(cellWrites(), (QList<QByteArray>{"<B[   18/65]>\r", "<B[   19/55]>\r", "<B[   34/55]>\r",
                                               "<B[   35/55]>\r"}));

    connectedAt = serial->calls().size();
    QKeyEvent held(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"), true);
    QApplication::sendEvent(form->InjGrid, &held);
    EXPECT_TRUE(cellWrites().isEmpty()) << "a repeat of a held key";
    QTest::keyClick(form->InjGrid, Qt::Key_Plus);
    EXPECT_EQ(cellWrites().size(), 4) << "the first press steps the block once";
}

} // namespace
