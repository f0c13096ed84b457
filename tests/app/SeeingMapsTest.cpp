// SPDX-License-Identifier: GPL-3.0-or-later
// The working point's trail over the grids, the surface window and the
// comparison with a map file.
#include "app/CompareWindow.h"
#include "app/ColorLabel.h"
#include "maps/ColorValue.h"
#include "widgets/MapGrid.h"
#include "widgets/MapSurface.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Helpers.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class SeeingMaps : public FormFixture {
protected:
    std::unique_ptr<TTarvexMainForm> makeReadForm()
    {
        serial->answer = [this](const QByteArray &frame) {
            if (frame == "<A>\r")
                return mapReply(40);
            if (frame == "<D>\r\r")
                return mapReply(20);
            if (frame == "<H>\r")
                return state;
            return QByteArray();
        };
        auto form = makeConnectedForm();
        press(*form, &TTarvexMainForm::InjRefreshButtonClick);
        press(*form, &TTarvexMainForm::IgnRefreshButtonClick);
        connectedAt = serial->calls().size();
        return form;
    }
    void stateTick(TTarvexMainForm &form, int j)
    {
        state = "[J" + QByteArray::number(j) + "j]";
        if (form.PollPhase() == false)
            press(form, &TTarvexMainForm::RefreshTimerTimer); // line up the state request
        press(form, &TTarvexMainForm::RefreshTimerTimer);
    }
    QString writeMap(const char *name, const QStringList &cells)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QString &cell : cells)
            f.write(cell.toLatin1() + "\r\n");
        return path;
    }
    QByteArray state = "[]";
};

QColor pixel(QWidget *w, const QPoint &at)
{
    return w->grab().toImage().pixelColor(at);
}

TEST_F(SeeingMaps, TheTrailIsDrawnOverTheBandsWithoutMovingAnything)
{
    auto form = makeReadForm();
    form->show();
    form->PageControl1->setCurrentIndex(1);
    form->InjEditCheck->setChecked(true);
    form->IgnEditCheck->setChecked(true); // else the other grid rewrites the shared record
    press(*form, &TTarvexMainForm::RefreshTimerTimer); // the grids stop following
    form->InjGrid->setCurrentCell(9, 9);
    const auto record = form->SelectedCell();
    for (int j : {35, 36, 52})
        stateTick(*form, j);
    EXPECT_EQ(form->Trail().newest(), 51);
    EXPECT_EQ(form->InjGrid->currentRow(), 9) << "the edited grid keeps the fitter's cell";
    EXPECT_EQ(form->SelectedCell().row, record.row);
    // Cell 51 (row 3, column 3): the newest dot beside its number, the band
    // colour all around it.
    const QRect cell = form->InjGrid->CellRect(51);
    QWidget *viewport = form->InjGrid->viewport();
    const QColor band = maps::colorFromValue(form->BandLabels[2]->Color(), form->palette());
    EXPECT_EQ(pixel(viewport, cell.topLeft() + QPoint(1, cell.height() - 2)), band);
    EXPECT_NE(pixel(viewport, QPoint(cell.right() - 5, cell.center().y())), band);
    EXPECT_EQ(form->BandLabels[2]->Color(), maps::defaultBandColors()[2]) << "the band itself is untouched";
}

TEST_F(SeeingMaps, TheSurfaceFollowsTheGridAndTheWorkingPoint)
{
    auto form = makeReadForm();
    for (int cell : {5 * 16 + 5, 5 * 16 + 6, 6 * 16 + 5, 6 * 16 + 6})
        form->InjGrid->SetCell(cell % 16, cell / 16, QStringLiteral("390")); // a block in band 20
    press(*form, &TTarvexMainForm::RefreshTimerTimer);
    form->Guarded([&] { form->MapSurfaceClick(0); });
    widgets::TMapSurface *surface = form->MapEditor(0).surface;
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(surface->isVisible());
    EXPECT_EQ(surface->windowTitle(), QStringLiteral("Tarvex — 3D: Топливная карта"));
    // The patch between the block's four cells wears band 20's colour.
    auto patchCentre = [&] {
        QPointF sum;
        for (int cell : {5 * 16 + 5, 5 * 16 + 6, 6 * 16 + 5, 6 * 16 + 6})
            sum += surface->CellPosition(cell);
        return (sum / 4).toPoint();
    };
    const QImage picture = surface->Render(surface->size());
    const QColor band20 = maps::colorFromValue(form->BandLabels[19]->Color(), form->palette());
    EXPECT_EQ(picture.pixelColor(patchCentre()), band20);
    const QPointF peak = surface->CellPosition(5 * 16 + 5);
    // A change of one cell redraws it; a tick marks the working point.
    surface->grab();
    const int renders = surface->Renders();
    form->InjGrid->SetCell(5, 5, QStringLiteral("40"));
    surface->grab();
    EXPECT_EQ(surface->Renders(), renders + 1);
    EXPECT_GT(surface->CellPosition(5 * 16 + 5).y(), peak.y()) << "the cell dropped";
    EXPECT_NE(surface->Render(surface->size()).pixelColor(patchCentre()), band20);
    stateTick(*form, 86);
    EXPECT_EQ(surface->WorkingPoint(), 85);
    const int rendersBefore = surface->Renders();
    surface->grab();
    EXPECT_EQ(surface->Renders(), rendersBefore) << "the working point is drawn over the kept picture";
    EXPECT_TRUE(writesSinceConnect().count("<G>\r") + writesSinceConnect().count("<H>\r") == writesSinceConnect().size())
        << "the surface sends nothing";
}

TEST_F(SeeingMaps, CompareMarksTheDifferencesAndWritesChosenCells)
{
    auto form = makeReadForm();
    QStringList file(256, QStringLiteral("40"));
    file[17] = QStringLiteral("44");
    file[200] = QStringLiteral("12");
    dialogs->nextFile = writeMap("tuned.inj", file);
    form->Guarded([&] { form->MapCompareClick(0); });
    EXPECT_EQ(dialogs->fileDialogs.back().folder, dir.filePath(QStringLiteral("backups"))) << "starts among the copies";
    EXPECT_EQ(form->InjGrid->Marks(), (std::map<int, QString>{{17, "44"}, {200, "12"}}));
    EXPECT_EQ(form->InjWarningLabel->text(), QStringLiteral("Отличается от файла ячеек: 2"));
    app::TCompareWindow *list = form->MapEditor(0).compareWindow;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->List->rowCount(), 2);
    EXPECT_EQ(list->List->item(0, 0)->text(), QStringLiteral("18"));
    EXPECT_EQ(list->List->item(0, 2)->text(), QStringLiteral("900"));
    EXPECT_EQ(list->List->item(1, 3)->text(), QStringLiteral("40"));
    EXPECT_EQ(list->List->item(1, 4)->text(), QStringLiteral("12"));
    EXPECT_FALSE(list->WriteAll->isEnabled()) << "writing is an edit: the page must be in edit mode";
    EXPECT_TRUE(writesSinceConnect().isEmpty()) << "nothing is sent while comparing";

    form->InjEditCheck->setChecked(true);
    form->Guarded([&] { form->MapCompareClick(0); });
    list->List->selectRow(1);
    list->WriteSelected->click();
    EXPECT_EQ(writesSinceConnect(), QList<QByteArray>{"<B[   201/12]>\r"});
    EXPECT_EQ(form->InjGrid->Marks().size(), 1u);
    EXPECT_EQ(list->List->rowCount(), 1);
    form->Guarded([&] { form->MapUndoClick(0); });
    EXPECT_EQ(writesSinceConnect().last(), QByteArray("<B[   201/40]>\r")) << "undoable as any edit";
    EXPECT_EQ(form->InjGrid->Marks().size(), 2u);

    list->close();
    EXPECT_TRUE(form->InjGrid->Marks().empty()) << "leaving the comparison restores the grid";
    EXPECT_EQ(form->InjWarningLabel->text(), QStringLiteral(" "));
}

TEST_F(SeeingMaps, AFileThatFailsTheChecksIsNotCompared)
{
    auto form = makeReadForm();
    dialogs->nextFile = writeMap("short.inj", QStringList(255, QStringLiteral("40")));
    form->Guarded([&] { form->MapCompareClick(1); });
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, QStringLiteral("В файле 255 строк, а в карте 256. Файл не загружен."));
    EXPECT_EQ(form->MapEditor(1).compareWindow, nullptr);
    EXPECT_TRUE(form->IgnGrid->Marks().empty());
}

TEST_F(SeeingMaps, AMapUnlikeTheLastKeptCopyIsNotedOnConnecting)
{
    QDir().mkpath(dir.filePath(QStringLiteral("backups")));
    QStringList kept(256, QStringLiteral("40"));
    kept[0] = QStringLiteral("41");
    kept[1] = QStringLiteral("41");
    writeMap("backups/07-12-26_18-00-00.inj", kept);
    auto form = makeReadForm();
    // The line shows what fits; its tooltip all of it, and the copy.
    EXPECT_EQ(form->InjWarningLabel->toolTip().section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Отличается от прошлой копии в 2 яч. — меню: «Сравнить с файлом…»"));
    EXPECT_TRUE(form->InjWarningLabel->text().endsWith(QStringLiteral("…")));
    EXPECT_TRUE(form->InjWarningLabel->toolTip().endsWith(QLatin1String("07-12-26_18-00-00.inj")));
    EXPECT_EQ(form->IgnWarningLabel->text(), QStringLiteral(" ")) << "no earlier ignition copy";
    EXPECT_TRUE(dialogs->messages.empty()) << "a note, not a box";
}

} // namespace
