// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/EditHistory.h"
#include "maps/MapCompare.h"
#include "maps/MapOperations.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace tarvex::maps {

enum class MapPage { Fuel, Ignition };

// Where a change of the ECU's map comes from. Enter and a file load work as
// the page's own controls do; every other source needs the page's edit box.
enum class Source { Enter, Operation, Paste, Undo, Redo, FileLoad, Comparison, Suggestion, Restore, Rewrite, Template };

// Why a change is not sent.
enum class Refusal {
    None,
    NoMap,         // the map is not known: not read yet, shown from before and not yet compared, or its read failed
    EditingOff,    // the page's edit box is not ticked
    Storing,       // the store's wait is running: what is stored must be what was sent
    BatchRunning,  // cells are being written
    NotANumber,    // the cell holds no whole number
    OutOfRange,    // the value lies outside the page's range
};

// The writes a change needs, in the order they go out, or why there are none.
struct Plan {
    Source source = Source::Enter;
    EditStep writes;
    // The cells the change is about: typed text in them is settled, sent or
    // put back, even where nothing needs sending.
    std::optional<CellRange> range;
    Refusal refusal = Refusal::None;
    int cell = -1; // the cell refused, 0 to 255
    QString text;  // its text
    long long value = 0; // the value it would get
    bool refused() const { return refusal != Refusal::None; }
};

// The read after a batch, checked against the cells the batch wrote.
struct ReadBack {
    std::vector<CellDifference> missing; // written but holding another value (ECU, intended)
    int changedByEcu = 0;                // cells not written that the ECU changed itself
    bool historyEnded = false;           // one of those was in the history
};

// A map read, compared with what the window knew.
struct ReadOutcome {
    enum Kind { First, Same, Differs };
    Kind kind = First;
    std::vector<CellDifference> differences; // cell, ECU, window
    bool historyEnded = false;
};

// A file, a kept copy or the window's own values, compared with the ECU.
struct Comparison {
    QString path; // the file; empty for the window's values kept at a reconnect
    QStringList cells;
    Source source = Source::Comparison; // of the writes that take its values
};

// One map page's truth: what the ECU holds as far as the window knows, what
// the grid shows (that and the text typed but not sent), what its permanent
// memory holds, the edits that can be undone, the comparison and the last
// backup. Every change of the ECU's map, from any source, is planned here
// and reported back write by write, so the window never shows a value the
// ECU does not hold without marking it.
class MapSession {
public:
    explicit MapSession(MapPage page);

    MapPage page() const { return m_page; }
    ValueRange range() const;

    // --- What is known -----------------------------------------------------
    bool hasMap() const { return m_read; }
    // Not compared since connecting or since the ECU may have restarted,
    // though a map is shown from before.
    bool needsCompare() const { return hasMap() && !m_verified; }
    // A read failed or came back short, or the ECU loaded its template:
    // the map shown may not be the ECU's until a read succeeds.
    bool readLost() const { return m_readLost; }
    // The map shown is the ECU's: read, compared, no read lost since.
    bool known() const { return m_read && m_verified && !m_readLost; }
    const QStringList &ecu() const { return m_ecu; }
    QString shown(int cell) const;
    QStringList shownCells() const;
    bool isTyped(int cell) const { return m_typed.count(cell) != 0; }
    std::set<int> pendingCells() const;

    // A new connection: a map shown from before must be compared with the
    // ECU's before it can be changed again.
    void connected();
    // Live data stopped for a while and came back: the ECU may have
    // restarted and lost what it had not stored. The map is compared again
    // before it can be changed or stored.
    void mayHaveRestarted();
    void setEditing(bool on) { m_editing = on; }
    // The fitter connected (a connection resumed after a replug goes on):
    // the cells changed are counted afresh from the next map known.
    void connectionBegan() { m_firstKnown.reset(); }
    // The map as first known since the fitter connected (for a file, as
    // opened); none before.
    const std::optional<QStringList> &firstKnown() const { return m_firstKnown; }

    // --- Typing --------------------------------------------------------------
    // Text typed into a cell and not sent; the ECU's own text is no typing.
    void type(int cell, const QString &text);
    void dropTyped(int cell) { m_typed.erase(cell); }

    // --- Plans ---------------------------------------------------------------
    // Enter on a cell: its text as shown, unchanged.
    Plan enter(int cell) const;
    // An operation's or a paste's result: the cells of `range` that differ
    // from what the ECU holds (or are typed).
    Plan change(const MapValues &values, const CellRange &range, Source source) const;
    // These cells (0 to 255) to these texts, where they differ from the ECU.
    Plan write(const std::vector<std::pair<int, QString>> &cells, Source source) const;
    // A whole map from a file: every cell, in cell order.
    Plan load(const QStringList &cells) const;
    Plan undo() const;
    Plan redo() const;
    // The ECU's template replaces the map: nothing of the window's is sent.
    Plan templateLoad() const;
    // The template's frame went out: the map is not known until it is read.
    void templateSent() { m_readLost = true; }
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }

    // --- A batch in flight -----------------------------------------------
    void begin(const Plan &plan);
    // One write's frame went out.
    void sent(const CellChange &change);
    // The batch ended (done, cancelled or cut off): the writes sent become
    // one step of the history. Returns how many were sent.
    size_t finish();
    bool batchRunning() const { return m_batch.has_value(); }

    // --- Reads ---------------------------------------------------------------
    // A read: the ECU's values are taken. A read equal to what was known
    // keeps the history; one that differs ends it.
    ReadOutcome read(const QStringList &cells);
    // A read that failed or came back short.
    void readFailed() { m_readLost = true; }
    // The cells in which a read differs from what the window shows (ECU,
    // window), nothing taken.
    std::vector<CellDifference> differencesFrom(const QStringList &cells) const;
    // At a reconnect's difference report: the ECU's values become the
    // window's; the history starts again. A restarted ECU loads its stored
    // maps, so they are what its permanent memory holds.
    void takeEcu(const QStringList &cells);
    // ... or the ECU's values are shown and the window's kept to write later,
    // as a comparison.
    void keepWindowValues(const QStringList &cells);
    // The read after a batch: of the cells it wrote, those that did not
    // land; any other cell that differs was changed by the ECU itself. The
    // session takes the ECU's real values; the step the batch made, undid or
    // redid keeps only what landed.
    ReadBack verify(const QStringList &cells);

    // --- Storing -------------------------------------------------------------
    // Why a store may not be sent now: during a batch, or while the map
    // shown may not be the ECU's (what would be called stored is not
    // known).
    Refusal storeRefusal() const;
    // The store's frame goes out: what will be stored is what the ECU holds
    // now; it counts as stored once the store has ended without an error.
    void storeSent();
    void storeEnded(bool done);
    bool storing() const { return m_storing > 0; }
    // Cells of the working map that differ from what is stored.
    int unstoredCount() const;
    // What the ECU's permanent memory holds, as far as the window knows.
    const QStringList &storedCells() const { return m_stored; }
    // A store ended and nothing changed since.
    bool storedSinceChange() const { return m_storedSinceChange; }

    // --- Comparison and backups ------------------------------------------------
    void compareWith(Comparison comparison) { m_comparison = std::move(comparison); }
    void endComparison() { m_comparison.reset(); }
    const std::optional<Comparison> &comparison() const { return m_comparison; }
    std::vector<CellDifference> comparisonDifferences() const;

    // A copy of the map as the ECU holds it now was written to `path`.
    void backedUp(const QString &path);
    const QString &lastBackup() const { return m_lastBackup; }
    bool backupCurrent() const { return m_backupCurrent; }
    bool backedUpSinceConnect() const { return m_backedUpSinceConnect; }

private:
    Plan refusedPlan(Source source, Refusal why) const;
    Refusal refusalNow(Source source) const;
    void ecuChanged();
    void keepFirstKnown();

    MapPage m_page;
    // Before the first read the ECU's cells are unknown (empty) but for
    // those sent since.
    QStringList m_ecu;
    QStringList m_stored;
    QStringList m_storeSnapshot;
    bool m_read = false;
    std::map<int, QString> m_typed;
    bool m_verified = false;
    bool m_editing = false;
    int m_storing = 0; // a store may start during another's wait
    bool m_storedSinceChange = false;
    EditHistory m_history;
    struct Batch {
        Source source;
        EditStep sent;
    };
    std::optional<Batch> m_batch;
    Batch m_lastBatch{Source::Enter, {}}; // for the read-back after it
    bool m_readLost = false;
    std::optional<Comparison> m_comparison;
    QString m_lastBackup;
    bool m_backupCurrent = false;
    bool m_backedUpSinceConnect = false;
    std::optional<QStringList> m_firstKnown;
};

} // namespace tarvex::maps
