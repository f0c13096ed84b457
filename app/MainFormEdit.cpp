// Range editing of the maps: operations on a selection, spreadsheet copy and
// paste, undo and redo; every change goes to the ECU cell by cell as Enter
// sends it.
#include "app/MainForm.h"
#include "app/RunTimeTexts.h"
#include "maps/MapGrid.h"
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
constexpr link::CommandId kCellWrite[2] = {link::CommandId::FuelCellWrite, link::CommandId::IgnCellWrite};
constexpr maps::ValueRange kRange[2] = {maps::kFuelRange, maps::kIgnitionRange};

CellRange selectionOf(const maps::TMapGrid *grid)
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

maps::TMapGrid *TTarvexMainForm::GridOf(int map) const
{
    return map == 0 ? InjGrid : IgnGrid;
}

bool TTarvexMainForm::MapEditable(int map) const
{
    return (map == 0 ? InjEditCheck : IgnEditCheck)->isChecked() && BComPort1->Connected() && !m_batchRunning;
}

void TTarvexMainForm::ConnectEditHandlers()
{
    for (int map = 0; map < 2; ++map) {
        maps::TMapGrid *grid = GridOf(map);
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
        const std::pair<QAction *, Text> captions[] = {
            {a.copy, Text::MenuCopy},
            {a.paste, Text::MenuPaste},
            {a.undo, Text::MenuUndo},
            {a.redo, Text::MenuRedo},
            {a.setValue, Text::MenuSetValue},
            {a.add, Text::MenuAdd},
            {a.scale, Text::MenuScale},
            {a.interpolateRows, Text::MenuInterpolateRows},
            {a.interpolateColumns, Text::MenuInterpolateColumns},
            {a.interpolateBoth, Text::MenuInterpolateBoth},
            {a.smooth, Text::MenuSmooth},
            {a.increment, Text::MenuIncrement},
            {a.decrement, Text::MenuDecrement},
        };
        for (const auto &[action, text] : captions)
            action->setText(runTimeText(text, language));
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
    a.undo->setEnabled(editable && m_history[size_t(map)].canUndo());
    a.redo->setEnabled(editable && m_history[size_t(map)].canRedo());
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
    menu->addAction(m_comparison[size_t(map)] ? a.endCompare : a.compare);
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
    MakeMapMenu(map)->exec(GridOf(map)->viewport()->mapToGlobal(at));
}

void TTarvexMainForm::MapKnown(int map, const QStringList &cells)
{
    m_ecuCells[size_t(map)] = cells;
    m_history[size_t(map)].clear();
    RefreshComparison(map);
}

void TTarvexMainForm::MapOperationClick(int map, MapOperation operation)
{
    if (!MapEditable(map))
        return;
    maps::TMapGrid *grid = GridOf(map);
    const CellRange range = selectionOf(grid);
    const auto values = maps::valuesOf(grid->Cells(), range);
    if (const int *empty = std::get_if<int>(&values)) {
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    runTimeText(Text::CellHoldsNoNumber, LanguageIndex())
                                        .arg(cellNames(*empty)[0], cellNames(*empty)[1], cellNames(*empty)[2]));
        return;
    }
    const MapValues &now = std::get<MapValues>(values);
    auto ask = [&](Text label, int decimals) {
        return m_services.dialogs->askNumber(this, QCoreApplication::applicationName(),
                                             runTimeText(label, LanguageIndex()), 0, decimals);
    };
    MapValues result;
    switch (operation) {
    case MapOperation::SetValue: {
        const std::optional<double> v = ask(Text::AskSetValue, 0);
        if (!v)
            return;
        result = maps::setTo(now, range, maps::roundHalfAway(*v));
        break;
    }
    case MapOperation::Add: {
        const std::optional<double> v = ask(Text::AskAdd, 0);
        if (!v)
            return;
        result = maps::addTo(now, range, maps::roundHalfAway(*v));
        break;
    }
    case MapOperation::Scale: {
        const std::optional<double> v = ask(Text::AskScale, 1);
        if (!v)
            return;
        result = maps::scaleBy(now, range, *v);
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
    WriteChangedCells(map, result, range);
}

void TTarvexMainForm::WriteChangedCells(int map, const MapValues &values, const CellRange &range)
{
    const maps::ValueRange allowed = kRange[map];
    if (const std::optional<int> bad = maps::firstOutOfRange(values, range, allowed)) {
        const QStringList names = cellNames(*bad);
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(),
                                    runTimeText(Text::CellOutOfRange, LanguageIndex())
                                        .arg(names[0], names[1], names[2])
                                        .arg(values[size_t(*bad)])
                                        .arg(allowed.lowest)
                                        .arg(allowed.highest));
        return;
    }
    // Only what differs from what the ECU holds goes out.
    EditStep writes;
    const QStringList &ecu = m_ecuCells[size_t(map)];
    for (int row = range.top; row <= range.bottom; ++row) {
        for (int column = range.left; column <= range.right; ++column) {
            const int cell = row * 16 + column;
            const int value = values[size_t(cell)];
            if (link::tryStrToInt(ecu.value(cell)) != value)
                writes.push_back(CellChange{cell + 1, ecu.value(cell), QString::number(value)});
        }
    }
    maps::EditHistory &history = m_history[size_t(map)];
    WriteCells(map, writes, [&](size_t written) {
        history.record(EditStep(writes.begin(), writes.begin() + long(written)));
    });
}

void TTarvexMainForm::WriteCells(int map, const EditStep &writes, const std::function<void(size_t)> &done)
{
    if (writes.empty() || !BComPort1->Connected())
        return;
    maps::TMapGrid *grid = GridOf(map);
    const link::CommandId id = kCellWrite[map];
    const bool showProgress = writes.size() > 1;
    m_batchRunning = true;
    RefreshTimer->SetEnabled(false);
    if (showProgress)
        m_services.dialogs->startProgress(this, runTimeText(Text::WritingCells, LanguageIndex()),
                                          runTimeText(Text::CancelBatch, LanguageIndex()), int(writes.size()));
    size_t written = 0;
    std::exception_ptr error;
    try {
        for (const CellChange &change : writes) {
            // A cancel stops the batch after the cell in flight.
            if (showProgress && !m_services.dialogs->progress(int(written)))
                break;
            const int column = (change.cell - 1) % 16;
            const int row = (change.cell - 1) / 16;
            grid->SetCell(column, row, change.after);
            grid->viewport()->repaint(); // the cell shows as its frame goes out
            try {
                Exchange().run(id, link::cellWriteFrame(id, change.cell, link::toCp1251(change.after)), false);
            } catch (...) {
                grid->SetCell(column, row, change.before); // the ECU did not take it
                throw;
            }
            m_ecuCells[size_t(map)][change.cell - 1] = change.after;
            m_mapSafety[size_t(map)].unstored = true;
            ++written;
        }
        if (showProgress)
            m_services.dialogs->progress(int(written));
    } catch (...) {
        error = std::current_exception();
    }
    if (showProgress)
        m_services.dialogs->finishProgress();
    m_batchRunning = false;
    done(written);
    RefreshComparison(map);
    // A port error leaves live data off, as after any exchange that failed.
    if (error)
        std::rethrow_exception(error);
    RefreshTimer->SetEnabled(true);
}

void TTarvexMainForm::MapCopyClick(int map)
{
    const maps::TMapGrid *grid = GridOf(map);
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
    maps::TMapGrid *grid = GridOf(map);
    const auto parsed = maps::parsePaste(text);
    auto refuse = [&](const QString &why) {
        m_services.dialogs->message(this, Dialogs::Icon::Warning, QCoreApplication::applicationName(), why);
    };
    if (const auto *bad = std::get_if<maps::PasteError>(&parsed)) {
        refuse(runTimeText(Text::PasteNotANumber, LanguageIndex()).arg(bad->line).arg(bad->column).arg(bad->text));
        return;
    }
    const maps::PasteRows &rows = std::get<maps::PasteRows>(parsed);
    const size_t widest = rows.front().size();
    const CellRange range{grid->Col(), grid->Row(), grid->Col() + int(widest) - 1, grid->Row() + int(rows.size()) - 1};
    if (range.right >= 16 || range.bottom >= 16) {
        refuse(runTimeText(Text::PasteDoesNotFit, LanguageIndex())
                   .arg(rows.size())
                   .arg(widest)
                   .arg(range.top + 1)
                   .arg(maps::speedCaption(range.left)));
        return;
    }
    MapValues values{};
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            values[size_t((range.top + int(r)) * 16 + range.left + int(c))] = rows[r][c];
    WriteChangedCells(map, values, range);
    grid->setRangeSelected(QTableWidgetSelectionRange(range.top, range.left, range.bottom, range.right), true);
}

void TTarvexMainForm::MapUndoClick(int map)
{
    if (!MapEditable(map))
        return;
    maps::EditHistory &history = m_history[size_t(map)];
    WriteCells(map, history.undoWrites(), [&history](size_t written) { history.undone(written); });
}

void TTarvexMainForm::MapRedoClick(int map)
{
    if (!MapEditable(map))
        return;
    maps::EditHistory &history = m_history[size_t(map)];
    WriteCells(map, history.redoWrites(), [&history](size_t written) { history.redone(written); });
}

} // namespace tarvex::app
