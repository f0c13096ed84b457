// The fuel and ignition map pages and the colour bands.
#include "app/ColorLabel.h"
#include "app/ColorValue.h"
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/CellColors.h"
#include "maps/MapGrid.h"
#include "maps/WorkingTrail.h"
#include "maps/MapFile.h"
#include "maps/MapReply.h"
#include "monitor/LogFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>

namespace tarvex::app {

namespace {
const char kStoreWarningTitle[] = "Warning";
const char kStoreWarning[] = "НЕ ВЫКЛЮЧАЙТЕ ЗАЖИГАНИЕ 5 СЕКУНД!!!";
const char kFuelTemplateLoaded[] = "Загружен шаблон топливной карты.";
const char kIgnitionTemplateLoaded[] = "Загружен шаблон карты зажигания.";
constexpr link::CommandId kReadCommand[2] = {link::CommandId::FuelRead, link::CommandId::IgnRead};
constexpr link::CommandId kStoreCommand[2] = {link::CommandId::FuelStore, link::CommandId::IgnStore};
const char *const kBackupExtension[2] = {".inj", ".ign"};
constexpr int kEnter = 13;
} // namespace

void TTarvexMainForm::ConnectMapHandlers()
{
    InjGrid->SetTextColor(Qt::red);
    InjGrid->SetTrail(&m_trail);
    IgnGrid->SetTrail(&m_trail);
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
    // A grid that changes no longer matches its last backup.
    connect(InjGrid, &QTableWidget::itemChanged, this, [this] { m_mapSafety[0].backupCurrent = false; });
    connect(IgnGrid, &QTableWidget::itemChanged, this, [this] { m_mapSafety[1].backupCurrent = false; });
    On(InjSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjSaveButtonClick);
    On(IgnSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnSaveButtonClick);
    On(InjTemplateButton, &QPushButton::clicked, &TTarvexMainForm::InjTemplateButtonClick);
    On(IgnAutoEditButton, &QPushButton::clicked, &TTarvexMainForm::IgnAutoEditButtonClick);
    for (int band = 1; band <= kBandCount; ++band)
        BandLabels[size_t(band - 1)]->OnClick = [this, band] { Guarded([&] { BandLabelClick(band); }); };
}

void TTarvexMainForm::ReadMap(int map)
{
    if (!BComPort1->Connected())
        return;
    const QByteArray reply = Exchange().run(kReadCommand[map]);
    const std::optional<QStringList> cells = maps::parseMapReply(reply);
    if (!cells)
        return;
    (map == 0 ? InjGrid : IgnGrid)->SetCells(*cells);
    MapKnown(map, *cells);
    // The map the ECU had when the fitter connected is always kept.
    if (!m_mapSafety[size_t(map)].backedUpSinceConnect && BackupMap(map, false)) {
        m_mapSafety[size_t(map)].backedUpSinceConnect = true;
        NoteBackupDifference(map);
    }
}

bool TTarvexMainForm::BackupMap(int map, bool askToGoOn)
{
    QDir().mkpath(m_services.backupFolder);
    const QString path =
        monitor::LogFile::freshName(m_services.backupFolder, m_services.now(), QLatin1String(kBackupExtension[map]));
    const QString error = maps::writeMapFile(path, (map == 0 ? InjGrid : IgnGrid)->Cells());
    if (error.isEmpty()) {
        m_mapSafety[size_t(map)].backupCurrent = true;
        m_lastBackup[size_t(map)] = path;
        return true;
    }
    // An automatic backup is tried again on every read (the disk may have
    // room again) but reported once a connection: with autotune re-reading
    // every 5 s the boxes would stack.
    if (!askToGoOn && m_backupFailureReported)
        return false;
    if (!askToGoOn)
        m_backupFailureReported = true;
    m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                runTimeText(Text::BackupFailed, LanguageIndex()).arg(error));
    return askToGoOn && m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                                     runTimeText(Text::GoOnWithoutBackup, LanguageIndex()));
}

bool TTarvexMainForm::BackupBeforeReplacing(int map)
{
    return m_mapSafety[size_t(map)].backupCurrent || BackupMap(map, true);
}

void TTarvexMainForm::AskToStoreUnstored()
{
    if (!BComPort1->Connected())
        return;
    static constexpr Text kQuestion[2] = {Text::FuelUnstored, Text::IgnitionUnstored};
    for (int map = 0; map < 2; ++map) {
        if (!m_mapSafety[size_t(map)].unstored)
            continue;
        // Asked once: a store that fails (a pulled cable) is reported by the
        // caller and never asked again, so the port can always be let go.
        m_mapSafety[size_t(map)].unstored = false;
        if (m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                         runTimeText(kQuestion[map], LanguageIndex())))
            StoreMap(map);
    }
}

void TTarvexMainForm::InjRefreshButtonClick()
{
    ReadMap(0);
}

void TTarvexMainForm::IgnRefreshButtonClick()
{
    ReadMap(1);
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

namespace {
// "+" and "-" step the selection by one while the grid, not its editor,
// has the key.
int stepOf(int key, const maps::TMapGrid *grid)
{
    if (grid->EditorOpen())
        return 0;
    return key == Qt::Key_Plus ? 1 : key == Qt::Key_Minus ? -1 : 0;
}
} // namespace

void TTarvexMainForm::InjGridKeyDown(int key)
{
    if (const int step = stepOf(key, InjGrid))
        MapOperationClick(0, step > 0 ? MapOperation::Increment : MapOperation::Decrement);
    if (key != kEnter)
        return;
    // The grid's own current cell: the shared record may meanwhile have been
    // moved to the working point by the other grid.
    const int column = InjGrid->Col();
    const int row = InjGrid->Row();
    const QString text = InjGrid->Cell(column, row);
    if (link::strToInt(text) >= 1000) {
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    runTimeText(Text::ValueTooLarge, LanguageIndex()));
        return;
    }
    const auto id = link::CommandId::FuelCellWrite;
    Exchange().run(id, link::cellWriteFrame(id, maps::cellNumber(column, row), link::toCp1251(text)));
    CellWritten(0, maps::cellNumber(column, row), text);
}

void TTarvexMainForm::CellWritten(int map, int cell, const QString &text)
{
    if (!BComPort1->Connected())
        return;
    m_mapSafety[size_t(map)].unstored = true;
    QString &ecu = m_ecuCells[size_t(map)][cell - 1];
    m_history[size_t(map)].record({maps::CellChange{cell, ecu, text}});
    ecu = text;
    RefreshComparison(map);
}

void TTarvexMainForm::IgnGridKeyDown(int key)
{
    if (const int step = stepOf(key, IgnGrid))
        MapOperationClick(1, step > 0 ? MapOperation::Increment : MapOperation::Decrement);
    if (key != kEnter)
        return;
    const int column = IgnGrid->Col();
    const int row = IgnGrid->Row();
    const QString text = IgnGrid->Cell(column, row);
    // An empty value would land in the ECU's map as nothing.
    if (text.isEmpty())
        throw invalidInteger(text);
    const auto id = link::CommandId::IgnCellWrite;
    Exchange().run(id, link::cellWriteFrame(id, maps::cellNumber(column, row), link::toCp1251(text)));
    CellWritten(1, maps::cellNumber(column, row), text);
}

void TTarvexMainForm::StoreMap(int map)
{
    if (!BComPort1->Connected())
        return;
    const link::CommandId command = kStoreCommand[map];
    RefreshTimer->SetEnabled(false);
    m_services.dialogs->showWarningWindow(this, QString::fromLatin1(kStoreWarningTitle),
                                          QString::fromUtf8(kStoreWarning));
    struct HideWarning {
        Dialogs &dialogs;
        ~HideWarning() { dialogs.hideWarningWindow(); }
    } hide{*m_services.dialogs};
    Exchange().run(command);
    m_mapSafety[size_t(map)].unstored = false;
}

void TTarvexMainForm::InjSaveButtonClick()
{
    StoreMap(0);
}

void TTarvexMainForm::IgnSaveButtonClick()
{
    StoreMap(1);
}

void TTarvexMainForm::LoadTemplate(link::CommandId command, void (TTarvexMainForm::*read)(), const QString &message)
{
    if (!BComPort1->Connected())
        return;
    const int map = command == link::CommandId::FuelTemplate ? 0 : 1;
    if (!BackupBeforeReplacing(map))
        return;
    Exchange().run(command);
    m_mapSafety[size_t(map)].unstored = false;
    (this->*read)();
    m_services.dialogs->message(this, Dialogs::Icon::Information, QCoreApplication::applicationName(), message);
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
