// SPDX-License-Identifier: GPL-3.0-or-later
// The fuel and ignition map pages and the colour bands: reads, Enter,
// stores and templates, each through the map's session.
#include "app/ColorLabel.h"
#include "maps/ColorValue.h"
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "link/Protocol.h"
#include "maps/CellColors.h"
#include "widgets/MapGrid.h"
#include "maps/MapScale.h"
#include "maps/MapCompare.h"
#include "maps/MapFile.h"
#include "maps/MapReply.h"
#include "monitor/LogFile.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace tarvex::app {

namespace {
const char kStoreWarningTitle[] = "Warning";
const char kStoreWarning[] = "НЕ ВЫКЛЮЧАЙТЕ ЗАЖИГАНИЕ 5 СЕКУНД!!!";
} // namespace

void TTarvexMainForm::ConnectMapHandlers()
{
    widgets::paintMapGrid(InjGrid, maps::MapPage::Fuel, [this] { return BandColorsNow(); });
    widgets::paintMapGrid(IgnGrid, maps::MapPage::Ignition, {});
    InjGrid->SetTrail(&m_trail);
    IgnGrid->SetTrail(&m_trail);
    InjGrid->OnSelectCell = [this](int column, int row) { InjGridSelectCell(column, row); };
    IgnGrid->OnSelectCell = [this](int column, int row) { IgnGridSelectCell(column, row); };
    InjGrid->OnKeyPress = [this](QChar key) { return InjGridKeyPress(key); };
    IgnGrid->OnKeyPress = [this](QChar key) { return IgnGridKeyPress(key); };
    InjGrid->OnKeyDown = [this](int key) { Guarded([&] { InjGridKeyDown(key); }); };
    IgnGrid->OnKeyDown = [this](int key) { Guarded([&] { IgnGridKeyDown(key); }); };
    m_pages[0] = std::make_unique<TMapPage>(0, TMapPage::Controls{InjGrid, InjEditCheck, InjWarningLabel,
                                                                  ProgressBar2, PageControl1});
    m_pages[1] = std::make_unique<TMapPage>(1, TMapPage::Controls{IgnGrid, IgnEditCheck, IgnWarningLabel,
                                                                  ProgressBar1, PageControl1});
    for (int map = 0; map < 2; ++map) {
        TMapPage &page = Page(map);
        connect(page.controls.edit, &QCheckBox::toggled, this, [this, map, &page](bool on) {
            page.session.setEditing(on);
            Guarded([&] { RefreshComparison(map); });
        });
    }
    On(InjSaveButton, &QPushButton::clicked, &TTarvexMainForm::InjSaveButtonClick);
    On(IgnSaveButton, &QPushButton::clicked, &TTarvexMainForm::IgnSaveButtonClick);
    On(InjTemplateButton, &QPushButton::clicked, &TTarvexMainForm::InjTemplateButtonClick);
    On(IgnAutoEditButton, &QPushButton::clicked, &TTarvexMainForm::IgnAutoEditButtonClick);
    for (int band = 1; band <= maps::kBandCount; ++band)
        BandLabels[size_t(band - 1)]->OnClick = [this, band] { Guarded([&] { BandLabelClick(band); }); };
}

void TTarvexMainForm::ShowMap(int map)
{
    Page(map).Show(LanguageIndex());
    RefreshComparison(map);
    RefreshHistory();
}

std::optional<QStringList> TTarvexMainForm::ReadMapCells(int map, bool resume)
{
    std::optional<QStringList> cells = maps::parseMapReply(Exchange().run(Page(map).table.read, QByteArray(), resume));
    // Fewer than 256 values is a reply cut short as much as a missing one.
    if (cells && cells->contains(QString()))
        cells.reset();
    if (!cells) {
        // The grid keeps its cells, marked: the ECU may hold others.
        Page(map).session.readFailed();
        ShowMap(map);
    }
    return cells;
}

void TTarvexMainForm::ReadMap(int map)
{
    // Nothing reads a map while the fitter decides about the report's.
    if (!BComPort1->Connected() || m_reportOpen)
        return;
    if (const std::optional<QStringList> cells = ReadMapCells(map))
        MapRead(map, *cells);
}

void TTarvexMainForm::MapRead(int map, const QStringList &cells)
{
    TMapPage &page = Page(map);
    const bool take = std::exchange(page.takeNextRead, false);
    if (!take && page.session.needsCompare() && !page.session.differencesFrom(cells).empty()) {
        std::array<std::optional<QStringList>, 2> read;
        read[size_t(map)] = cells;
        ReportDifferences(read);
        return;
    }
    TakeRead(map, cells, take);
}

void TTarvexMainForm::TakeRead(int map, const QStringList &cells, bool ownChange)
{
    TMapPage &page = Page(map);
    const maps::ReadOutcome outcome = page.session.read(cells);
    // A template is the fitter's own change, not the ECU's.
    const int changed = int(outcome.differences.size());
    page.note = nullptr;
    if (outcome.historyEnded && !ownChange)
        page.note = [changed](int language) {
            return lang::runTimeText(lang::Text::NoteHistoryEnded, language).arg(changed);
        };
    // The map the ECU had when the fitter connected is always kept.
    if (!page.session.backedUpSinceConnect() && BackupMap(map, false, maps::BackupSource::FirstRead))
        page.NoteBackupDifference(m_services.backupFolder, LanguageIndex());
    ShowMap(map);
}

void TTarvexMainForm::ReportDifferences(const std::array<std::optional<QStringList>, 2> &read)
{
    const int language = LanguageIndex();
    std::vector<int> reported;
    std::array<QStringList, 2> window;
    widgets::Dialogs::Table table;
    table.headers = {lang::runTimeText(lang::Text::DifferenceMap, language), lang::runTimeText(lang::Text::CompareCell, language),
                     lang::runTimeText(lang::Text::CompareRow, language), lang::runTimeText(lang::Text::CompareSpeed, language),
                     lang::runTimeText(lang::Text::CompareEcu, language), lang::runTimeText(lang::Text::CompareWindowColumn, language)};
    QStringList counts;
    widgets::Dialogs::Choices choices;
    for (int map = 0; map < 2; ++map) {
        if (!read[size_t(map)])
            continue;
        TMapPage &page = Page(map);
        const std::vector<maps::CellDifference> differences = page.session.differencesFrom(*read[size_t(map)]);
        if (differences.empty())
            continue;
        reported.push_back(map);
        window[size_t(map)] = page.session.ecu();
        const QString name = lang::runTimeText(page.table.name, language);
        for (const maps::CellDifference &d : differences)
            table.rows.push_back({name, QString::number(d.cell + 1), QString::number(d.cell / 16 + 1),
                                  maps::speedCaption(d.cell % 16), d.ecu, d.file});
        counts << lang::runTimeText(lang::Text::DifferenceCount, language).arg(name).arg(differences.size());
        choices.subjects << name;
        // The window's values may be gone from the ECU for good: they are
        // kept before the fitter chooses.
        BackupMap(map, false, maps::BackupSource::Reconnect, window[size_t(map)]);
    }
    if (reported.empty())
        return;
    choices.choices = {lang::runTimeText(lang::Text::DifferenceRewrite, language),
                       lang::runTimeText(lang::Text::DifferenceTakeEcu, language),
                       lang::runTimeText(lang::Text::DifferenceLeave, language)};
    choices.all = lang::runTimeText(lang::Text::DifferenceBothMaps, language);
    choices.apply = lang::runTimeText(lang::Text::DifferenceApply, language);
    // Nothing reads or writes a map and live data stays off until the
    // fitter has chosen: the report is of the maps as they are now.
    m_reportOpen = true;
    ShowLiveData(false);
    const QPointer<TTarvexMainForm> alive(this);
    const std::vector<int> chosen = m_services.dialogs->choose(
        this, lang::runTimeText(lang::Text::DifferenceTitle, language),
        lang::runTimeText(lang::Text::DifferenceText, language).arg(counts.join(QStringLiteral(", "))), table, choices);
    if (!alive)
        return;
    m_reportOpen = false;
    for (size_t i = 0; i < reported.size(); ++i) {
        const int map = reported[i];
        TMapPage &page = Page(map);
        const QStringList &cells = *read[size_t(map)];
        switch (i < chosen.size() ? chosen[i] : -1) {
        case 0: {
            // A restarted ECU holds its stored map: what it answered is its
            // permanent memory, and the cells written again are unstored.
            // Taken first, so that the rewrite is one step Ctrl+Z takes back.
            const std::vector<maps::CellDifference> differences = page.session.differencesFrom(cells);
            page.session.takeEcu(cells);
            std::vector<std::pair<int, QString>> writes;
            for (const maps::CellDifference &d : differences)
                writes.emplace_back(d.cell, window[size_t(map)][d.cell]);
            ShowMap(map);
            SendPlan(map, page.session.write(writes, maps::Source::Rewrite));
            if (!alive)
                return;
            break;
        }
        case 1: page.session.takeEcu(cells); break;
        default:
            page.session.keepWindowValues(cells);
            MapCompareWindowShow(map);
            break;
        }
        page.note = nullptr;
        ShowMap(map);
    }
}

void TTarvexMainForm::CompareMapsWithEcu()
{
    // A second cause while the report is up (a pull, another silence) is
    // not a second report: the maps are compared again once it is answered;
    // so too once the service report's dialogs close.
    if (m_reportOpen || m_serviceReportUp) {
        m_compareAgain = true;
        return;
    }
    // Bounded: a line that keeps failing leaves the maps marked, not read.
    for (int round = 0; round < 3; ++round) {
        m_compareAgain = false;
        // Both maps read first, the page in view first: the fitter decides
        // about both knowing both.
        const int first = PageControl1->currentIndex() == Page(1).table.tab ? 1 : 0;
        std::array<std::optional<QStringList>, 2> read;
        for (int map : {first, 1 - first}) {
            if (!Page(map).session.needsCompare() || !BComPort1->Connected())
                continue;
            read[size_t(map)] = ReadMapCells(map, false); // live data stays off
        }
        // Equal maps carry on silently, history and unstored marks kept.
        for (int map : {first, 1 - first}) {
            if (read[size_t(map)] && Page(map).session.differencesFrom(*read[size_t(map)]).empty()) {
                TakeRead(map, *read[size_t(map)], false);
                read[size_t(map)].reset();
            }
        }
        const QPointer<TTarvexMainForm> alive(this);
        ReportDifferences(read);
        if (!alive || !m_compareAgain || !BComPort1->Connected())
            return;
        for (int map = 0; map < 2; ++map)
            Page(map).session.mayHaveRestarted();
    }
}

bool TTarvexMainForm::BackupMap(int map, bool askToGoOn, maps::BackupSource source,
                                const std::optional<QStringList> &cells)
{
    maps::MapSession &session = Page(map).session;
    if (!session.hasMap())
        return true; // nothing known to keep
    QDir().mkpath(m_services.backupFolder);
    const QStringList kept = cells.value_or(session.ecu());
    // The same map as the newest copy is kept already: no second copy of it.
    const QString newest = maps::newestMapFile(m_services.backupFolder, QLatin1String(Page(map).table.extension));
    if (QFile last(newest); !newest.isEmpty() && last.open(QIODevice::ReadOnly)
        && last.readAll() == maps::mapFileContent(kept)) {
        if (!cells)
            session.backedUp(QString()); // the newest copy is this map: nothing differs from it
        return true;
    }
    const QString path = monitor::LogFile::freshName(m_services.backupFolder, m_services.now(),
                                                     QLatin1String(Page(map).table.extension));
    const QString error = maps::writeBackup(path, kept, source);
    if (error.isEmpty()) {
        Page(map).kept.insert(maps::mapFileContent(kept));
        if (!cells)
            session.backedUp(path);
        RefreshHistory();
        return true;
    }
    // An automatic backup is tried again on every read (the disk may have
    // room again) but reported once a connection: with autotune re-reading
    // every 5 s the boxes would stack.
    if (!askToGoOn && m_backupFailureReported)
        return false;
    if (!askToGoOn)
        m_backupFailureReported = true;
    m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                lang::runTimeText(lang::Text::BackupFailed, LanguageIndex()).arg(error));
    return askToGoOn && m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                                     lang::runTimeText(lang::Text::GoOnWithoutBackup, LanguageIndex()));
}

bool TTarvexMainForm::BackupBeforeReplacing(int map, maps::BackupSource source)
{
    return Page(map).session.backupCurrent() || BackupMap(map, true, source);
}

void TTarvexMainForm::AskToStoreUnstored()
{
    if (!BComPort1->Connected())
        return;
    for (int map = 0; map < 2; ++map) {
        if (Page(map).session.storeRefusal() != maps::Refusal::None || Page(map).session.unstoredCount() == 0)
            continue;
        // A store that fails (a pulled cable) ends the questions: it is
        // reported by the caller, and the port can always be let go.
        if (m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                         lang::runTimeText(Page(map).table.unstoredQuestion, LanguageIndex())))
            StoreMap(map);
    }
}

bool TTarvexMainForm::AskToStoreBeforeClosing()
{
    m_askedAtClose = true;
    if (!BComPort1->Connected())
        return true;
    for (int map = 0; map < 2; ++map) {
        if (Page(map).session.storeRefusal() != maps::Refusal::None || Page(map).session.unstoredCount() == 0)
            continue;
        switch (m_services.dialogs->questionWithCancel(this, QCoreApplication::applicationName(),
                                                       lang::runTimeText(Page(map).table.unstoredQuestion, LanguageIndex()))) {
        case widgets::Dialogs::Answer::Cancel: return false;
        case widgets::Dialogs::Answer::Yes: Guarded([&] { StoreMap(map); }); break;
        case widgets::Dialogs::Answer::No: break;
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

void TTarvexMainForm::InjGridKeyDown(int key)
{
    // "+" and "-" step the selection by one while the grid, not its
    // editor, has the key.
    MapEditor(0).StepKey(key);
    if (key == widgets::TMapGrid::kEnter)
        EnterCell(0);
}

void TTarvexMainForm::IgnGridKeyDown(int key)
{
    MapEditor(1).StepKey(key);
    if (key == widgets::TMapGrid::kEnter)
        EnterCell(1);
}

void TTarvexMainForm::EnterCell(int map)
{
    // The grid's own current cell: the shared record may meanwhile have been
    // moved to the working point by the other grid.
    TMapPage &page = Page(map);
    const int cell = page.controls.grid->Row() * widgets::TMapGrid::kSize + page.controls.grid->Col();
    const maps::Plan plan = page.session.enter(cell);
    if (plan.refused()) {
        RefuseChange(map, plan);
        return;
    }
    const link::CommandId id = page.table.cellWrite;
    const maps::CellChange &change = plan.writes.front();
    page.session.begin(plan);
    try {
        Exchange().run(id, link::cellWriteFrame(id, change.cell, link::toCp1251(change.after)));
    } catch (...) {
        page.session.finish();
        throw;
    }
    if (BComPort1->Connected())
        page.session.sent(change);
    page.session.finish();
    page.note = nullptr;
    ShowMap(map);
}

void TTarvexMainForm::RefuseChange(int map, const maps::Plan &plan)
{
    MapEditor(map).Refuse(plan);
}

void TTarvexMainForm::StoreMap(int map, bool partOfLoad)
{
    if (!BComPort1->Connected())
        return;
    TMapPage &page = Page(map);
    // What would be called stored must be what the ECU holds. A file load
    // stores what it wrote, whatever its read-back found.
    if (const maps::Refusal why = page.session.storeRefusal();
        why != maps::Refusal::None && !(partOfLoad && why == maps::Refusal::NoMap)) {
        page.note = [why](int language) {
            return lang::runTimeText(why == maps::Refusal::NoMap ? lang::Text::NoteStoreNotCompared
                                                                 : lang::Text::NoteStoreDuringBatch,
                                     language);
        };
        page.ShowStatus(LanguageIndex());
        return;
    }
    // What the ECU's memory held until now is gone after the store: it is
    // kept unless a copy holds it already.
    if (page.session.hasMap() && page.session.unstoredCount() > 0
        && !page.kept.contains(maps::mapFileContent(page.session.storedCells())))
        BackupMap(map, false, maps::BackupSource::BeforeStore, page.session.storedCells());
    RefreshTimer->SetEnabled(false);
    ShowLiveData(false); // five seconds without live data
    m_services.dialogs->showWarningWindow(this, QString::fromLatin1(kStoreWarningTitle),
                                          QString::fromUtf8(kStoreWarning));
    struct HideWarning {
        widgets::Dialogs &dialogs;
        ~HideWarning() { dialogs.hideWarningWindow(); }
    } hide{*m_services.dialogs};
    page.session.storeSent();
    RefreshComparison(map);
    try {
        Exchange().run(page.table.store);
    } catch (...) {
        page.session.storeEnded(false);
        ShowMap(map);
        throw;
    }
    page.session.storeEnded(true);
    page.note = nullptr;
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

void TTarvexMainForm::LoadTemplate(int map)
{
    if (!BComPort1->Connected() || m_reportOpen)
        return;
    TMapPage &page = Page(map);
    // Not during the store's wait, a batch or before the comparison.
    if (const maps::Plan plan = page.session.templateLoad(); plan.refused()) {
        RefuseChange(map, plan);
        return;
    }
    const int unstored = page.session.known() ? page.session.unstoredCount() : 0;
    if (unstored > 0
        && !m_services.dialogs->question(this, QCoreApplication::applicationName(),
                                         lang::runTimeText(lang::Text::TemplateOverUnstored, LanguageIndex()).arg(unstored)))
        return;
    // The question's loop may have let a store or a batch begin.
    if (const maps::Plan plan = page.session.templateLoad(); plan.refused() || !BComPort1->Connected()) {
        RefuseChange(map, plan);
        return;
    }
    if (!BackupBeforeReplacing(map, maps::BackupSource::BeforeTemplate))
        return;
    Exchange().run(page.table.templateLoad);
    page.session.templateSent();
    page.takeNextRead = true;
    if (map == 0)
        InjRefreshButtonClick();
    else
        IgnRefreshButtonClick();
    page.takeNextRead = false;
    ShowMap(map);
    // Said loaded only when the grid shows it.
    if (page.session.readLost()) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    lang::runTimeText(lang::Text::TemplateNotRead, LanguageIndex()));
        return;
    }
    m_services.dialogs->message(this, widgets::Dialogs::Icon::Information, QCoreApplication::applicationName(),
                                QString::fromUtf8(page.table.templateLoaded));
}

void TTarvexMainForm::InjTemplateButtonClick()
{
    LoadTemplate(0);
}

void TTarvexMainForm::IgnAutoEditButtonClick()
{
    LoadTemplate(1);
}

void TTarvexMainForm::BandLabelClick(int band)
{
    // The dialog starts from the colour last chosen in it, not the band's.
    const std::optional<QColor> chosen = m_services.dialogs->chooseColor(this, m_lastChosenColor);
    if (!chosen)
        return;
    m_lastChosenColor = *chosen;
    BandLabels[size_t(band - 1)]->SetColor(maps::valueFromColor(*chosen));
    InjGrid->viewport()->update();
}

} // namespace tarvex::app
