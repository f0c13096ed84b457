// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MapEditor.h"
#include "app/CompareWindow.h"
#include "lang/RunTimeTexts.h"
#include "link/Exception.h"
#include "link/Protocol.h"
#include "widgets/MapGrid.h"
#include "maps/MapScale.h"
#include "widgets/MapSurface.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace tarvex::app {

using maps::CellChange;
using maps::CellRange;
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
    return {QString::number(cell + 1), QString::number(cell / 16 + 1),
            cell >= 0 ? maps::speedCaption(cell % 16) : QString()};
}
} // namespace

TMapEditor::TMapEditor(TMapPage &page, Host host) : m_page(page), m_host(std::move(host))
{
    widgets::TMapGrid *grid = page.controls.grid;
    auto action = [&](QAction *&slot, const QKeySequence &keys, std::function<void()> handler) {
        slot = new QAction(grid);
        if (!keys.isEmpty())
            slot->setShortcut(keys);
        slot->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        grid->addAction(slot);
        connect(slot, &QAction::triggered, this, [this, handler] { m_host.guarded(handler); });
    };
    auto operation = [this](MapOperation op) { return [this, op] { Operation(op); }; };
    Actions &a = actions;
    action(a.copy, QKeySequence::Copy, [this] { Copy(); });
    action(a.paste, QKeySequence::Paste, [this] { Paste(); });
    action(a.undo, QKeySequence::Undo, [this] { Undo(); });
    action(a.redo, QKeySequence::Redo, [this] { Redo(); });
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
    action(a.surface, QKeySequence(), [this] { ShowSurface(); });
    action(a.compare, QKeySequence(), [this] { Compare(); });
    action(a.endCompare, QKeySequence(), [this] { EndComparison(); });
    // Its key belongs to the host's window, not only to the grid.
    action(a.report, QKeySequence(), [this] {
        if (m_host.report)
            m_host.report();
    });

    // Typed text is the window's until Enter sends it; an editor left any
    // other way puts the map's value back.
    grid->OnCellEdited = [this](int cell, const QString &text) {
        m_page.session.type(cell, text);
        m_page.controls.grid->SetPending(m_page.session.pendingCells());
    };
    grid->OnEditorClosed = [this](int cell) {
        if (!m_page.session.isTyped(cell))
            return;
        m_page.session.dropTyped(cell);
        m_host.show();
    };
    UpdateCaptions();
}

TMapEditor::~TMapEditor()
{
    delete compareWindow;
    delete surface;
}

void TMapEditor::UpdateCaptions()
{
    const int language = Language();
    Actions &a = actions;
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
        {a.surface, lang::Text::Menu3D},
        {a.compare, lang::Text::MenuCompare},
        {a.endCompare, lang::Text::MenuEndCompare},
        {a.report, lang::Text::MenuReport},
    };
    for (const auto &[action, text] : captions)
        action->setText(lang::runTimeText(text, language));
    a.increment->setText(a.increment->text() + QStringLiteral("\t+"));
    a.decrement->setText(a.decrement->text() + QStringLiteral("\t-"));
    a.report->setText(a.report->text() + QLatin1Char('\t') + QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText));
    if (surface) {
        surface->setWindowTitle(lang::runTimeText(lang::Text::SurfaceTitle, language).arg(lang::runTimeText(m_page.table.name, language)));
        surface->SetCaptions(lang::runTimeText(lang::Text::SurfaceSpeedAxis, language), lang::runTimeText(lang::Text::SurfaceLoadAxis, language));
    }
    if (m_page.session.comparison())
        RefreshComparison();
}

std::unique_ptr<QMenu> TMapEditor::MakeMenu()
{
    Actions &a = actions;
    const bool editable = m_host.editable();
    const QList<QAction *> edits = {a.paste, a.setValue, a.add, a.scale, a.interpolateRows, a.interpolateColumns,
                                    a.interpolateBoth, a.smooth, a.increment, a.decrement};
    for (QAction *edit : edits)
        edit->setEnabled(editable);
    a.undo->setEnabled(editable && m_page.session.canUndo());
    a.redo->setEnabled(editable && m_page.session.canRedo());
    auto menu = std::make_unique<QMenu>(m_host.window);
    menu->addActions({a.undo, a.redo});
    menu->addSeparator();
    menu->addActions({a.copy, a.paste});
    menu->addSeparator();
    menu->addActions({a.setValue, a.add, a.scale, a.increment, a.decrement});
    menu->addSeparator();
    menu->addActions({a.interpolateRows, a.interpolateColumns, a.interpolateBoth, a.smooth});
    menu->addSeparator();
    menu->addAction(a.surface);
    menu->addAction(m_page.session.comparison() ? a.endCompare : a.compare);
    if (m_host.report) {
        menu->addSeparator();
        menu->addAction(a.report);
    }
    // Keys work whatever the menu shows; each handler checks for itself.
    connect(menu.get(), &QMenu::aboutToHide, this, [this, edits] {
        for (QAction *edit : edits)
            edit->setEnabled(true);
        actions.undo->setEnabled(true);
        actions.redo->setEnabled(true);
    });
    return menu;
}

void TMapEditor::Warn(const QString &text)
{
    m_host.dialogs->message(m_host.window, widgets::Dialogs::Icon::Warning, QCoreApplication::applicationName(), text);
}

void TMapEditor::Operation(MapOperation operation)
{
    if (!m_host.editable())
        return;
    widgets::TMapGrid *grid = m_page.controls.grid;
    const CellRange range = selectionOf(grid);
    auto numbers = [&] {
        auto values = maps::valuesOf(m_page.session.shownCells(), range);
        if (const int *empty = std::get_if<int>(&values)) {
            const QStringList names = cellNames(*empty);
            Warn(lang::runTimeText(lang::Text::CellHoldsNoNumber, Language()).arg(names[0], names[1], names[2]));
        }
        return values;
    };
    if (std::holds_alternative<int>(numbers()))
        return;
    // While the number's prompt is up the ECU's map may be read again
    // (autotune) or the window closed: the values are taken after it.
    std::optional<double> number;
    auto ask = [&](lang::Text label, double initial, int decimals) {
        const QPointer<TMapEditor> alive(this);
        number = m_host.dialogs->askNumber(m_host.window, QCoreApplication::applicationName(),
                                           lang::runTimeText(label, Language()), initial, decimals);
        return alive && number && m_host.editable();
    };
    switch (operation) {
    case MapOperation::SetValue:
        // From the value the fitter is looking at.
        if (!ask(lang::Text::AskSetValue, link::tryStrToInt(m_page.session.shown(grid->Row() * 16 + grid->Col())).value_or(0), 0))
            return;
        break;
    case MapOperation::Add:
        if (!ask(lang::Text::AskAdd, 0, 0))
            return;
        break;
    case MapOperation::Scale:
        if (!ask(lang::Text::AskScale, 0, 1))
            return;
        break;
    default: break;
    }
    const auto values = numbers();
    if (std::holds_alternative<int>(values))
        return;
    const MapValues &now = std::get<MapValues>(values);
    MapValues result;
    switch (operation) {
    case MapOperation::SetValue: result = maps::setTo(now, range, maps::roundHalfAway(*number)); break;
    case MapOperation::Add: result = maps::addTo(now, range, maps::roundHalfAway(*number)); break;
    case MapOperation::Scale: result = maps::scaleBy(now, range, maps::roundHalfAway(*number * 10)); break;
    case MapOperation::InterpolateRows: result = maps::interpolate(now, range, maps::Interpolation::Rows); break;
    case MapOperation::InterpolateColumns:
        result = maps::interpolate(now, range, maps::Interpolation::Columns);
        break;
    case MapOperation::InterpolateBoth: result = maps::interpolate(now, range, maps::Interpolation::Both); break;
    case MapOperation::Smooth: result = maps::smooth(now, range); break;
    case MapOperation::Increment: result = maps::addTo(now, range, 1); break;
    case MapOperation::Decrement: result = maps::addTo(now, range, -1); break;
    }
    m_host.send(m_page.session.change(result, range, maps::Source::Operation));
}

bool TMapEditor::StepKey(int key)
{
    if (m_page.controls.grid->EditorOpen() || (key != Qt::Key_Plus && key != Qt::Key_Minus))
        return false;
    Operation(key == Qt::Key_Plus ? MapOperation::Increment : MapOperation::Decrement);
    return true;
}

void TMapEditor::Copy()
{
    const widgets::TMapGrid *grid = m_page.controls.grid;
    QGuiApplication::clipboard()->setText(maps::copyText(grid->Cells(), selectionOf(grid)));
}

void TMapEditor::Paste()
{
    PasteText(QGuiApplication::clipboard()->text());
}

void TMapEditor::PasteText(const QString &text)
{
    if (!m_host.editable())
        return;
    widgets::TMapGrid *grid = m_page.controls.grid;
    const auto parsed = maps::parsePaste(text);
    if (const auto *bad = std::get_if<maps::PasteError>(&parsed)) {
        Warn(lang::runTimeText(lang::Text::PasteNotANumber, Language()).arg(bad->line).arg(bad->column).arg(bad->text));
        return;
    }
    const maps::PasteRows &rows = std::get<maps::PasteRows>(parsed);
    const size_t widest = rows.front().size();
    // The block's top-left cell, whichever way it was dragged.
    const CellRange selected = selectionOf(grid);
    const CellRange range{selected.left, selected.top, selected.left + int(widest) - 1,
                          selected.top + int(rows.size()) - 1};
    if (range.right >= 16 || range.bottom >= 16) {
        Warn(lang::runTimeText(lang::Text::PasteDoesNotFit, Language())
                 .arg(rows.size())
                 .arg(widest)
                 .arg(range.top + 1)
                 .arg(maps::speedCaption(range.left)));
        return;
    }
    const auto shown = maps::valuesOf(m_page.session.shownCells(), CellRange{-1, -1, -1, -1});
    MapValues values = std::get<MapValues>(shown);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            values[size_t((range.top + int(r)) * 16 + range.left + int(c))] = rows[r][c];
    const QPointer<TMapEditor> alive(this);
    m_host.send(m_page.session.change(values, range, maps::Source::Paste));
    if (!alive)
        return;
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(range.top, range.left, range.bottom, range.right), true);
}

void TMapEditor::Undo()
{
    if (m_host.editable())
        m_host.send(m_page.session.undo());
}

void TMapEditor::Redo()
{
    if (m_host.editable())
        m_host.send(m_page.session.redo());
}

void TMapEditor::ShowSurface()
{
    if (!surface) {
        surface = new widgets::TMapSurface(m_page.controls.grid, m_host.window);
        surface->setWindowFlag(Qt::Window);
        surface->setAttribute(Qt::WA_DeleteOnClose);
        surface->setObjectName(m_page.table.kind == maps::MapPage::Fuel ? QStringLiteral("InjSurface")
                                                                        : QStringLiteral("IgnSurface"));
        UpdateCaptions();
    }
    surface->SetWorkingPoint(m_host.workingPoint());
    surface->show();
    surface->raise();
}

void TMapEditor::Compare()
{
    const QString copies = m_host.compareFolder();
    const QString folder = QDir(copies).exists() ? copies : QString();
    QString path;
    const std::optional<maps::MapFileRead> file = ChooseFile(folder, &path);
    if (file)
        CompareWith(maps::Comparison{path, file->cells});
}

void TMapEditor::CompareWith(maps::Comparison comparison)
{
    m_page.session.compareWith(std::move(comparison));
    m_page.ShowStatus(Language());
    ShowCompareWindow();
}

void TMapEditor::ShowCompareWindow()
{
    if (!compareWindow) {
        compareWindow = new TCompareWindow(m_host.window);
        compareWindow->setObjectName(m_page.table.kind == maps::MapPage::Fuel ? QStringLiteral("InjCompareWindow")
                                                                              : QStringLiteral("IgnCompareWindow"));
        compareWindow->OfFile = m_page.fileBacked;
        compareWindow->OnWrite = [this](const std::vector<int> &cells) { m_host.guarded([&] { WriteCompared(cells); }); };
        compareWindow->OnClose = [this] { m_host.guarded([this] { EndComparison(); }); };
    }
    m_host.show();
    compareWindow->show();
    compareWindow->raise();
}

void TMapEditor::RefreshComparison()
{
    // In place: the fitter's selection and the window's place stay.
    m_page.ShowComparison(compareWindow, m_host.editable(), Language());
}

void TMapEditor::EndComparison()
{
    if (!m_page.session.comparison())
        return;
    m_page.session.endComparison();
    m_host.show();
    if (compareWindow && compareWindow->isVisible())
        compareWindow->hide();
}

void TMapEditor::WriteCompared(const std::vector<int> &cells)
{
    const std::optional<maps::Comparison> &comparison = m_page.session.comparison();
    if (!comparison || !m_host.editable())
        return;
    std::vector<std::pair<int, QString>> writes;
    for (int cell : cells)
        writes.emplace_back(cell, comparison->cells.value(cell));
    m_host.send(m_page.session.write(writes, comparison->source));
}

void TMapEditor::Refuse(const maps::Plan &plan)
{
    const int language = Language();
    // The refused text never stays looking like a value the map holds.
    if (plan.cell >= 0)
        m_page.session.dropTyped(plan.cell);
    m_host.show();
    const QStringList names = cellNames(plan.cell);
    switch (plan.refusal) {
    case maps::Refusal::None:
    case maps::Refusal::EditingOff:
    case maps::Refusal::BatchRunning: return;
    case maps::Refusal::Storing:
    case maps::Refusal::NoMap:
        m_page.note = [why = plan.refusal == maps::Refusal::Storing ? lang::Text::NoteStoring
                             : m_page.session.readLost()           ? lang::Text::PageReadFailed
                                                                   : lang::Text::PageNotRead](int language) {
            return lang::runTimeText(why, language);
        };
        m_page.ShowStatus(language);
        return;
    case maps::Refusal::NotANumber:
        if (plan.source == maps::Source::Enter)
            throw invalidInteger(plan.text);
        Warn(lang::runTimeText(lang::Text::CellHoldsNoNumber, language).arg(names[0], names[1], names[2]));
        return;
    case maps::Refusal::OutOfRange:
        if (plan.source == maps::Source::Enter && m_page.table.kind == maps::MapPage::Fuel && plan.value >= 1000) {
            Warn(lang::runTimeText(lang::Text::ValueTooLarge, language));
            return;
        }
        Warn(lang::runTimeText(lang::Text::CellOutOfRange, language)
                 .arg(names[0], names[1], names[2])
                 .arg(plan.value)
                 .arg(m_page.session.range().lowest)
                 .arg(m_page.session.range().highest));
        return;
    }
}

BatchResult TMapEditor::Run(const maps::Plan &plan, const CellSender &send, bool paced)
{
    BatchResult result;
    maps::MapSession &session = m_page.session;
    widgets::TMapGrid *grid = m_page.controls.grid;
    widgets::Dialogs &dialogs = *m_host.dialogs;
    session.begin(plan);
    const bool showProgress = paced && plan.writes.size() > 1;
    if (showProgress) {
        const lang::Text title = plan.source == maps::Source::FileLoad ? lang::Text::FileLoadProgress : lang::Text::WritingCells;
        dialogs.startProgress(m_host.window, lang::runTimeText(title, Language()), lang::runTimeText(lang::Text::CancelBatch, Language()),
                              int(plan.writes.size()));
    }
    const QPointer<TMapEditor> alive(this);
    std::exception_ptr error;
    try {
        for (const CellChange &change : plan.writes) {
            // A cancel stops the batch after the cell in flight.
            if (showProgress && !dialogs.progress(int(result.written))) {
                result.cancelled = true;
                break;
            }
            if (!alive)
                return result;
            if (paced) {
                // The cell shows as its frame goes out.
                grid->ShowCell((change.cell - 1) % 16, (change.cell - 1) / 16, change.after);
                grid->viewport()->repaint();
            }
            send(change);
            session.sent(change);
            ++result.written;
        }
        if (showProgress)
            dialogs.progress(int(result.written));
    } catch (...) {
        error = std::current_exception();
    }
    if (!alive)
        return result;
    if (showProgress)
        dialogs.finishProgress();
    session.finish();
    m_page.note = nullptr;
    if (error)
        std::rethrow_exception(error);
    // Back to the grid after the prompt and the progress window, so that
    // Ctrl+Z works at once.
    grid->window()->activateWindow();
    grid->setFocus();
    return result;
}

std::optional<maps::MapFileRead> TMapEditor::ChooseFile(const QString &folder, QString *path)
{
    const MapPageTable &table = m_page.table;
    const QString chosen = m_host.dialogs->openFileName(m_host.window, QString::fromLatin1(table.openDescription),
                                                        QString::fromLatin1(table.pattern),
                                                        QString::fromLatin1(table.suffix), folder);
    if (chosen.isEmpty())
        return std::nullopt;
    // The whole file is checked before anything is done with it.
    maps::MapFileRead file = maps::readMapFile(chosen, m_page.session.range(), Language());
    if (!file.error.isEmpty()) {
        m_host.dialogs->message(m_host.window, widgets::Dialogs::Icon::Critical, QCoreApplication::applicationName(),
                                file.error);
        return std::nullopt;
    }
    if (path)
        *path = chosen;
    return file;
}

} // namespace tarvex::app
