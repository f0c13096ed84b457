// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColorLabel.h"
#include "lang/Captions.h"
#include "tests/app/FormFixture.h"

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class Language : public FormFixture {
protected:
    static QString caption(TTarvexMainForm &form, const char *name)
    {
        QWidget *w = form.findChild<QWidget *>(QLatin1String(name));
        return w ? captionOf(form, w) : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }
    static QStringList allCaptions(TTarvexMainForm &form)
    {
        QStringList out;
        for (const lang::CaptionRow &row : lang::captionTable())
            out << caption(form, row.name);
        return out;
    }
};

TEST_F(Language, TheTableCoversEightyControlsAsTheWindowShowsThem)
{
    auto form = makeForm();
    EXPECT_EQ(lang::captionTable().size(), 80u);
    int englishOnly = 0;
    for (const lang::CaptionRow &row : lang::captionTable()) {
        EXPECT_EQ(caption(*form, row.name), QString::fromUtf8(row.design)) << row.name;
        englishOnly += row.russianSwitch ? 0 : 1;
    }
    EXPECT_EQ(englishOnly, 18);
}

TEST_F(Language, EnglishAndBack)
{
    auto form = makeForm();
    const QStringList design = allCaptions(*form);
    form->ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(caption(*form, "Dwell"), QStringLiteral("Ignition"));
    EXPECT_EQ(caption(*form, "Label39"), QStringLiteral("Heating temperature"));
    EXPECT_EQ(caption(*form, "Label38"), QStringLiteral("Heating temperature"));
    EXPECT_EQ(caption(*form, "LoadFWButton"), QStringLiteral("Write"));
    EXPECT_EQ(form->CalibrationRows[0].lower->text(), QStringLiteral("Ниже")) << "step buttons stay Russian";
    EXPECT_EQ(form->BandLabels[11]->text(), QStringLiteral("220 - 240"));
    const QStringList english = allCaptions(*form);
    emit form->ComboBox1->activated(1); // "ENG" picked again: the switch runs again
    EXPECT_EQ(allCaptions(*form), english) << "twice is once";

    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(caption(*form, "Label8"), QStringLiteral("Базовое"));
    EXPECT_EQ(caption(*form, "Label7"), QStringLiteral("Лямбда-зонд"));
    EXPECT_EQ(caption(*form, "autotunebutton"), QStringLiteral("Авто настройка"));
    EXPECT_EQ(caption(*form, "LogButton"), QStringLiteral("Log файл"));
    EXPECT_EQ(caption(*form, "tps1textlabel"), QStringLiteral("ДПДЗ (концевик ХХ)"));
    // The English-only group is back in its design captions too.
    EXPECT_EQ(caption(*form, "Label43"), QStringLiteral("Время энегрии  искры "));
    EXPECT_EQ(caption(*form, "FW_ReadButton"), QStringLiteral("Прочесть"));
    int differ = 0;
    const QStringList back = allCaptions(*form);
    for (int i = 0; i < back.size(); ++i)
        differ += back[i] != design[i];
    EXPECT_EQ(differ, 6) << "only the six with a Russian switch text of their own";
    EXPECT_TRUE(serial->calls().empty()) << "nothing is sent";
}

TEST_F(Language, TypedTextSwitchesNothing)
{
    auto form = makeForm();
    form->show();
    form->ComboBox1->setCurrentIndex(1);
    const QStringList english = allCaptions(*form);
    QLineEdit *edit = form->ComboBox1->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("RU"));
    EXPECT_EQ(form->LanguageIndex(), -1);
    EXPECT_EQ(allCaptions(*form), english);
    QTest::keyClicks(edit, QStringLiteral("S"));
    EXPECT_EQ(form->LanguageIndex(), 0) << "the exact text of an item selects it";
    EXPECT_EQ(caption(*form, "Dwell"), QStringLiteral("Зажигание"));
}

TEST_F(Language, LiveDataWritesInTheNewLanguage)
{
    auto form = makeConnectedForm();
    serial->answer = [](const QByteArray &frame) {
        return frame == "<H>\r" ? QByteArray("[R0rU1uX1x]") : QByteArray();
    };
    form->ComboBox1->setCurrentIndex(1);
    form->Guarded([&] { form->RefreshTimerTimer(); });
    form->Guarded([&] { form->RefreshTimerTimer(); });
    EXPECT_EQ(form->isshowlabel->text(), QStringLiteral("Yes"));
    EXPECT_EQ(form->autotunebutton->text(), QStringLiteral("Autotune - Yes"));
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("No"));
    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(form->autotunebutton->text(), QStringLiteral("Авто настройка"));
    form->Guarded([&] { form->RefreshTimerTimer(); });
    form->Guarded([&] { form->RefreshTimerTimer(); });
    EXPECT_EQ(form->autotunebutton->text(), QStringLiteral("Автонастройка - Да"));
    EXPECT_EQ(form->ErrorCodeLabel->text(), QStringLiteral("НЕТ"));
}

// Every caption is whole in its control, in both languages.
TEST_F(Language, EveryCaptionFitsItsControl)
{
    auto form = makeForm();
    for (int language : {1, 0}) {
        form->ComboBox1->setCurrentIndex(language);
        for (const lang::CaptionRow &row : lang::captionTable()) {
            QWidget *w = form->findChild<QWidget *>(QLatin1String(row.name));
            ASSERT_NE(w, nullptr) << row.name;
            if (form->PageControl1->indexOf(w) >= 0)
                continue; // tabs take the width of their text
            const QString text = captionOf(*form, w);
            const int textWidth = w->fontMetrics().horizontalAdvance(text);
            int room = w->width();
            if (auto *button = qobject_cast<QPushButton *>(w)) {
                room -= 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
            } else if (auto *check = qobject_cast<QCheckBox *>(w)) {
                QStyleOptionButton option;
                option.initFrom(check);
                option.text = text;
                room = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check).width();
            } else if (qobject_cast<QGroupBox *>(w)) {
                room -= 16; // the title's indent and its gaps in the frame
            }
            EXPECT_LE(textWidth, room) << row.name << " in " << (language ? "English" : "Russian") << ": "
                                       << qPrintable(text);
        }
    }
}

TEST_F(Language, AlwaysStartsInRussian)
{
    {
        auto form = makeForm();
        form->ComboBox1->setCurrentIndex(1);
        form->close();
    }
    auto again = makeForm();
    EXPECT_EQ(again->LanguageIndex(), 0);
    EXPECT_EQ(caption(*again, "ComSearchButton"), QStringLiteral("Опросить"));
}

} // namespace
