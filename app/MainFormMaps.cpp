// The fuel and ignition map pages and the colour bands.
#include "app/ColorLabel.h"
#include "app/ColorValue.h"
#include "app/MainForm.h"
#include "link/Text.h"
#include "maps/CellColors.h"
#include "maps/MapGrid.h"
#include "maps/MapReply.h"

#include <QCoreApplication>
#include <QPushButton>

namespace tarvex::app {

namespace {
const char kStoreWarningTitle[] = "Warning";
const char kStoreWarning[] = "НЕ ВЫКЛЮЧАЙТЕ ЗАЖИГАНИЕ 5 СЕКУНД!!!";
const char kFuelTemplateLoaded[] = "Загружен шаблон топливной карты.";
const char kIgnitionTemplateLoaded[] = "Загружен шаблон карты зажигания.";
const char *const kValueTooLarge[2] = {"Значение должно быть меньше 1000", "The value must be below 1000"};
constexpr int kEnter = 13;
} // namespace

void TTarvexMainForm::ConnectMapHandlers()
{
    InjGrid->SetTextColor(Qt::red);
    IgnGrid->SetTextColor(palette().color(QPalette::WindowText));
    InjGrid->OnSelectCell = [this](int column, int row) { InjGridSelectCell(column, row); };
    IgnGrid->OnSelectCell = [this](int column, int row) { IgnGridSelectCell(column, row); };
    InjGrid->OnKeyPress = [this](QChar key) { return InjGridKeyPress(key); };
    IgnGrid->OnKeyPress = [this](QChar key) { return IgnGridKeyPress(key); };
    InjGrid->OnKeyDown = [this](int key) { Guarded([&] { InjGridKeyDown(key); }); };
    IgnGrid->OnKeyDown = [this](int key) { Guarded([&] { IgnGridKeyDown(key); }); };
    InjGrid->CellFill = [this](const QString &text) -> std::optional<QColor> {
        const std::optional<int> band = maps::fuelBand(maps::paintValue(text));
        if (!band)
            return std::nullopt;
        return colorFromValue(BandLabels[size_t(*band - 1)]->Color(), palette());
    };
    IgnGrid->CellFill = [this](const QString &text) -> std::optional<QColor> {
        const std::optional<int32_t> color = maps::ignitionColor(maps::paintValue(text));
        if (!color)
            return std::nullopt;
        return colorFromValue(*color, palette());
    };
    On(InjSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjSaveButtonClick);
    On(IgnSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnSaveButtonClick);
    On(InjTemplateButton, &QPushButton::clicked, &TTarvexMainForm::InjTemplateButtonClick);
    On(IgnAutoEditButton, &QPushButton::clicked, &TTarvexMainForm::IgnAutoEditButtonClick);
    for (int band = 1; band <= kBandCount; ++band)
        BandLabels[size_t(band - 1)]->OnClick = [this, band] { Guarded([&] { BandLabelClick(band); }); };
}

void TTarvexMainForm::ReadMap(maps::TMapGrid *grid, link::CommandId command)
{
    if (!BComPort1->Connected())
        return;
    const QByteArray reply = Exchange().run(command);
    if (const std::optional<QStringList> cells = maps::parseMapReply(reply))
        grid->SetCells(*cells);
}

void TTarvexMainForm::InjRefreshButtonClick()
{
    ReadMap(InjGrid, link::CommandId::FuelRead);
}

void TTarvexMainForm::IgnRefreshButtonClick()
{
    ReadMap(IgnGrid, link::CommandId::IgnRead);
}

void TTarvexMainForm::InjGridSelectCell(int column, int row)
{
    m_selectedCell = CellRecord{column, row};
}

void TTarvexMainForm::IgnGridSelectCell(int column, int row)
{
    m_selectedCell = CellRecord{column, row};
}

bool TTarvexMainForm::InjGridKeyPress(QChar key)
{
    return maps::isMapCellKey(key);
}

bool TTarvexMainForm::IgnGridKeyPress(QChar key)
{
    return maps::isMapCellKey(key);
}

void TTarvexMainForm::InjGridKeyDown(int key)
{
    if (key != kEnter)
        return;
    // The grid's own current cell: the shared record may meanwhile have been
    // moved to the working point by the other grid.
    const int column = InjGrid->Col();
    const int row = InjGrid->Row();
    const QString text = InjGrid->Cell(column, row);
    if (strToInt(text) >= 1000) {
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    QString::fromUtf8(kValueTooLarge[LanguageIndex() == 1 ? 1 : 0]));
        return;
    }
    const auto id = link::CommandId::FuelCellWrite;
    Exchange().run(id, link::cellWriteFrame(id, maps::cellNumber(column, row), toCp1251(text)));
}

void TTarvexMainForm::IgnGridKeyDown(int key)
{
    if (key != kEnter)
        return;
    const int column = IgnGrid->Col();
    const int row = IgnGrid->Row();
    const QString text = IgnGrid->Cell(column, row);
    // An empty value would land in the ECU's map as nothing.
    if (text.isEmpty())
        throw invalidInteger(text);
    const auto id = link::CommandId::IgnCellWrite;
    Exchange().run(id, link::cellWriteFrame(id, maps::cellNumber(column, row), toCp1251(text)));
}

void TTarvexMainForm::StoreMap(link::CommandId command)
{
    if (!BComPort1->Connected())
        return;
    RefreshTimer->SetEnabled(false);
    m_services.dialogs->showWarningWindow(this, QString::fromLatin1(kStoreWarningTitle),
                                          QString::fromUtf8(kStoreWarning));
    struct HideWarning {
        Dialogs &dialogs;
        ~HideWarning() { dialogs.hideWarningWindow(); }
    } hide{*m_services.dialogs};
    Exchange().run(command);
}

void TTarvexMainForm::InjSaveButtonClick()
{
    StoreMap(link::CommandId::FuelStore);
}

void TTarvexMainForm::IgnSaveButtonClick()
{
    StoreMap(link::CommandId::IgnStore);
}

void TTarvexMainForm::LoadTemplate(link::CommandId command, void (TTarvexMainForm::*read)(), const QString &message)
{
    if (!BComPort1->Connected())
        return;
    Exchange().run(command);
    (this->*read)();
    m_services.dialogs->message(this, Dialogs::Icon::None, QCoreApplication::applicationName(), message);
}

void TTarvexMainForm::InjTemplateButtonClick()
{
    LoadTemplate(link::CommandId::FuelTemplate, &TTarvexMainForm::InjRefreshButtonClick,
                 QString::fromUtf8(kFuelTemplateLoaded));
}

void TTarvexMainForm::IgnAutoEditButtonClick()
{
    LoadTemplate(link::CommandId::IgnTemplate, &TTarvexMainForm::IgnRefreshButtonClick,
                 QString::fromUtf8(kIgnitionTemplateLoaded));
}

void TTarvexMainForm::BandLabelClick(int band)
{
    // The dialog starts from the colour last chosen in it, not the band's.
    const std::optional<QColor> chosen = m_services.dialogs->chooseColor(this, m_lastChosenColor);
    if (!chosen)
        return;
    m_lastChosenColor = *chosen;
    BandLabels[size_t(band - 1)]->SetColor(valueFromColor(*chosen));
    InjGrid->viewport()->update();
}

} // namespace tarvex::app
