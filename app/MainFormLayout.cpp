// SPDX-License-Identifier: GPL-3.0-or-later
// The window's controls: names, kinds, captions, positions and sizes.
#include "app/ColorLabel.h"
#include "app/MainForm.h"
#include "app/WebLinks.h"
#include "widgets/MapGrid.h"
#include "maps/MapScale.h"
#include "widgets/AnalogGauge.h"
#include "widgets/LiveGauges.h"
#include "widgets/SpeedScale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace tarvex::app {

namespace {

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    // Screen readers and UI automation find controls by this name.
    widget->setAccessibleDescription(QLatin1String(name));
    return widget;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, int x, int y, int w = -1, int h = -1)
{
    auto *l = named(new QLabel(text, parent), name);
    if (w < 0) {
        // Sized by its caption, also when the language switch changes it.
        l->setProperty(kSizedByCaption, true);
        l->adjustSize();
        l->move(x, y);
    } else {
        l->setGeometry(x, y, w, h);
    }
    return l;
}

// A value label that sits over the end of its dotted leader.
QLabel *valueLabel(QWidget *parent, const char *name, const QString &text, int x, int y, int w)
{
    QLabel *l = label(parent, name, text, x, y, w, 15);
    l->setAutoFillBackground(true);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h)
{
    auto *b = named(new QPushButton(text, parent), name);
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(false);
    return b;
}

QGroupBox *group(QWidget *parent, const char *name, const QString &caption, int x, int y, int w, int h)
{
    auto *g = named(new QGroupBox(caption, parent), name);
    g->setGeometry(x, y, w, h);
    return g;
}

QFrame *panel(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *p = named(new QFrame(parent), name);
    p->setGeometry(x, y, w, h);
    return p;
}

QCheckBox *check(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h)
{
    auto *c = named(new QCheckBox(text, parent), name);
    c->setGeometry(x, y, w, h);
    return c;
}

QProgressBar *progress(QWidget *parent, const char *name, int x, int y, int w, int h, int maximum)
{
    auto *p = named(new QProgressBar(parent), name);
    p->setGeometry(x, y, w, h);
    p->setRange(0, maximum);
    p->setValue(0);
    p->setTextVisible(false);
    return p;
}

widgets::TAnalogGauge *gauge(QWidget *parent, const char *name, widgets::LiveGauge which, int x, int y)
{
    auto *g = named(widgets::makeLiveGauge(parent, which), name);
    g->move(x, y);
    return g;
}

// The engine-speed scale under a map: one caption per column, vertical.
widgets::TSpeedScale *speedScale(QWidget *parent, const char *name, int x, int y)
{
    auto *image = named(new widgets::TSpeedScale(parent), name);
    image->move(x, y);
    return image;
}

struct CalibrationRowLayout {
    const char *caption;
    const char *captionName;
    const char *lowerName;
    const char *valueName;
    const char *raiseName;
};

const CalibrationRowLayout kCalibrationRows[13] = {
    {"Обороты холостого хода", "Label35", "IS_down_button", "IdleSpeedRPMLabel", "IS_up_button"},
    {"Прогревочные обороты", "Label36", "Button5", "HeatRpmLabel", "Button6"},
    {"Прогреворчные обороты до ", "Label39", "hrpm_down_button", "heat_temp_label", "hrpm_up_button"},
    {"Скорость реакции РХХ", "Label37", "aas_down_button", "aas_label", "aas_up_button"},
    {"Окончание термо коррекции ", "Label38", "tend_down_button", "tend_label", "tend_up_button"},
    {"Обогащение (при 0°C)", "Label40", "Tdiv_down_button", "tdiv_label", "tdiv_up_button"},
    {"Коррекция по напряжению", "Label41", "vcor_down_button", "vcor_label", "vcor_up_button"},
    {"Задержка форсунок (при 14 V)", "Label42", "lag_down_button", "lag_label", "lag_up_button"},
    {"Время энегрии  искры ", "Label43", "coil_down_button", "Coil_time_label", "Coil_up_button"},
    {"Коррекция ХХ по нагрузке", "Label44", "enr_down_button", "Enr_label", "Enr_up_button"},
    {"Доп топливо при разгоне", "Label45", "acc_down_button", "acc_label", "acc_up_button"},
    {"ПХХ при обротах выше", "Label46", "Button1", "PHH_label", "Button2"},
    {"Мин. нагрузка", "Label47", "min_load_decr_button", "Min_load_label", "min_load_incr_button"},
};

const char *const kBandCaptions[maps::kBandCount] = {
    "000 - 020", "021 - 040", "041 - 060", "061 - 080", "081 - 100", "101 - 120", "121 - 140",
    "141 - 160", "161 - 180", "181 - 200", "201 - 220", "220 - 240", "241 - 260", "261 - 280",
    "281 - 300", "301 - 320", "321 - 340", "341 - 360", "361 - 380", "381 - 400", "401 - 600",
};

// The six row labels of the fuel map, with their rows.
const struct {
    const char *name;
    const char *caption;
    int row;
} kRowLabels[6] = {
    {"Label48", "Starter", 0}, {"Label49", "Lz Speed", 11}, {"Label50", "Lz ON", 12},
    {"Label51", "AC ON", 13},  {"Label52", "Idle ADD", 14}, {"Label53", "Idle ", 15},
};

struct MapPageNames {
    const char *panel, *edit, *refresh, *save, *templ, *fileRead, *fileSave, *warning, *progress, *grid, *scale;
    int progressMaximum;
};
const MapPageNames kFuelPage = {"InjPanel",          "InjEditCheck",      "InjRefreshButton", "InjSaveButton",
                                "InjTemplateButton", "InjFileReadButton", "InjFileSaveButton", "InjWarningLabel",
                                "ProgressBar2",      "InjGrid",           "Image1",            16};
const MapPageNames kIgnitionPage = {"IgnPanel",          "IgnEditCheck",      "IgnRefreshButton", "IgnSaveButton",
                                    "IgnAutoEditButton", "IgnFileReadButton", "IgnFileSaveButton", "IgnWarningLabel",
                                    "ProgressBar1",      "IgnGrid",           "Image2",            15};

struct MapPage {
    QFrame *panel;
    QCheckBox *edit;
    QPushButton *refresh, *save, *templ, *fileRead, *fileSave;
    QLabel *warning;
    QProgressBar *progress;
    widgets::TMapGrid *grid;
    widgets::TSpeedScale *scale;
};

// The edit box top left, five buttons beside it, status and progress below,
// the grid and its engine-speed scale under them.
template <typename Text>
MapPage mapPage(QWidget *page, const MapPageNames &n, Text T)
{
    MapPage p{};
    p.panel = panel(page, n.panel, 0, 0, 625, 417);
    p.edit = check(p.panel, n.edit, T("Редактировать"), 8, 12, 97, 17);
    p.refresh = button(p.panel, n.refresh, T("Обновить"), 112, 4, 81, 33);
    p.save = button(p.panel, n.save, T("Сохранить"), 200, 4, 81, 33);
    p.templ = button(p.panel, n.templ, T("Шаблон"), 288, 4, 81, 33);
    p.fileRead = button(p.panel, n.fileRead, T("Из файла"), 376, 4, 81, 33);
    p.fileSave = button(p.panel, n.fileSave, T("В файл"), 464, 4, 81, 33);
    p.warning = label(p.panel, n.warning, T(" "), 72, 42, 340, 15);
    p.progress = progress(p.panel, n.progress, 420, 42, 185, 13, n.progressMaximum);
    p.grid = named(new widgets::TMapGrid(p.panel), n.grid);
    p.grid->move(72, 60);
    p.scale = speedScale(p.panel, n.scale, 69, 386);
    return p;
}

} // namespace

void TTarvexMainForm::CreateControls()
{
    const auto T = [](const char *utf8) { return QString::fromUtf8(utf8); };

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setGeometry(8, 4, 633, 445);
    Settings = named(new QWidget, "Settings");
    Injection = named(new QWidget, "Injection");
    Dwell = named(new QWidget, "Dwell");
    Additional = named(new QWidget, "Additional");
    PageControl1->addTab(Settings, T("Настройки"));
    PageControl1->addTab(Injection, T("Впрыск"));
    PageControl1->addTab(Dwell, T("Зажигание"));
    PageControl1->addTab(Additional, T("Дополнительно"));

    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems({QStringLiteral("RUS"), QStringLiteral("ENG")});
    ComboBox1->setGeometry(584, 4, 57, 21);

    // --- Live display ---------------------------------------------------
    wbo_check = check(this, "wbo_check", T("ШЛЗ"), 648, 8, 57, 17);
    using widgets::LiveGauge;
    rpmgauge = gauge(this, "rpmgauge", LiveGauge::Rpm, 648, 32);
    VoltageGauge = gauge(this, "VoltageGauge", LiveGauge::Voltage, 768, 32);
    TemperatureGauge = gauge(this, "TemperatureGauge", LiveGauge::Temperature, 888, 32);
    TPS1Gauge = gauge(this, "TPS1Gauge", LiveGauge::Throttle, 648, 112);
    LambdaGauge = gauge(this, "LambdaGauge", LiveGauge::Lambda, 768, 112);
    EngineLoadGauge = gauge(this, "EngineLoadGauge", LiveGauge::Load, 888, 112);
    rmptextlabel = label(this, "rmptextlabel", T("Обороты:"), 648, 97);
    RPMLabel = label(this, "RPMLabel", QString(), 716, 97, 44, 14);
    VoltageTextLabel = label(this, "VoltageTextLabel", T("Напряжение:"), 768, 97);
    VoltageLabel = label(this, "VoltageLabel", QString(), 840, 97, 44, 14);
    TemperatureTextLabel = label(this, "TemperatureTextLabel", T("Температура:"), 888, 97);
    TemperatureLabel = label(this, "TemperatureLabel", QString(), 962, 97, 46, 14);
    tps1textlabel = label(this, "tps1textlabel", T("ДПДЗ  (концевик ХХ)"), 648, 177);
    Label7 = label(this, "Label7", T("        Лямбда-зонд "), 768, 177);
    EngineLoadTextLabel = label(this, "EngineLoadTextLabel", T("Нагрузка на двигатель"), 888, 177);

    GroupBox3 = group(this, "GroupBox3", T("Дополнительно"), 648, 196, 361, 253);
    CursorTextLabel = label(GroupBox3, "CursorTextLabel", T("Положение в таблице -------------"), 8, 20);
    CursorLabel = valueLabel(GroupBox3, "CursorLabel", QString(), 176, 20, 48);
    Label6 = label(GroupBox3, "Label6", T("Текущий УОЗ---------------------------"), 8, 38);
    DwellLabel = valueLabel(GroupBox3, "DwellLabel", QString(), 176, 38, 48);
    ErrorTextLabel = label(GroupBox3, "ErrorTextLabel", T("Код ошибки-------------------------------"), 8, 56);
    ErrorCodeLabel = valueLabel(GroupBox3, "ErrorCodeLabel", QString(), 176, 56, 48);
    autotunebutton = button(GroupBox3, "autotunebutton", T("Автонастройка ?"), 232, 16, 113, 25);
    FuelTypeLabel = valueLabel(GroupBox3, "FuelTypeLabel", QString(), 232, 50, 121);

    GroupBox4 = group(GroupBox3, "GroupBox4", T("Параметры впрыска"), 6, 78, 209, 113);
    InjTextLabel = label(GroupBox4, "InjTextLabel", T("Базовая длительность------------"), 8, 18);
    baseinjlabel = valueLabel(GroupBox4, "baseinjlabel", QString(), 154, 18, 51);
    Label2 = label(GroupBox4, "Label2", T("Коррекция по ДТОЖ---------------"), 8, 36);
    cltcorlabel = valueLabel(GroupBox4, "cltcorlabel", QString(), 154, 36, 51);
    Label3 = label(GroupBox4, "Label3", T("Коррекция по напряжению-----"), 8, 54);
    VcorLabel = valueLabel(GroupBox4, "VcorLabel", QString(), 154, 54, 51);
    Label4 = label(GroupBox4, "Label4", T("Коррекция по лямбда-зонду---"), 8, 72);
    LcorLabel = valueLabel(GroupBox4, "LcorLabel", QString(), 154, 72, 51);
    Label5 = label(GroupBox4, "Label5", T("Итоговая длительность---"), 8, 90);
    injtimelabel = valueLabel(GroupBox4, "injtimelabel", QString(), 154, 90, 51);

    GroupBox6 = group(GroupBox3, "GroupBox6", T("Состояние"), 219, 78, 136, 95);
    IdleSpeedLabel = label(GroupBox6, "IdleSpeedLabel", T("Холостой ход ---------"), 8, 18);
    isshowlabel = valueLabel(GroupBox6, "isshowlabel", QString(), 92, 18, 40);
    Label1 = label(GroupBox6, "Label1", T("ПХХ ------------------------"), 8, 36);
    decellabel = valueLabel(GroupBox6, "decellabel", QString(), 92, 36, 40);
    AClabel = label(GroupBox6, "AClabel", T("Кондиционер----------"), 8, 54);
    AcShowLabel = valueLabel(GroupBox6, "AcShowLabel", QString(), 92, 54, 40);
    IATlabel2 = label(GroupBox6, "IATlabel2", T("ДТВВ-----------------------"), 8, 72);
    IATlabel = valueLabel(GroupBox6, "IATlabel", QString(), 92, 72, 40);

    // --- Page "Настройки" -------------------------------------------------
    cbport = named(new QComboBox(Settings), "cbport");
    cbport->setEditable(true);
    // Enter keeps the typed name as the port to open; the list only ever
    // holds what the search found.
    cbport->setInsertPolicy(QComboBox::NoInsert);
    cbport->setEditText(QStringLiteral("COM_port"));
    cbport->setGeometry(8, 8, 169, 21);
    ComSearchButton = button(Settings, "ComSearchButton", T("Опросить"), 184, 6, 81, 25);
    ComConnectButton = button(Settings, "ComConnectButton", T("Соединить"), 272, 6, 81, 25);
    ComDisconnectButton = button(Settings, "ComDisconnectButton", T("Разъединить"), 360, 6, 89, 25);
    testlabel = label(Settings, "testlabel", QString(), 456, 0, 20, 32);
    logwritelabel = label(Settings, "logwritelabel", QString(), 480, 0, 20, 32);
    for (QLabel *mark : {testlabel, logwritelabel}) {
        QFont big = font();
        big.setPointSize(16);
        big.setBold(true);
        mark->setFont(big);
    }
    testlabel->setStyleSheet(QStringLiteral("color: blue"));
    logwritelabel->setStyleSheet(QStringLiteral("color: red"));
    Label54 = label(Settings, "Label54", T("Сайт ") + webLinks().siteCaption, 504, 4);
    Label55 = label(Settings, "Label55", T("Группа в VK"), 504, 20);
    for (QLabel *link : {Label54, Label55}) {
        link->setStyleSheet(QStringLiteral("color: blue"));
        link->setCursor(Qt::PointingHandCursor);
    }

    SettingsPanel = panel(Settings, "SettingsPanel", 0, 36, 625, 381);
    GroupBox2 = group(SettingsPanel, "GroupBox2", T("Тесты оборудования"), 8, 8, 201, 153);
    InjTestButton = button(GroupBox2, "InjTestButton", T("Форсунки"), 8, 24, 89, 25);
    AirActuatorTestButton = button(GroupBox2, "AirActuatorTestButton", T("Клапан РХХ"), 104, 24, 89, 25);
    IgnTestButton = button(GroupBox2, "IgnTestButton", T("Зажигание"), 8, 56, 89, 25);
    RelayTestButton = button(GroupBox2, "RelayTestButton", T("Реле насоса"), 104, 56, 89, 25);
    EngineStopButton = button(GroupBox2, "EngineStopButton", T("Заглушить"), 8, 88, 89, 25);
    ErrorReqButton = button(GroupBox2, "ErrorReqButton", T("Ошибки"), 104, 88, 89, 25);
    StroboscopeButton = button(GroupBox2, "StroboscopeButton", T("Стробоскоп"), 8, 120, 89, 25);
    LogButton = button(GroupBox2, "LogButton", T("Log Файл"), 104, 120, 89, 25);

    GroupBox5 = group(SettingsPanel, "GroupBox5", T("Холостой ход"), 8, 168, 201, 81);
    IdleDownButton = button(GroupBox5, "IdleDownButton", T("ХХ ниже"), 8, 24, 89, 25);
    IdleUpButton = button(GroupBox5, "IdleUpButton", T("ХХ выше"), 112, 24, 81, 25);
    Label8 = label(GroupBox5, "Label8", T("Базовое "), 8, 56);
    BaseAirLabel = label(GroupBox5, "BaseAirLabel", T("000"), 64, 56, 33, 15);
    Label9 = label(GroupBox5, "Label9", T("Текущее "), 112, 56);
    CurrentAirLabel = label(GroupBox5, "CurrentAirLabel", T("000"), 168, 56, 28, 15);

    GroupBox10 = group(SettingsPanel, "GroupBox10", T("Дата установки"), 8, 256, 201, 81);
    DateEdit = named(new QLineEdit(T("???"), GroupBox10), "DateEdit");
    DateEdit->setGeometry(8, 16, 89, 21);
    DateReadButton = button(GroupBox10, "DateReadButton", T("Прочесть"), 8, 48, 89, 25);

    GroupBox1 = group(SettingsPanel, "GroupBox1", T("Версия ПО"), 432, 0, 185, 121);
    FW_ReadButton = button(GroupBox1, "FW_ReadButton", T("Прочесть"), 8, 16, 73, 25);
    FWVersionlabel = label(GroupBox1, "FWVersionlabel", QString(), 88, 20, 89, 15);
    FWmemo = named(new QPlainTextEdit(SettingsPanel), "FWmemo");
    FWmemo->setGeometry(440, 48, 169, 65);

    GroupBox8 = group(SettingsPanel, "GroupBox8", T("Обновление ПО"), 432, 128, 185, 105);
    OpenFWButton = button(GroupBox8, "OpenFWButton", T("Открыть"), 8, 16, 81, 25);
    LoadFWButton = button(GroupBox8, "LoadFWButton", T("Загрузить"), 96, 16, 81, 25);
    LoadFWButton->setEnabled(false);
    Label32 = label(GroupBox8, "Label32", QString(), 8, 48, 169, 15);
    Label33 = label(GroupBox8, "Label33", QString(), 8, 64, 169, 15);
    ProgressBar3 = progress(GroupBox8, "ProgressBar3", 8, 80, 169, 17, 100);
    Label34 = label(SettingsPanel, "Label34",
                    T("Загружайте обновлённое ПО только под свой тип двигателя. "
                      "Не выключайте зажигание во время обновления!"),
                    440, 232, 164, 52);
    Label34->setWordWrap(true);
    Label34->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The colour bands stay usable while the panel around them is locked,
    // so they hang on the page itself, at their place inside the panel.
    GroupBox7 = group(Settings, "GroupBox7", T("Раскраска"), SettingsPanel->x() + 216, SettingsPanel->y() + 0, 97,
                      373);
    for (int k = 0; k < maps::kBandCount; ++k) {
        auto *band = new TColorLabel(QString::fromLatin1(kBandCaptions[k]), GroupBox7);
        named(band, QStringLiteral("Label%1").arg(10 + k).toLatin1().constData());
        band->setGeometry(16, 24 + 16 * k, 51, 13);
        BandLabels[size_t(k)] = band;
    }

    // --- Pages "Впрыск" and "Зажигание": the same editor twice -------------
    const MapPage fuel = mapPage(Injection, kFuelPage, T);
    InjPanel = fuel.panel;
    InjEditCheck = fuel.edit;
    InjRefreshButton = fuel.refresh;
    InjSaveButton = fuel.save;
    InjTemplateButton = fuel.templ;
    InjFileReadButton = fuel.fileRead;
    InjFileSaveButton = fuel.fileSave;
    InjWarningLabel = fuel.warning;
    ProgressBar2 = fuel.progress;
    InjGrid = fuel.grid;
    Image1 = fuel.scale;
    for (size_t i = 0; i < RowLabels.size(); ++i) {
        RowLabels[i] = label(InjPanel, kRowLabels[i].name, QString::fromLatin1(kRowLabels[i].caption), 8,
                             InjGrid->y() + 3 + kRowLabels[i].row * (widgets::TMapGrid::kCellHeight + 1));
    }

    const MapPage ignition = mapPage(Dwell, kIgnitionPage, T);
    IgnPanel = ignition.panel;
    IgnEditCheck = ignition.edit;
    IgnRefreshButton = ignition.refresh;
    IgnSaveButton = ignition.save;
    IgnAutoEditButton = ignition.templ;
    IgnFileReadButton = ignition.fileRead;
    IgnFileSaveButton = ignition.fileSave;
    IgnWarningLabel = ignition.warning;
    ProgressBar1 = ignition.progress;
    IgnGrid = ignition.grid;
    Image2 = ignition.scale;

    // --- Page "Дополнительно" --------------------------------------------
    Panel1 = panel(Additional, "Panel1", 8, 8, 321, 409);
    for (int i = 0; i < 13; ++i) {
        const CalibrationRowLayout &layout = kCalibrationRows[i];
        CalibrationRow &row = CalibrationRows[size_t(i)];
        const int top = 8 + 24 * i;
        row.caption = label(Panel1, layout.captionName, T(layout.caption), 8, top + 2);
        row.lower = button(Panel1, layout.lowerName, T("Ниже"), 168, top, 41, 17);
        row.value = label(Panel1, layout.valueName, T("???"), 216, top + 2, 38, 14);
        row.raise = button(Panel1, layout.raiseName, T("Выше"), 256, top, 41, 17);
    }
    Calibration_read_button = button(Panel1, "Calibration_read_button", T("Прочесть"), 8, 368, 97, 33);
    cal_def_button = button(Panel1, "cal_def_button", T("По умолчанию"), 112, 368, 97, 33);
    Calibration_write_button = button(Panel1, "Calibration_write_button", T("Сохранить"), 216, 368, 97, 33);

    // Value labels lie over the ends of their leaders.
    for (QLabel *value : {CursorLabel, DwellLabel, ErrorCodeLabel, baseinjlabel, cltcorlabel, VcorLabel, LcorLabel,
                          injtimelabel, isshowlabel, decellabel, AcShowLabel, IATlabel})
        value->raise();
    FWmemo->raise();
    GroupBox7->raise();
    ComboBox1->raise();

    // What labels show comes from the ECU, files and the fitter as often as
    // from the design: never as markup (which could even load files).
    for (QLabel *l : findChildren<QLabel *>())
        l->setTextFormat(Qt::PlainText);
}

} // namespace tarvex::app
