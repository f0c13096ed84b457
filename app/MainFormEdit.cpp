// Range editing of the maps: operations on a selection, spreadsheet copy and
// paste, undo and redo; every change is planned by the map's session and goes
// to the ECU cell by cell as Enter sends it.
#include "app/MainForm.h"
#include "lang/RunTimeTexts.h"
#include "widgets/MapGrid.h"
#include "maps/MapReply.h"
#include "maps/MapScale.h"

#include <QAction>
#include <QGuiApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QMenu>

namespace tarvex::app {

using maps::CellChange;
using maps::CellRange;
using maps::EditStep;
using maps::MapValues;

namespace {

CellRange selectionOf(const widgets::TMapGrid *grid)
{
    const QList<QTableWidgetSelectionRange> ranges = grid->selectedRanges();
    if (ranges.isEmpty())
        return CellRange{grid->Col(), grid->Row(), grid->Col(), grid->Row()};
    const QTableWidgetSelectionRange &r = ranges.first();
    return CellRange{r.leftColumn(), r.topRow(), r.rightColumn(), r.bottomRow()};
}

// "cell 36 (row 3, column 2100)": the number, the row from 1 and the speed.
QStringList cellNames(int cell)
{
    return {QString::number(cell + 1), QString::number(cell / 16 + 1), maps::speedCaption(cell % 16)};
}
} // namespace

bool TTarvexMainForm::MapEditable(int map) const
{
    const maps::MapSession &session = Page(map).session;
    return Page(map).controls.edit->isChecked() && BComPort1->Connected() && !Page(0).session.batchRunning()
        && !Page(1).session.batchRunning() && !session.storing()
        && session.hasMap() && !session.needsCompare();
}

void TTarvexMainForm::ConnectEditHandlers()
{
    for (int map = 0; map < 2; ++map) {
        widgets::TMapGrid *grid = Page(map).controls.grid;
        MapActions &a = MapMenus[size_t(map)];
        auto action = [&](QAction *&slot, const QKeySequence &keys, auto handler) {
            slot = new QAction(grid);
            if (!keys.isEmpty())
                slot->setShortcut(keys);
            slot->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            grid->addAction(slot);
            connect(slot, &QAction::triggered, this, [this, handler] { Guarded(handler); });
        };
        auto operation = [this, map](MapOperation op) { return [this, map, op] { MapOperationClick(map, op); }; };
        action(a.copy, QKeySequence::Copy, [this, map] { MapCopyClick(map); });
        action(a.paste, QKeySequence::Paste, [this, map] { MapPasteClick(map); });
        action(a.undo, QKeySequence::Undo, [this, map] { MapUndoClick(map); });
        action(a.redo, QKeySequence::Redo, [this, map] { MapRedoClick(map); });
        a.redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
        action(a.setValue, QKeySequence(), operation(MapOperation::SetValue));
        action(a.add, QKeySequence(), operation(MapOperation::Add));
        action(a.scale, QKeySequence(), operation(MapOperation::Scale));
        action(a.interpolateRows, QKeySequence(), operation(MapOperation::InterpolateRows));
        action(a.interpolateColumns, QKeySequence(), operation(MapOperation::InterpolateColumns));
        action(a.interpolateBoth, QKeySequence(), operation(MapOperation::InterpolateBoth));
        action(a.smooth, QKeySequence(), operation(MapOperation::Smooth));
        // The keys themselves come through the grid's key handler: "+" and
        // "-" are discarded by its character filter, so they clash with
        // nothing typed into a cell.
        action(a.increment, QKeySequence(), operation(MapOperation::Increment));
        action(a.decrement, QKeySequence(), operation(MapOperation::Decrement));
        action(a.surface, QKeySequence(), [this, map] { MapSurfaceClick(map); });
        action(a.compare, QKeySequence(), [this, map] { MapCompareClick(map); });
        action(a.endCompare, QKeySequence(), [this, map] { EndComparison(map); });
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this,
                [this, map](const QPoint &at) { Guarded([&] { ShowMapMenu(map, at); }); });
    }
    UpdateEditCaptions();
    UpdateViewCaptions();
}

void TTarvexMainForm::UpdateEditCaptions()
{
    const int language = LanguageIndex();
    for (MapActions &a : MapMenus) {
        const std::pair<QAction *, lang::Text> captions[] = {
            {a.copy, lang::Text::MenuCopy},
            {a.paste, lang::Text::MenuPaste},
            {a.undo, lang::Text::MenuUndo},
            {a.redo, lang::Text::MenuRedo},
            {a.setValue, lang::Text::MenuSetValue},
            {a.add, lang::Text::MenuAdd},
            {a.scale, lang::Text::MenuScale},
            {a.interpolateRows, lang::Text::MenuInterpolateRows},
            {a.interpolateColumns, lang::Text::MenuInterpolateColumns},
            {a.interpolateBoth, lang::Text::MenuInterpolateBoth},
            {a.smooth, lang::Text::MenuSmooth},
            {a.increment, lang::Text::MenuIncrement},
            {a.decrement, lang::Text::MenuDecrement},
        };
        for (const auto &[action, text] : captions)
            action->setText(lang::runTimeText(text, language));
        a.increment->setText(a.increment->text() + QStringLiteral("\t+"));
        a.decrement->setText(a.decrement->text() + QStringLiteral("\t-"));
    }
}

std::unique_ptr<QMenu> TTarvexMainForm::MakeMapMenu(int map)
{
    MapActions &a = MapMenus[size_t(map)];
    const bool editable = MapEditable(map);
    for (QAction *edit : {a.paste, a.setValue, a.add, a.scale, a.interpolateRows, a.interpolateColumns,
                          a.interpolateBoth, a.smooth, a.increment, a.decrement})
        edit->setEnabled(editable);
    a.undo->setEnabled(editable && Page(map).session.canUndo());
    a.redo->setEnabled(editable && Page(map).session.canRedo());
    auto menu = std::make_unique<QMenu>(this);
    menu->addActions({a.undo, a.redo});
    menu->addSeparator();
    menu->addActions({a.copy, a.paste});
    menu->addSeparator();
    menu->addActions({a.setValue, a.add, a.scale, a.increment, a.decrement});
    menu->addSeparator();
    menu->addActions({a.interpolateRows, a.interpolateColumns, a.interpolateBoth, a.smooth});
    menu->addSeparator();
    menu->addAction(a.surface);
    menu->addAction(Page(map).session.comparison() ? a.endCompare : a.compare);
    if (map == 0)
        menu->addAction(InjAnalysisAction);
    // Keys work whatever the menu shows; each handler checks for itself.
    connect(menu.get(), &QMenu::aboutToHide, this, [this, map] {
        MapActions &actions = MapMenus[size_t(map)];
        for (QAction *edit : {actions.paste, actions.undo, actions.redo, actions.setValue, actions.add, actions.scale,
                              actions.interpolateRows, actions.interpolateColumns, actions.interpolateBoth,
                              actions.smooth, actions.increment, actions.decrement})
            edit->setEnabled(true);
    });
    return menu;
}

void TTarvexMainForm::ShowMapMenu(int map, const QPoint &at)
{
    MakeMapMenu(map)->exec(Page(map).controls.grid->viewport()->mapToGlobal(at));
}

void TTarvexMainForm::MapOperationClick(int map, MapOperation operation)
{
    if (!MapEditable(map))
        return;
    widgets::TMapGrid *grid = Page(map).controls.grid;
    maps::MapSession &session = Page(map).session;
    const CellRange range = selectionOf(grid);
    const auto values = maps::valuesOf(session.shownCells(), range);
    if (const int *empty = std::get_if<int>(&values)) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    lang::runTimeText(lang::Text::CellHoldsNoNumber, LanguageIndex())
                                        .arg(cellNames(*empty)[0], cellNames(*empty)[1], cellNames(*empty)[2]));
        return;
    }
    const MapValues &now = std::get<MapValues>(values);
    auto ask = [&](lang::Text label, double initial, int decimals) {
        return m_services.dialogs->askNumber(this, QCoreApplication::applicationName(),
                                             lang::runTimeText(label, LanguageIndex()), initial, decimals);
    };
    MapValues result;
    switch (operation) {
    case MapOperation::SetValue: {
        // From the value the fitter is looking at.
        const double current = now[size_t(grid->Row() * 16 + grid->Col())];
        const std::optional<double> v = ask(lang::Text::AskSetValue, current, 0);
        if (!v)
            return;
        result = maps::setTo(now, range, maps::roundHalfAway(*v));
        break;
    }
    case MapOperation::Add: {
        const std::optional<double> v = ask(lang::Text::AskAdd, 0, 0);
        if (!v)
            return;
        result = maps::addTo(now, range, maps::roundHalfAway(*v));
        break;
    }
    case MapOperation::Scale: {
        const std::optional<double> v = ask(lang::Text::AskScale, 0, 1);
        if (!v)
            return;
        result = maps::scaleBy(now, range, maps::roundHalfAway(*v * 10));
        break;
    }
    case MapOperation::InterpolateRows: result = maps::interpolate(now, range, maps::Interpolation::Rows); break;
    case MapOperation::InterpolateColumns:
        result = maps::interpolate(now, range, maps::Interpolation::Columns);
        break;
    case MapOperation::InterpolateBoth: result = maps::interpolate(now, range, maps::Interpolation::Both); break;
    case MapOperation::Smooth: result = maps::smooth(now, range); break;
    case MapOperation::Increment: result = maps::addTo(now, range, 1); break;
    case MapOperation::Decrement: result = maps::addTo(now, range, -1); break;
    }
    SendPlan(map, session.change(result, range, maps::Source::Operation));
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
    widgets::TMapGrid *grid = Page(map).controls.grid;
    const bool connected = BComPort1->Connected();
    session.begin(plan);
    if (plan.writes.empty() || !connected) {
        session.finish();
        ShowMap(map);
        return result;
    }
    const bool showProgress = plan.writes.size() > 1;
    const QString title = plan.source == maps::Source::FileLoad ? lang::runTimeText(lang::Text::FileLoadProgress, LanguageIndex())
                                                                : lang::runTimeText(lang::Text::WritingCells, LanguageIndex());
    RefreshTimer->SetEnabled(false);
    if (showProgress)
        m_services.dialogs->startProgress(this, title, lang::runTimeText(lang::Text::CancelBatch, LanguageIndex()),
                                          int(plan.writes.size()));
    const QPointer<TTarvexMainForm> alive(this);
    std::exception_ptr error;
    try {
        for (const CellChange &change : plan.writes) {
            // A cancel stops the batch after the cell in flight.
            if (showProgress && !m_services.dialogs->progress(int(result.written))) {
                result.cancelled = true;
                break;
            }
            if (!alive)
                return result;
            // The cell shows as its frame goes out.
            grid->ShowCell((change.cell - 1) % 16, (change.cell - 1) / 16, change.after);
            grid->viewport()->repaint();
            send(change);
            session.sent(change);
            ++result.written;
        }
        if (showProgress)
            m_services.dialogs->progress(int(result.written));
    } catch (...) {
        error = std::current_exception();
    }
    if (!alive)
        return result;
    if (showProgress)
        m_services.dialogs->finishProgress();
    session.finish();
    Page(map).note.clear();
    // A port error leaves live data off, as after any exchange that failed.
    if (error) {
        ShowMap(map);
        std::rethrow_exception(error);
    }
    if (showProgress && BComPort1->Connected()) {
        // Every cell checked: the ECU's value is what the grid then shows.
        if (const std::optional<QStringList> cells = ReadMapCells(map, false))
            result.missing = session.verify(*cells);
        else
            m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                        lang::runTimeText(lang::Text::ReadBackFailed, LanguageIndex()));
        if (tellMissing && !result.missing.empty()) {
            ShowMap(map);
            m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                        lang::runTimeText(lang::Text::CellsMissing, LanguageIndex())
                                            .arg(result.missing.size())
                                            .arg(missingCellsText(result.missing, LanguageIndex())));
        }
    }
    if (!alive)
        return result;
    ShowMap(map);
    RefreshTimer->SetEnabled(true);
    if (showProgress)
        grid->setFocus(); // Ctrl+Z works at once
    return result;
}

void TTarvexMainForm::MapCopyClick(int map)
{
    const widgets::TMapGrid *grid = Page(map).controls.grid;
    QGuiApplication::clipboard()->setText(maps::copyText(grid->Cells(), selectionOf(grid)));
}

void TTarvexMainForm::MapPasteClick(int map)
{
    PasteCells(map, QGuiApplication::clipboard()->text());
}

void TTarvexMainForm::PasteCells(int map, const QString &text)
{
    if (!MapEditable(map))
        return;
    widgets::TMapGrid *grid = Page(map).controls.grid;
    const auto parsed = maps::parsePaste(text);
    auto refuse = [&](const QString &why) {
        m_services.dialogs->message(this, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(), why);
    };
    if (const auto *bad = std::get_if<maps::PasteError>(&parsed)) {
        refuse(lang::runTimeText(lang::Text::PasteNotANumber, LanguageIndex()).arg(bad->line).arg(bad->column).arg(bad->text));
        return;
    }
    const maps::PasteRows &rows = std::get<maps::PasteRows>(parsed);
    const size_t widest = rows.front().size();
    // The block's top-left cell, whichever way it was dragged.
    const CellRange selected = selectionOf(grid);
    const CellRange range{selected.left, selected.top, selected.left + int(widest) - 1,
                          selected.top + int(rows.size()) - 1};
    if (range.right >= 16 || range.bottom >= 16) {
        refuse(lang::runTimeText(lang::Text::PasteDoesNotFit, LanguageIndex())
                   .arg(rows.size())
                   .arg(widest)
                   .arg(range.top + 1)
                   .arg(maps::speedCaption(range.left)));
        return;
    }
    const auto shown = maps::valuesOf(Page(map).session.shownCells(), CellRange{-1, -1, -1, -1});
    MapValues values = std::get<MapValues>(shown);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            values[size_t((range.top + int(r)) * 16 + range.left + int(c))] = rows[r][c];
    const QPointer<TTarvexMainForm> alive(this);
    SendPlan(map, Page(map).session.change(values, range, maps::Source::Paste));
    if (!alive)
        return;
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(range.top, range.left, range.bottom, range.right), true);
}

void TTarvexMainForm::MapUndoClick(int map)
{
    if (MapEditable(map))
        SendPlan(map, Page(map).session.undo());
}

void TTarvexMainForm::MapRedoClick(int map)
{
    if (MapEditable(map))
        SendPlan(map, Page(map).session.redo());
}

} // namespace tarvex::app
