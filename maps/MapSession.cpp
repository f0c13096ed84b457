// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapSession.h"
#include "link/Protocol.h"
#include "maps/MapCompare.h"

#include <algorithm>

namespace tarvex::maps {

namespace {
constexpr int kCells = kMapSide * kMapSide;

// Sources that come from the range editing and the windows beside the
// grid: they change the map only while the page's edit box is ticked.
bool needsEditBox(Source source)
{
    switch (source) {
    case Source::Enter:
    case Source::FileLoad:
    case Source::Rewrite:
    case Source::Template:
        return false;
    default:
        return true;
    }
}
} // namespace

MapSession::MapSession(MapPage page)
    : m_page(page), m_ecu(QStringList(kCells, QString())), m_stored(QStringList(kCells, QString()))
{
}

ValueRange MapSession::range() const
{
    return m_page == MapPage::Fuel ? kFuelRange : kIgnitionRange;
}

QString MapSession::shown(int cell) const
{
    const auto typed = m_typed.find(cell);
    return typed != m_typed.end() ? typed->second : m_ecu.value(cell);
}

QStringList MapSession::shownCells() const
{
    QStringList cells = m_ecu;
    for (const auto &[cell, text] : m_typed)
        cells[cell] = text;
    return cells;
}

std::set<int> MapSession::pendingCells() const
{
    std::set<int> cells;
    for (const auto &typed : m_typed)
        cells.insert(typed.first);
    return cells;
}

void MapSession::connected()
{
    m_verified = false;
    m_typed.clear();
    m_batch.reset();
    m_storing = 0;
    m_backedUpSinceConnect = false;
}

void MapSession::mayHaveRestarted()
{
    m_verified = false;
}

void MapSession::type(int cell, const QString &text)
{
    if (cell < 0 || cell >= kCells)
        return;
    if (text == m_ecu[cell])
        m_typed.erase(cell);
    else
        m_typed[cell] = text;
}

Refusal MapSession::refusalNow(Source source) const
{
    if (m_batch)
        return Refusal::BatchRunning;
    if (m_storing)
        return Refusal::Storing;
    if (needsEditBox(source) && !m_editing)
        return Refusal::EditingOff;
    if (source == Source::FileLoad)
        return Refusal::None;
    // The template replaces whatever the ECU holds: only a map shown from
    // before needs its comparison first.
    if (source == Source::Template)
        return needsCompare() ? Refusal::NoMap : Refusal::None;
    if (needsCompare() || (m_read && m_readLost) || (!m_read && source != Source::Enter))
        return Refusal::NoMap;
    return Refusal::None;
}

Plan MapSession::refusedPlan(Source source, Refusal why) const
{
    Plan plan;
    plan.source = source;
    plan.refusal = why;
    return plan;
}

Plan MapSession::enter(int cell) const
{
    if (const Refusal why = refusalNow(Source::Enter); why != Refusal::None) {
        Plan plan = refusedPlan(Source::Enter, why);
        plan.cell = cell;
        plan.text = shown(cell);
        return plan;
    }
    Plan plan;
    plan.source = Source::Enter;
    plan.cell = cell;
    plan.text = shown(cell);
    const std::optional<int> value = link::tryStrToInt(plan.text);
    if (!value) {
        plan.refusal = Refusal::NotANumber;
        return plan;
    }
    plan.value = *value;
    if (*value < range().lowest || *value > range().highest) {
        plan.refusal = Refusal::OutOfRange;
        return plan;
    }
    // Sent as the grid holds it: leading zeros and all.
    plan.writes.push_back(CellChange{cell + 1, m_ecu[cell], plan.text});
    return plan;
}

Plan MapSession::change(const MapValues &values, const CellRange &area, Source source) const
{
    if (const Refusal why = refusalNow(source); why != Refusal::None)
        return refusedPlan(source, why);
    Plan plan;
    plan.source = source;
    plan.range = area;
    if (const std::optional<int> bad = firstOutOfRange(values, area, range())) {
        plan.refusal = Refusal::OutOfRange;
        plan.cell = *bad;
        plan.value = values[size_t(*bad)];
        return plan;
    }
    for (int row = area.top; row <= area.bottom; ++row) {
        for (int column = area.left; column <= area.right; ++column) {
            const int cell = row * kMapSide + column;
            const int value = values[size_t(cell)];
            if (link::tryStrToInt(m_ecu[cell]) != value)
                plan.writes.push_back(CellChange{cell + 1, m_ecu[cell], QString::number(value)});
        }
    }
    return plan;
}

Plan MapSession::write(const std::vector<std::pair<int, QString>> &cells, Source source) const
{
    if (const Refusal why = refusalNow(source); why != Refusal::None)
        return refusedPlan(source, why);
    Plan plan;
    plan.source = source;
    for (const auto &[cell, text] : cells) {
        if (cell < 0 || cell >= kCells)
            continue;
        const std::optional<int> value = link::tryStrToInt(text);
        if (!value || *value < range().lowest || *value > range().highest) {
            plan.refusal = value ? Refusal::OutOfRange : Refusal::NotANumber;
            plan.cell = cell;
            plan.text = text;
            plan.value = value.value_or(0);
            plan.writes.clear();
            return plan;
        }
        if (!sameCellValue(m_ecu[cell], text))
            plan.writes.push_back(CellChange{cell + 1, m_ecu[cell], text});
    }
    return plan;
}

Plan MapSession::load(const QStringList &cells) const
{
    std::vector<std::pair<int, QString>> all;
    for (int cell = 0; cell < kCells; ++cell)
        all.emplace_back(cell, cells.value(cell));
    Plan plan = write(all, Source::FileLoad);
    if (plan.refused())
        return plan;
    // A load sends every line, also those the ECU already holds.
    plan.writes.clear();
    for (int cell = 0; cell < kCells; ++cell)
        plan.writes.push_back(CellChange{cell + 1, m_ecu[cell], cells.value(cell)});
    return plan;
}

Plan MapSession::undo() const
{
    if (const Refusal why = refusalNow(Source::Undo); why != Refusal::None)
        return refusedPlan(Source::Undo, why);
    Plan plan;
    plan.source = Source::Undo;
    plan.writes = m_history.undoWrites();
    return plan;
}

Plan MapSession::redo() const
{
    if (const Refusal why = refusalNow(Source::Redo); why != Refusal::None)
        return refusedPlan(Source::Redo, why);
    Plan plan;
    plan.source = Source::Redo;
    plan.writes = m_history.redoWrites();
    return plan;
}

Plan MapSession::templateLoad() const
{
    return refusedPlan(Source::Template, refusalNow(Source::Template));
}

Refusal MapSession::storeRefusal() const
{
    if (m_batch)
        return Refusal::BatchRunning;
    if (m_read && (!m_verified || m_readLost))
        return Refusal::NoMap;
    return Refusal::None;
}

void MapSession::begin(const Plan &plan)
{
    m_batch = Batch{plan.source, {}};
    if (plan.range) {
        // The range's typed text is settled by the change: what is not sent
        // shows the ECU's value again.
        std::erase_if(m_typed, [&](const auto &typed) {
            return plan.range->contains(typed.first % kMapSide, typed.first / kMapSide);
        });
    }
}

void MapSession::sent(const CellChange &change)
{
    const int cell = change.cell - 1;
    if (cell < 0 || cell >= kCells)
        return;
    m_ecu[cell] = change.after;
    m_typed.erase(cell);
    ecuChanged();
    if (m_batch)
        m_batch->sent.push_back(change);
}

size_t MapSession::finish()
{
    if (!m_batch)
        return 0;
    Batch batch = std::move(*m_batch);
    m_batch.reset();
    const size_t written = batch.sent.size();
    m_lastBatch = batch;
    switch (batch.source) {
    case Source::Undo: m_history.undone(written); break;
    case Source::Redo: m_history.redone(written); break;
    default: {
        // Before the first read the old values are unknown: nothing to undo to.
        if (!m_read)
            break;
        EditStep step;
        for (const CellChange &c : batch.sent)
            if (!sameCellValue(c.before, c.after))
                step.push_back(c);
        m_history.record(std::move(step));
        break;
    }
    }
    return written;
}

ReadOutcome MapSession::read(const QStringList &cells)
{
    ReadOutcome outcome;
    m_typed.clear();
    m_verified = true;
    m_readLost = false;
    if (!m_read) {
        m_read = true;
        m_ecu = cells;
        m_stored = cells;
        ecuChanged();
        keepFirstKnown();
        return outcome;
    }
    outcome.differences = differencesFrom(cells);
    outcome.kind = outcome.differences.empty() ? ReadOutcome::Same : ReadOutcome::Differs;
    if (outcome.kind == ReadOutcome::Differs) {
        // Undoing would write values next to ones the window never knew.
        outcome.historyEnded = m_history.canUndo() || m_history.canRedo();
        m_history.clear();
        ecuChanged();
    }
    m_ecu = cells;
    keepFirstKnown();
    return outcome;
}

std::vector<CellDifference> MapSession::differencesFrom(const QStringList &cells) const
{
    return mapDifferences(cells, m_ecu);
}

void MapSession::takeEcu(const QStringList &cells)
{
    m_ecu = cells;
    m_stored = cells;
    m_typed.clear();
    m_history.clear();
    m_read = true;
    m_verified = true;
    m_readLost = false;
    ecuChanged();
    keepFirstKnown();
}

void MapSession::keepWindowValues(const QStringList &cells)
{
    m_comparison = Comparison{QString(), m_ecu};
    takeEcu(cells);
}

ReadBack MapSession::verify(const QStringList &cells)
{
    ReadBack back;
    std::set<int> written;
    for (const CellChange &c : m_lastBatch.sent)
        written.insert(c.cell - 1);
    std::vector<std::pair<int, QString>> held;
    std::vector<int> changed;
    for (const CellDifference &d : mapDifferences(cells, m_ecu)) {
        if (written.count(d.cell)) {
            back.missing.push_back(d);
            held.emplace_back(d.cell + 1, d.ecu);
        } else {
            changed.push_back(d.cell + 1);
        }
    }
    back.changedByEcu = int(changed.size());
    m_readLost = false;
    if (back.missing.empty() && changed.empty())
        return back;
    switch (m_lastBatch.source) {
    case Source::Undo: m_history.missed(EditHistory::Move::Undo, held); break;
    case Source::Redo: m_history.missed(EditHistory::Move::Redo, held); break;
    default: m_history.missed(EditHistory::Move::Do, held); break;
    }
    // Undoing would write over what the ECU learned by itself.
    if (m_history.mentions(changed)) {
        m_history.clear();
        back.historyEnded = true;
    }
    m_ecu = cells;
    ecuChanged();
    return back;
}

void MapSession::storeSent()
{
    ++m_storing;
    m_storeSnapshot = m_ecu;
}

void MapSession::storeEnded(bool done)
{
    m_storing = std::max(0, m_storing - 1);
    if (!done)
        return;
    m_stored = m_storeSnapshot;
    m_storedSinceChange = m_stored == m_ecu;
}

int MapSession::unstoredCount() const
{
    return int(mapDifferences(m_ecu, m_stored).size());
}

std::vector<CellDifference> MapSession::comparisonDifferences() const
{
    if (!m_comparison)
        return {};
    return mapDifferences(m_ecu, m_comparison->cells);
}

void MapSession::backedUp(const QString &path)
{
    m_lastBackup = path;
    m_backupCurrent = true;
    m_backedUpSinceConnect = true;
}

void MapSession::keepFirstKnown()
{
    if (!m_firstKnown && known())
        m_firstKnown = m_ecu;
}

void MapSession::ecuChanged()
{
    m_backupCurrent = false;
    m_storedSinceChange = false;
}

} // namespace tarvex::maps
