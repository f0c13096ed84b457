// SPDX-License-Identifier: GPL-3.0-or-later
// tarvex-mapedit: a map file edited without an ECU through the map page's
// session and editing, saved through the checked writer, the file as it was
// kept; a file that fails the load check opens nowhere.
#include "app/CompareWindow.h"
#include "app/MapEditWindow.h"
#include "maps/MapBackups.h"
#include "widgets/MapGrid.h"
#include "tests/app/RecordingDialogs.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

using namespace tarvex;
using namespace tarvex::test;

namespace {

class MapEdit : public ::testing::Test {
protected:
    QString writeFile(const char *name, const QByteArray &content)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    app::MapEditServices services()
    {
        app::MapEditServices s;
        s.dialogs = dialogs;
        s.settingsPath = dir.filePath(QStringLiteral("tarvex.ini"));
        s.backupFolder = dir.filePath(QStringLiteral("backups"));
        s.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)); };
        return s;
    }
    QTemporaryDir dir;
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
};

QByteArray rows(int value)
{
    QStringList cells(256, QString::number(value));
    return maps::mapFileContent(cells);
}

TEST_F(MapEdit, EditsUndoesSavesAndLoadsBackTheSameKeepingTheFileAsItWas)
{
    const QString path = writeFile("base.inj", rows(40));
    auto window = app::TMapEditWindow::Open(path, services());
    ASSERT_NE(window, nullptr);
    widgets::TMapGrid *grid = window->Grid;
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // Typing and Enter, an operation, a paste and its undo, as on the
    // window's page.
    grid->setCurrentCell(1, 2);
    grid->setFocus();
    static QStringList warnings; // Qt's: a cell editor closed twice is one
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtWarningMsg)
            warnings << text;
    });
    QTest::keyClicks(grid, QStringLiteral("5"));
    QLineEdit *editor = grid->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("5"));
    QTest::keyClick(editor, Qt::Key_Return);
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, QStringList());
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(3, 0, 3, 1), true);
    window->Editor().Operation(app::MapOperation::Increment);
    grid->clearSelection();
    grid->setCurrentCell(5, 5);
    window->Editor().PasteText(QStringLiteral("1\t2"));
    EXPECT_EQ(window->Map().mid(85, 2), (QStringList{"1", "2"}));
    window->Editor().Undo();
    EXPECT_EQ(window->Map()[18], QStringLiteral("55"));
    EXPECT_EQ(window->Map().mid(48, 2), (QStringList{"41", "41"}));
    EXPECT_EQ(window->Map().mid(85, 2), (QStringList{"40", "40"})) << "the paste undone";
    EXPECT_EQ(grid->Cell(5, 5), QStringLiteral("40"));
    EXPECT_EQ(window->Status->text(), QStringLiteral("Изменено ячеек: 3 — не сохранено"));
    grid->SetCell(0, 0, QStringLiteral("1000"));
    grid->setCurrentCell(0, 0);
    window->EnterCell();
    EXPECT_EQ(dialogs->texts().last(), QStringLiteral("Значение должно быть меньше 1000"));
    EXPECT_EQ(window->Map()[0], QStringLiteral("40"));

    // The comparison writes chosen cells into the map, undoably.
    QStringList other(256, QStringLiteral("40"));
    other[255] = QStringLiteral("77");
    dialogs->nextFile = writeFile("other.inj", maps::mapFileContent(other));
    window->Editor().Compare();
    app::TCompareWindow *list = window->Editor().compareWindow;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->List->horizontalHeaderItem(3)->text(), QStringLiteral("Карта"));
    list->List->selectRow(3);
    list->WriteSelected->click();
    EXPECT_EQ(window->Map()[255], QStringLiteral("77"));
    window->Editor().Undo();
    EXPECT_EQ(window->Map()[255], QStringLiteral("40"));
    window->Editor().Redo();

    ASSERT_TRUE(window->SaveClick());
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), maps::mapFileContent(window->Map()));
    EXPECT_EQ(window->Status->toolTip().section(QStringLiteral("; "), 1, 1), QStringLiteral("Карта сохранена в файл"));
    const std::vector<maps::BackupEntry> copies = maps::listBackups(dir.filePath(QStringLiteral("backups")));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].source, maps::BackupSource::MapEditor);
    QFile original(copies[0].path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), rows(40)) << "the file as it was opened";
    QTest::keyClick(grid, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(maps::listBackups(dir.filePath(QStringLiteral("backups"))).size(), 1u) << "kept once";

    auto again = app::TMapEditWindow::Open(path, services());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Map(), window->Map());
    EXPECT_EQ(again->Grid->Cells(), window->Grid->Cells());

    // Saving a file ends no history.
    window->Editor().MakeMenu();
    EXPECT_TRUE(window->Editor().actions.undo->isEnabled());
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->Map()[255], QStringLiteral("40"));
    window->LanguageBox->setCurrentIndex(1);
    EXPECT_EQ(window->Status->text().section(QStringLiteral("; "), 0, 0), QStringLiteral("Cells changed: 1 — not saved"));
}

TEST_F(MapEdit, AFileThatFailsTheLoadCheckOpensNowhereAndSaysWhy)
{
    QByteArray badLine = rows(40);
    badLine.replace(4, 2, "4x");
    const struct {
        const char *name;
        QByteArray content;
        QString why;
    } files[] = {
        {"short.inj", rows(40).left(255 * 4), QStringLiteral("В файле 255 строк, а в карте 256. Файл не загружен.")},
        {"letters.ign", badLine,
         QStringLiteral("Строка 2 файла («4x») — не значение карты: от одной до трёх цифр, можно со знаком минус. "
                        "Файл не загружен.")},
        {"negative.inj", rows(-5),
         QStringLiteral("Строка 1 файла («-5») вне диапазона этой карты: от 0 до 999. Файл не загружен.")},
        {"map.txt", rows(40), QString()},
    };
    for (const auto &file : files) {
        const QString path = writeFile(file.name, file.content);
        QString refusal;
        EXPECT_EQ(app::TMapEditWindow::Open(path, services(), &refusal), nullptr) << file.name;
        ASSERT_FALSE(dialogs->messages.empty());
        EXPECT_EQ(dialogs->messages.back().icon, widgets::Dialogs::Icon::Critical);
        EXPECT_EQ(dialogs->messages.back().text, refusal);
        if (!file.why.isEmpty())
            EXPECT_EQ(refusal, file.why) << file.name;
        else
            EXPECT_TRUE(refusal.contains(QLatin1String(".inj"))) << qPrintable(refusal);
    }
    EXPECT_NE(app::TMapEditWindow::Open(writeFile("negative.ign", rows(-5)), services()), nullptr)
        << "the ignition map takes values below zero";
}

} // namespace
