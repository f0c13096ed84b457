// The fuel and ignition map pages and the colour bands: reads, Enter,
// stores and templates, each through the map's session.
#include "app/ColorLabel.h"
#include "app/ColorValue.h"
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/CellColors.h"
#include "maps/MapGrid.h"
#include "maps/MapScale.h"
#include "maps/WorkingTrail.h"
#include "maps/MapFile.h"
#include "maps/MapReply.h"
#include "monitor/LogFile.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace tarvex::app {

namespace {
const char kStoreWarningTitle[] = "Warning";
const char kStoreWarning[] = "НЕ ВЫКЛЮЧАЙТЕ ЗАЖИГАНИЕ 5 СЕКУНД!!!";
const char kFuelTemplateLoaded[] = "Загружен шаблон топливной карты.";
const char kIgnitionTemplateLoaded[] = "Загружен шаблон карты зажигания.";
constexpr link::CommandId kReadCommand[2] = {link::CommandId::FuelRead, link::CommandId::IgnRead};
constexpr link::CommandId kStoreCommand[2] = {link::CommandId::FuelStore, link::CommandId::IgnStore};
constexpr link::CommandId kCellWrite[2] = {link::CommandId::FuelCellWrite, link::CommandId::IgnCellWrite};
const char *const kBackupExtension[2] = {".inj", ".ign"};
constexpr Text kMapName[2] = {Text::MapNameFuel, Text::MapNameIgnition};
constexpr int kTabOf[2] = {1, 2};
constexpr int kEnter = 13;

// A small orange dot on a map page's tab while its map is not stored.
QIcon unstoredIcon()
{
    QPixmap dot(10, 10);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 120, 0));
    painter.drawEllipse(1, 1, 8, 8);
    return QIcon(dot);
}
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
    for (int map = 0; map < 2; ++map) {
        // Typed text is the window's until Enter sends it; an editor left
        // any other way puts the ECU's value back.
        GridOf(map)->OnCellEdited = [this, map](int cell, const QString &text) {
            m_maps[size_t(map)].type(cell, text);
            GridOf(map)->SetPending(m_maps[size_t(map)].pendingCells());
        };
        GridOf(map)->OnEditorClosed = [this, map](int cell) {
            if (!m_maps[size_t(map)].isTyped(cell))
                return;
            m_maps[size_t(map)].dropTyped(cell);
            ShowMap(map);
        };
        connect(EditCheckOf(map), &QCheckBox::toggled, this, [this, map](bool on) {
            m_maps[size_t(map)].setEditing(on);
            Guarded([&] { RefreshComparison(map); });
        });
    }
    On(InjSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjSaveButtonClick);
    On(IgnSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnSaveButtonClick);
    On(InjTemplateButton, &QPushButton::clicked, &TTarvexMainForm::InjTemplateButtonClick);
    On(IgnAutoEditButton, &QPushButton::clicked, &TTarvexMainForm::IgnAutoEditButtonClick);
    for (int band = 1; band <= kBandCount; ++band)
        BandLabels[size_t(band - 1)]->OnClick = [this, band] { Guarded([&] { BandLabelClick(band); }); };
}

maps::TMapGrid *TTarvexMainForm::GridOf(int map) const
{
    return map == 0 ? InjGrid : IgnGrid;
}

QCheckBox *TTarvexMainForm::EditCheckOf(int map) const
{
    return map == 0 ? InjEditCheck : IgnEditCheck;
}

QLabel *TTarvexMainForm::StatusOf(int map) const
{
    return map == 0 ? InjWarningLabel : IgnWarningLabel;
}

bool TTarvexMainForm::AnyBatchRunning() const
{
    return m_maps[0].batchRunning() || m_maps[1].batchRunning();
}

void TTarvexMainForm::ShowMap(int map)
{
    maps::TMapGrid *grid = GridOf(map);
    const maps::MapSession &session = m_maps[size_t(map)];
    grid->ShowCells(session.shownCells());
    grid->SetPending(session.pendingCells());
    RefreshComparison(map);
    ShowPageStatus(map);
}

void TTarvexMainForm::SetPageNote(int map, const QString &note)
{
    m_pageNote[size_t(map)] = note;
    ShowPageStatus(map);
}

void TTarvexMainForm::ShowPageStatus(int map)
{
    const maps::MapSession &session = m_maps[size_t(map)];
    const int language = LanguageIndex();
    QStringList parts;
    QString tip;
    if (!m_pageNote[size_t(map)].isEmpty())
        parts << m_pageNote[size_t(map)];
    if (session.needsCompare())
        parts << runTimeText(Text::PageNotRead, language);
    else if (const int unstored = session.unstoredCount(); unstored > 0 && session.hasMap())
        parts << runTimeText(Text::PageUnstored, language).arg(unstored);
    else if (session.storedSinceChange())
        parts << runTimeText(Text::PageStored, language);
    if (session.comparison()) {
        parts << runTimeText(Text::CompareCount, language).arg(session.comparisonDifferences().size());
        tip = session.comparison()->path;
    } else if (!m_backupNote[size_t(map)].text.isEmpty()) {
        parts << m_backupNote[size_t(map)].text;
        tip = m_backupNote[size_t(map)].earlier;
    }
    QLabel *status = StatusOf(map);
    status->setText(parts.isEmpty() ? QStringLiteral(" ") : parts.join(QStringLiteral("; ")));
    status->setToolTip(tip);
    const bool unstored = session.hasMap() && session.unstoredCount() > 0;
    PageControl1->setTabIcon(kTabOf[map], unstored ? unstoredIcon() : QIcon());
    PageControl1->setTabToolTip(kTabOf[map], unstored ? runTimeText(Text::PageUnstored, language)
                                                            .arg(session.unstoredCount())
                                                      : QString());
}

std::optional<QStringList> TTarvexMainForm::ReadMapCells(int map)
{
    const QByteArray reply = Exchange().run(kReadCommand[map]);
    return maps::parseMapReply(reply);
}

void TTarvexMainForm::ReadMap(int map)
{
    if (!BComPort1->Connected())
        return;
    const std::optional<QStringList> cells = ReadMapCells(map);
    if (!cells)
        return;
    MapRead(map, *cells);
}

void TTarvexMainForm::MapRead(int map, const QStringList &cells)
{
    maps::MapSession &session = m_maps[size_t(map)];
    const bool take = std::exchange(m_takeNextRead[size_t(map)], false);
    if (!take && session.needsCompare() && !session.differencesFrom(cells).empty()) {
        ReportDifferences(map, cells);
    } else {
        const maps::ReadOutcome outcome = session.read(cells);
        m_pageNote[size_t(map)] = outcome.historyEnded ? runTimeText(Text::NoteHistoryEnded, LanguageIndex())
                                                             .arg(outcome.differences.size())
                                                       : QString();
    }
    ShowMap(map);
    // The map the ECU had when the fitter connected is always kept.
    if (!session.backedUpSinceConnect() && BackupMap(map, false)) {
        NoteBackupDifference(map);
        ShowPageStatus(map);
    }
}

void TTarvexMainForm::ReportDifferences(int map, const QStringList &cells)
{
    maps::MapSession &session = m_maps[size_t(map)];
    const QStringList window = session.ecu();
    const std::vector<maps::CellDifference> differences = session.differencesFrom(cells);
    const int language = LanguageIndex();
    Dialogs::Table table;
    table.headers = {runTimeText(Text::CompareCell, language), runTimeText(Text::CompareRow, language),
                     runTimeText(Text::CompareSpeed, language), runTimeText(Text::CompareEcu, language),
                     runTimeText(Text::CompareWindowColumn, language)};
    for (const maps::CellDifference &d : differences)
        table.rows.push_back({QString::number(d.cell + 1), QString::number(d.cell / 16 + 1),
                              maps::speedCaption(d.cell % 16), d.ecu, d.file});
    const QPointer<TTarvexMainForm> alive(this);
    const int choice = m_services.dialogs->choose(
        this, runTimeText(Text::DifferenceTitle, language),
        runTimeText(Text::DifferenceText, language).arg(runTimeText(kMapName[map], language)).arg(differences.size()),
        table,
        {runTimeText(Text::DifferenceRewrite, language), runTimeText(Text::DifferenceTakeEcu, language),
         runTimeText(Text::DifferenceLeave, language)});
    if (!alive)
        return;
    switch (choice) {
    case 0: {
        // What the ECU holds is taken first, so that the rewrite is one
        // step that Ctrl+Z can take back.
        session.read(cells);
        std::vector<std::pair<int, QString>> writes;
        for (const maps::CellDifference &d : differences)
            writes.emplace_back(d.cell, window[d.cell]);
        ShowMap(map);
        SendPlan(map, session.write(writes, maps::Source::Rewrite));
        break;
    }
    case 1: session.takeEcu(cells); break;
    default:
        session.keepWindowValues(cells);
        ShowMap(map);
        MapCompareWindowShow(map);
        break;
    }
}

void TTarvexMainForm::VerifyMapsAfterReconnect()
{
    // The page in view first: its grid is the one the fitter looks at.
    const int first = PageControl1->currentIndex() == kTabOf[1] ? 1 : 0;
    for (int map : {first, 1 - first}) {
        if (!m_maps[size_t(map)].hasMap() || !BComPort1->Connected())
            continue;
        if (const std::optional<QStringList> cells = ReadMapCells(map))
            MapRead(map, *cells);
        else
            ShowPageStatus(map); // not known yet: changes wait for a read
    }
}

bool TTarvexMainForm::BackupMap(int map, bool askToGoOn)
{
    maps::MapSession &session = m_maps[size_t(map)];
    if (!session.hasMap())
        return true; // nothing known to keep
    QDir().mkpath(m_services.backupFolder);
    const QString path =
        monitor::LogFile::freshName(m_services.backupFolder, m_services.now(), QLatin1String(kBackupExtension[map]));
    const QString error = maps::writeMapFile(path, session.ecu());
    if (error.isEmpty()) {
        session.backedUp(path);
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
    return m_maps[size_t(map)].backupCurrent() || BackupMap(map, true);
}

void TTarvexMainForm::AskToStoreUnstored()
{
    if (!BComPort1->Connected())
        return;
    static constexpr Text kQuestion[2] = {Text::FuelUnstored, Text::IgnitionUnstored};
    for (int map = 0; map < 2; ++map) {
        if (m_maps[size_t(map)].unstoredCount() == 0)
            continue;
        // A store that fails (a pulled cable) ends the questions: it is
        // reported by the caller, and the port can always be let go.
        if (m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                         runTimeText(kQuestion[map], LanguageIndex())))
            StoreMap(map);
    }
}

bool TTarvexMainForm::AskToStoreBeforeClosing()
{
    m_askedAtClose = true;
    if (!BComPort1->Connected())
        return true;
    static constexpr Text kQuestion[2] = {Text::FuelUnstored, Text::IgnitionUnstored};
    for (int map = 0; map < 2; ++map) {
        if (m_maps[size_t(map)].unstoredCount() == 0)
            continue;
        switch (m_services.dialogs->questionWithCancel(this, QCoreApplication::applicationName(),
                                                       runTimeText(kQuestion[map], LanguageIndex()))) {
        case Dialogs::Answer::Cancel: return false;
        case Dialogs::Answer::Yes: Guarded([&] { StoreMap(map); }); break;
        case Dialogs::Answer::No: break;
        }
    }
    return true;
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
    if (key == kEnter)
        EnterCell(0);
}

void TTarvexMainForm::IgnGridKeyDown(int key)
{
    if (const int step = stepOf(key, IgnGrid))
        MapOperationClick(1, step > 0 ? MapOperation::Increment : MapOperation::Decrement);
    if (key == kEnter)
        EnterCell(1);
}

void TTarvexMainForm::EnterCell(int map)
{
    // The grid's own current cell: the shared record may meanwhile have been
    // moved to the working point by the other grid.
    const maps::TMapGrid *grid = GridOf(map);
    const int cell = grid->Row() * maps::TMapGrid::kSize + grid->Col();
    const maps::Plan plan = m_maps[size_t(map)].enter(cell);
    if (plan.refused()) {
        RefuseChange(map, plan);
        return;
    }
    const link::CommandId id = kCellWrite[map];
    const maps::CellChange &change = plan.writes.front();
    maps::MapSession &session = m_maps[size_t(map)];
    session.begin(plan);
    try {
        Exchange().run(id, link::cellWriteFrame(id, change.cell, link::toCp1251(change.after)));
    } catch (...) {
        session.finish();
        throw;
    }
    if (BComPort1->Connected())
        session.sent(change);
    session.finish();
    m_pageNote[size_t(map)].clear();
    ShowMap(map);
}

void TTarvexMainForm::RefuseChange(int map, const maps::Plan &plan)
{
    const int language = LanguageIndex();
    const QPointer<TTarvexMainForm> alive(this);
    auto warn = [&](const QString &text) {
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(), text);
    };
    // The refused text never stays looking like a value the ECU holds.
    maps::MapSession &session = m_maps[size_t(map)];
    if (plan.cell >= 0)
        session.dropTyped(plan.cell);
    ShowMap(map);
    const QString cellName = QString::number(plan.cell + 1);
    const QString rowName = QString::number(plan.cell / 16 + 1);
    const QString speed = plan.cell >= 0 ? maps::speedCaption(plan.cell % 16) : QString();
    switch (plan.refusal) {
    case maps::Refusal::None:
    case maps::Refusal::EditingOff:
    case maps::Refusal::BatchRunning: return;
    case maps::Refusal::Storing: SetPageNote(map, runTimeText(Text::NoteStoring, language)); return;
    case maps::Refusal::NoMap: SetPageNote(map, runTimeText(Text::PageNotRead, language)); return;
    case maps::Refusal::NotANumber:
        if (plan.source == maps::Source::Enter)
            throw invalidInteger(plan.text);
        warn(runTimeText(Text::CellHoldsNoNumber, language).arg(cellName, rowName, speed));
        break;
    case maps::Refusal::OutOfRange:
        if (plan.source == maps::Source::Enter && map == 0 && plan.value >= 1000) {
            warn(runTimeText(Text::ValueTooLarge, language));
            break;
        }
        warn(runTimeText(Text::CellOutOfRange, language)
                 .arg(cellName, rowName, speed)
                 .arg(plan.value)
                 .arg(session.range().lowest)
                 .arg(session.range().highest));
        break;
    }
    if (alive)
        ShowMap(map);
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
    maps::MapSession &session = m_maps[size_t(map)];
    session.storeSent();
    RefreshComparison(map);
    try {
        Exchange().run(command);
    } catch (...) {
        session.storeEnded(false);
        ShowMap(map);
        throw;
    }
    session.storeEnded(true);
    m_pageNote[size_t(map)].clear();
    ShowMap(map);
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
    const maps::MapSession &session = m_maps[size_t(map)];
    if (session.unstoredCount() > 0 && session.hasMap()
        && !m_services.dialogs->question(
            this, QCoreApplication::applicationName(),
            runTimeText(Text::TemplateOverUnstored, LanguageIndex()).arg(session.unstoredCount())))
        return;
    if (!BackupBeforeReplacing(map))
        return;
    Exchange().run(command);
    m_takeNextRead[size_t(map)] = true;
    (this->*read)();
    m_takeNextRead[size_t(map)] = false;
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
