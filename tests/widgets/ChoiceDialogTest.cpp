// SPDX-License-Identifier: GPL-3.0-or-later
// The maps' choice may write to the ECU: an Enter typed for another window
// it came up over never takes a choice; a click does.
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using tarvex::widgets::Dialogs;
using tarvex::widgets::QtDialogs;

namespace {

QDialog *openChoice()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

TEST(ChoiceDialog, EnterTakesNoChoiceAndAClickDoes)
{
    const Dialogs::Table table{{"Карта", "Ячейка"}, {{"Топливная карта", "36"}}};
    const Dialogs::Choices choices{{"Топливная карта", "Карта УОЗ"}, {"Записать", "Взять", "Оставить"}, "Обе карты:", "Применить"};
    for (const int subjects : {1, 2}) {
        Dialogs::Choices asked = choices;
        asked.subjects = asked.subjects.mid(0, subjects);
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            QDialog *dialog = openChoice();
            ASSERT_NE(dialog, nullptr) << "no window";
            QTest::keyClick(dialog, Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog, Qt::Key_Enter);
            stillOpen = dialog->isVisible();
            // "Взять" in the row for every subject (the last one of its caption).
            QPushButton *take = nullptr;
            for (QPushButton *button : dialog->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("Взять"))
                    take = button;
            if (take)
                take->click();
            else
                dialog->reject();
        });
        QtDialogs dialogs;
        const std::vector<int> chosen = dialogs.choose(nullptr, QStringLiteral("Tarvex"), QStringLiteral("?"), table, asked);
        EXPECT_TRUE(stillOpen) << subjects << " subjects: Enter ended the choice";
        EXPECT_EQ(chosen, std::vector<int>(size_t(subjects), 1)) << subjects;
    }
}
