// SPDX-License-Identifier: GPL-3.0-or-later
// Range editing of the maps: operations on a selection, spreadsheet copy and
// paste, undo and redo; every change is planned by the map's session and goes
// to the ECU cell by cell as Enter sends it.
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "widgets/MapGrid.h"
#include "maps/MapReply.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMenu>

namespace tarvex::app {

using maps::CellChange;

bool TTarvexMainForm::MapEditable(int map) const
{
    const maps::MapSession &session = Page(map).session;
    return Page(map).controls.edit->isChecked() && BComPort1->Connected() && !Page(0).session.batchRunning()
        && !Page(1).session.batchRunning() && !session.storing()
        && session.known();
}

void TTarvexMainForm::ConnectEditHandlers()
{
    for (int map = 0; map < 2; ++map) {
        TMapEditor::Host host;
        host.window = this;
        host.dialogs = m_services.dialogs;
        host.language = [this] { return LanguageIndex(); };
        host.editable = [this, map] { return MapEditable(map); };
        host.send = [this, map](const maps::Plan &plan) { return SendPlan(map, plan); };
        host.show = [this, map] { ShowMap(map); };
        host.guarded = [this](const std::function<void()> &handler) { Guarded(handler); };
        host.workingPoint = [this] { return m_trail.newest(); };
        host.compareFolder = [this] { return m_services.backupFolder; };
        host.report = [this] { ReportClick(); };
        m_editors[size_t(map)] = std::make_unique<TMapEditor>(Page(map), std::move(host));
        widgets::TMapGrid *grid = Page(map).controls.grid;
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this,
                [this, map](const QPoint &at) { Guarded([&] { ShowMapMenu(map, at); }); });
    }
    ConnectHistoryHandlers();
    UpdateViewCaptions();
}

std::unique_ptr<QMenu> TTarvexMainForm::MakeMapMenu(int map)
{
    std::unique_ptr<QMenu> menu = MapEditor(map).MakeMenu();
    menu->addAction(HistoryActions[size_t(map)]);
    if (map == 0)
        menu->addAction(InjAnalysisAction);
    return menu;
}

void TTarvexMainForm::ShowMapMenu(int map, const QPoint &at)
{
    MakeMapMenu(map)->exec(Page(map).controls.grid->viewport()->mapToGlobal(at));
}

void TTarvexMainForm::MapOperationClick(int map, MapOperation operation)
{
    MapEditor(map).Operation(operation);
}

TTarvexMainForm::BatchResult TTarvexMainForm::SendPlan(int map, const maps::Plan &plan)
{
    const link::CommandId id = Page(map).table.cellWrite;
    return SendPlan(
        map, plan,
        [this, id](const CellChange &change) {
            Exchange().run(id, link::cellWriteFrame(id, change.cell, link::toCp1251(change.after)), false);
        },
        true);
}

TTarvexMainForm::BatchResult TTarvexMainForm::SendPlan(int map, const maps::Plan &plan, const CellSender &send,
                                                       bool tellMissing)
{
    BatchResult result;
    if (plan.refused()) {
        RefuseChange(map, plan);
        return result;
    }
    maps::MapSession &session = Page(map).session;
    if (plan.writes.empty() || !BComPort1->Connected()) {
        session.begin(plan);
        session.finish();
        ShowMap(map);
        return result;
    }
    const bool several = plan.writes.size() > 1;
    RefreshTimer->SetEnabled(false);
    if (several)
        ShowLiveData(false); // a batch takes seconds without live data
    const QPointer<TTarvexMainForm> alive(this);
    try {
        result = MapEditor(map).Run(plan, send, true);
    } catch (...) {
        // A port error leaves live data off, as after any exchange that failed.
        if (alive)
            ShowMap(map);
        throw;
    }
    if (!alive)
        return result;
    // Polling resumes before any box is shown: a box waits for the fitter.
    QString missingText;
    if (several && BComPort1->Connected()) {
        // Every cell written checked: the ECU's value is what the grid then
        // shows. Other cells it changed itself are taken as its own.
        if (const std::optional<QStringList> cells = ReadMapCells(map, false)) {
            const maps::ReadBack back = session.verify(*cells);
            result.missing = back.missing;
            if (back.changedByEcu > 0) {
                const int changed = back.changedByEcu;
                Page(map).note = [changed](int language) {
                    return lang::runTimeText(lang::Text::NoteEcuChangedCells, language).arg(changed);
                };
            }
            if (tellMissing && !result.missing.empty())
                missingText = lang::runTimeText(lang::Text::CellsMissing, LanguageIndex())
                                  .arg(result.missing.size())
                                  .arg(missingCellsText(result.missing, LanguageIndex()));
        } else {
            missingText = lang::runTimeText(lang::Text::ReadBackFailed, LanguageIndex());
        }
    }
    ShowMap(map);
    RefreshTimer->SetEnabled(true);
    if (!missingText.isEmpty())
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    missingText);
    return result;
}

void TTarvexMainForm::MapCopyClick(int map)
{
    MapEditor(map).Copy();
}

void TTarvexMainForm::MapPasteClick(int map)
{
    MapEditor(map).Paste();
}

void TTarvexMainForm::PasteCells(int map, const QString &text)
{
    MapEditor(map).PasteText(text);
}

void TTarvexMainForm::MapUndoClick(int map)
{
    MapEditor(map).Undo();
}

void TTarvexMainForm::MapRedoClick(int map)
{
    MapEditor(map).Redo();
}

} // namespace tarvex::app
