// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace tarvex::maps {

// One cell written to the ECU: its number (1 to 256) and its text before and
// after.
struct CellChange {
    int cell = 0;
    QString before;
    QString after;
    bool operator==(const CellChange &) const = default;
};
using EditStep = std::vector<CellChange>;

// The edits of one map since it was last read, to undo and redo. Each step
// holds exactly the cells that reached the ECU; an undo or redo that was
// cancelled or cut off part way splits its step, so the history always
// matches what the ECU holds.
class EditHistory {
public:
    void clear();
    // A new edit; whatever could be redone is forgotten. An empty step is no
    // edit.
    void record(EditStep step);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

    // The writes of an undo: the last step's cells back to their texts
    // before, the last written first.
    EditStep undoWrites() const;
    // The first `written` of those writes reached the ECU.
    void undone(size_t written);

    // The writes of a redo, in the order they were first made.
    EditStep redoWrites() const;
    void redone(size_t written);

    // What the last batch did to the history.
    enum class Move { Do, Undo, Redo };
    // The read-back after that batch found these cells (1 to 256) holding
    // another text than it wrote: the step it made, undid or redid keeps
    // what landed, so that undoing further still leads back to where the
    // map started.
    void missed(Move move, const std::vector<std::pair<int, QString>> &held);
    // Whether a step names one of these cells (1 to 256).
    bool mentions(const std::vector<int> &cells) const;

private:
    std::vector<EditStep> m_undo;
    std::vector<EditStep> m_redo;
};

} // namespace tarvex::maps
