// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ColorLabel.h"
#include "app/TTimer.h"
#include "widgets/MapGrid.h"
#include "widgets/AnalogGauge.h"
#include "widgets/SpeedScale.h"
#include "tests/app/FormFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace tarvex;
using namespace tarvex::test;
using app::TTarvexMainForm;

namespace {

class MainForm : public FormFixture {};

TEST_F(MainForm, IsAFixedWindowWithOnlyACloseBox)
{
    auto form = makeForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tarvex 28.07.23"));
    EXPECT_EQ(form->objectName(), QStringLiteral("TarvexMainForm"));
    EXPECT_EQ(form->size(), QSize(1014, 453));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->font().pointSize(), 8);
}

struct Caption {
    const char *name;
    const char *text;
};


TEST_F(MainForm, EveryControlIsThereWithItsExactCaption)
{
    // Spaces and dashes are part of the captions.
    const Caption captions[] = {
        {"ComSearchButton", "Опросить"}, {"ComConnectButton", "Соединить"}, {"ComDisconnectButton", "Разъединить"},
        {"cbport", "COM_port"}, {"ComboBox1", "RUS"}, {"rpmgauge", "RPM*1000"}, {"VoltageGauge", "V"},
        {"TemperatureGauge", "°C"}, {"TPS1Gauge", " "}, {"LambdaGauge", " "}, {"EngineLoadGauge", " "},
        {"rmptextlabel", "Обороты:"}, {"tps1textlabel", "ДПДЗ  (концевик ХХ)"}, {"Label7", "        Лямбда-зонд "},
        {"EngineLoadTextLabel", "Нагрузка на двигатель"}, {"wbo_check", "ШЛЗ"}, {"GroupBox3", "Дополнительно"},
        {"autotunebutton", "Автонастройка ?"}, {"CursorTextLabel", "Положение в таблице -------------"},
        {"Label6", "Текущий УОЗ---------------------------"},
        {"ErrorTextLabel", "Код ошибки-------------------------------"}, {"GroupBox4", "Параметры впрыска"},
        {"InjTextLabel", "Базовая длительность------------"}, {"Label3", "Коррекция по напряжению-----"},
        {"Label5", "Итоговая длительность---"}, {"GroupBox6", "Состояние"}, {"IATlabel2", "ДТВВ-----------------------"},
        {"GroupBox2", "Тесты оборудования"}, {"AirActuatorTestButton", "Клапан РХХ"}, {"LogButton", "Log Файл"},
        {"GroupBox5", "Холостой ход"}, {"Label8", "Базовое "}, {"Label9", "Текущее "}, {"BaseAirLabel", "000"},
        {"GroupBox10", "Дата установки"}, {"DateEdit", "???"}, {"DateReadButton", "Прочесть"},
        {"GroupBox1", "Версия ПО"}, {"GroupBox7", "Раскраска"}, {"Label10", "000 - 020"}, {"Label21", "220 - 240"},
        {"Label30", "401 - 600"}, {"GroupBox8", "Обновление ПО"}, {"OpenFWButton", "Открыть"},
        {"LoadFWButton", "Загрузить"},
        {"Label34", "Загружайте обновлённое ПО только под свой тип двигателя. Не выключайте зажигание во время "
                    "обновления!"},
        {"InjEditCheck", "Редактировать"}, {"InjSaveButton", "Сохранить"}, {"InjFileReadButton", "Из файла"},
        {"InjWarningLabel", " "}, {"Label48", "Starter"}, {"Label53", "Idle "}, {"IgnAutoEditButton", "Шаблон"},
        {"IgnFileSaveButton", "В файл"}, {"Label39", "Прогреворчные обороты до "},
        {"Label43", "Время энегрии  искры "}, {"Label38", "Окончание термо коррекции "},
        {"Label40", "Обогащение (при 0°C)"}, {"IdleSpeedRPMLabel", "???"}, {"Button1", "Ниже"},
        {"min_load_incr_button", "Выше"}, {"cal_def_button", "По умолчанию"},
        {"Calibration_write_button", "Сохранить"},
    };
    auto form = makeForm();
    for (const Caption &c : captions) {
        auto *w = form->findChild<QWidget *>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(captionOf(*form, w), QString::fromUtf8(c.text)) << c.name;
    }
    const QStringList tabs{"Настройки", "Впрыск", "Зажигание", "Дополнительно"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->PageControl1->tabText(i), tabs[i]);
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
}

TEST_F(MainForm, ControlsCarryTheirNamesForAutomationAndStandWhereTheyBelong)
{
    auto form = makeForm();
    int named = 0;
    for (QWidget *w : form->findChildren<QWidget *>()) {
        // The toolkit's own parts (tab scroll buttons and the like) are not ours.
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))
            || qobject_cast<QTabBar *>(w->parentWidget()))
            continue;
        EXPECT_EQ(w->accessibleDescription(), w->objectName());
        ++named;
    }
    EXPECT_GT(named, 180);

    EXPECT_EQ(form->rpmgauge->geometry(), QRect(648, 32, 113, 65));
    EXPECT_EQ(form->EngineLoadGauge->geometry(), QRect(888, 112, 113, 65));
    EXPECT_EQ(form->GroupBox2->geometry(), QRect(8, 8, 201, 153));
    EXPECT_EQ(form->EngineStopButton->geometry(), QRect(8, 88, 89, 25));
    EXPECT_EQ(form->GroupBox8->geometry(), QRect(432, 128, 185, 105));
    EXPECT_EQ(form->FWmemo->geometry(), QRect(440, 48, 169, 65));
    EXPECT_EQ(form->Panel1->geometry(), QRect(8, 8, 321, 409));
    EXPECT_EQ(form->CalibrationRows[12].raise->geometry(), QRect(256, 8 + 24 * 12, 41, 17));
    EXPECT_EQ(form->Calibration_write_button->geometry(), QRect(216, 368, 97, 33));
    EXPECT_EQ(form->autotunebutton->geometry(), QRect(232, 16, 113, 25));
    EXPECT_EQ(form->InjGrid->size(), QSize(531, 325));
    EXPECT_EQ(form->Image1->size(), QSize(537, 28));
    EXPECT_EQ(form->ProgressBar2->maximum(), 16);
    EXPECT_EQ(form->ProgressBar1->maximum(), 15);
    // Nothing spills out of the window or its pages.
    form->show();
    for (QWidget *w : form->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->accessibleDescription() != w->objectName()
            || w->parentWidget() == nullptr || qobject_cast<QStackedWidget *>(w->parentWidget()))
            continue;
        const QRect parentRect = w->parentWidget()->rect();
        EXPECT_TRUE(parentRect.contains(w->geometry())) << qPrintable(w->objectName());
    }
}

TEST_F(MainForm, StartsDisconnectedWithTheColourBandsUsable)
{
    auto form = makeForm();
    form->show();
    for (QWidget *locked : std::initializer_list<QWidget *>{form->Panel1, form->InjPanel, form->IgnPanel,
                                                            form->SettingsPanel, form->GroupBox3})
        EXPECT_FALSE(locked->isEnabled()) << qPrintable(locked->objectName());
    EXPECT_FALSE(form->EngineStopButton->isEnabled());
    EXPECT_TRUE(form->GroupBox7->isEnabled());
    EXPECT_TRUE(form->BandLabels[0]->isEnabled());
    EXPECT_TRUE(form->ComSearchButton->isEnabled());
    EXPECT_FALSE(form->ComConnectButton->isEnabled());
    EXPECT_FALSE(form->ComDisconnectButton->isEnabled());
    EXPECT_FALSE(form->LoadFWButton->isEnabled());
    EXPECT_FALSE(form->RefreshTimer->Enabled());
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_TRUE(form->Timer2->Enabled());
    EXPECT_EQ(form->RefreshTimer->Interval(), 50);
    EXPECT_EQ(form->Timer1->Interval(), 5000);
    EXPECT_EQ(form->Timer2->Interval(), 1000);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_FALSE(form->Logging());
    EXPECT_EQ(form->BComPort1->BaudRate(), link::br57600);
    EXPECT_EQ(form->BComPort1->InBufSize(), 4096);
    EXPECT_EQ(form->BComPort1->Port(), QStringLiteral("COM2"));
    EXPECT_TRUE(serial->calls().empty()) << "nothing is searched or opened at start";
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(MainForm, Timer2SwitchesItselfOffAfterItsFirstTick)
{
    auto form = makeForm();
    QEventLoop loop;
    QTimer::singleShot(1300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(form->Timer2->Enabled());
}

TEST_F(MainForm, WebLinksOpenTheMakersPages)
{
    auto form = makeForm();
    press(*form, &TTarvexMainForm::Label54Click);
    press(*form, &TTarvexMainForm::Label55Click);
    ASSERT_EQ(dialogs->urls.size(), 2u);
    EXPECT_EQ(dialogs->urls[0].host(), QStringLiteral("tarvex.example.org"));
    EXPECT_TRUE(dialogs->urls[1].host().endsWith(QLatin1String(".example.org")));
    EXPECT_TRUE(form->Label54->text().startsWith(QStringLiteral("Сайт ")));
}

TEST(TTimerSemantics, SwitchingOnARunningTimerKeepsItsPeriod)
{
    QObject owner;
    app::TTimer timer(&owner, 400, true);
    QElapsedTimer clock;
    clock.start();
    qint64 firedAt = -1;
    QEventLoop loop;
    timer.OnTimer = [&] {
        firedAt = clock.elapsed();
        timer.SetEnabled(false);
        loop.quit();
    };
    QTimer::singleShot(200, &owner, [&] { timer.SetEnabled(true); });
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(firedAt, 380);
    EXPECT_LT(firedAt, 580) << "on while on must not restart the period (a restart fires at 600 ms)";

    // Off then on restarts it.
    clock.restart();
    firedAt = -1;
    timer.SetEnabled(true);
    QTimer::singleShot(200, &owner, [&] {
        timer.SetEnabled(false);
        timer.SetEnabled(true);
    });
    loop.exec();
    EXPECT_GE(firedAt, 590);
}

} // namespace
