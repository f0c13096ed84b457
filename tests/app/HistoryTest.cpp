// SPDX-License-Identifier: GPL-3.0-or-later
// The history of the maps' kept copies: listed with why each was kept and how
// it differs from the ECU's map, a note, and cells restored from a copy.
#include "app/CompareWindow.h"
#include "app/HistoryWindow.h"
#include "maps/MapBackups.h"
#include "widgets/MapGrid.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class History : public FormFixture {
protected:
    // An older copy from the day before, kept before sources were noted;
    // then a drive of edits and stores today: the first read at 09:30, a
    // store at 09:31 (of a map already kept) and one at 09:32.
    std::unique_ptr<TTarvexMainForm> makeFormWithCopies()
    {
        QDir().mkpath(dir.filePath(QStringLiteral("backups")));
        QStringList older(256, QStringLiteral("40"));
        older[0] = QStringLiteral("41");
        maps::writeMapFile(dir.filePath(QStringLiteral("backups/07-12-26_18-00-00.inj")), older);
        serial->answer = [this](const QByteArray &frame) { return ecu.answer(frame); };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        enter(*form, 10, "50");
        store(*form);
        enter(*form, 11, "51");
        store(*form);
        return form;
    }
    // A minute later, "Сохранить" without its five seconds' wait.
    void store(TTarvexMainForm &form)
    {
        now = now.addSecs(60);
        QTimer::singleShot(0, &form, [&] { form.Timer2Timer(); });
        press(form, &TTarvexMainForm::InjSaveButtonClick);
    }
    void enter(TTarvexMainForm &form, int cell, const char *text)
    {
        form.InjGrid->SetCell(cell % 16, cell / 16, QLatin1String(text));
        form.InjGrid->setCurrentCell(cell / 16, cell % 16);
        form.Guarded([&] { form.InjGridKeyDown(13); });
    }
    QStringList column(app::THistoryWindow *window, int column)
    {
        QStringList texts;
        for (int row = 0; row < window->List->rowCount(); ++row)
            texts << window->List->item(row, column)->text();
        return texts;
    }
    MapEcu ecu;
};

TEST_F(History, CopiesAreListedNewestFirstWithTheirSourceDifferencesAndNote)
{
    auto form = makeFormWithCopies();
    form->Guarded([&] { form->MapHistoryClick(); });
    app::THistoryWindow *window = form->History;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(column(window, 0), (QStringList{"08.12.2026 09:32:00", "08.12.2026 09:30:00", "07.12.2026 18:00:00"}));
    EXPECT_EQ(column(window, 2), (QStringList{"память ЭБУ перед сохранением", "первое чтение после подключения",
                                              "копия (без описания)"}))
        << "the store at 09:31 replaced a map already kept";
    EXPECT_EQ(column(window, 3), (QStringList{"1", "2", "3"})) << "against the ECU's 50 and 51 in cells 11 and 12";

    window->List->item(1, 4)->setText(QStringLiteral("before the idle tune"));
    EXPECT_EQ(maps::listBackups(dir.filePath(QStringLiteral("backups")))[1].note, QStringLiteral("before the idle tune"));
    enter(*form, 12, "52");
    EXPECT_EQ(column(window, 3), (QStringList{"2", "3", "4"})) << "counted again as the ECU's map changes";
    EXPECT_EQ(column(window, 4)[1], QStringLiteral("before the idle tune"));
}

TEST_F(History, TwoChosenCellsOfACopyAreRestoredAsOneStepThatCtrlZUndoes)
{
    auto form = makeFormWithCopies();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    form->InjEditCheck->setChecked(true);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Guarded([&] { form->MapHistoryClick(); });
    form->History->List->selectRow(2);
    form->History->CompareButton->click();
    app::TCompareWindow *list = form->MapEditor(0).compareWindow;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->List->rowCount(), 3);
    list->List->selectRow(1);
    list->List->selectionModel()->select(list->List->model()->index(2, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    connectedAt = serial->calls().size();
    list->WriteSelected->click();
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<B[   11/40]>\r", "<B[   12/40]>\r", "<A>\r"}))
        << "two cell writes and the read-back";
    EXPECT_EQ(ecu.fuel[10], QStringLiteral("40"));
    EXPECT_EQ(list->List->rowCount(), 1) << "the copy's first cell still differs";

    connectedAt = serial->calls().size();
    form->activateWindow();
    form->InjGrid->setFocus();
    QTest::keyClick(form->InjGrid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(writesSinceConnect(), (QList<QByteArray>{"<B[   12/51]>\r", "<B[   11/50]>\r", "<A>\r"}));
    EXPECT_EQ(form->InjGrid->Cell(10, 0), QStringLiteral("50"));
}

} // namespace
