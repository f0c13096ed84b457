// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapSession.h"
#include "maps/SettingsFile.h"

#include <QColor>
#include <QTableWidget>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace tarvex::maps {
class WorkingTrail;
}

namespace tarvex::widgets {

// A 16 × 16 map of text cells, 32 × 19 pixels each with 1-pixel lines, all
// visible without scrolling. The window hooks its handlers in: cell
// selection, typed characters, keys going down and the fill of each cell.
class TMapGrid : public QTableWidget {
public:
    static constexpr int kSize = 16;
    static constexpr int kCellWidth = 32;
    static constexpr int kCellHeight = 19;
    // The key code OnKeyDown gives for Enter, from either Enter key.
    static constexpr int kEnter = 13;

    explicit TMapGrid(QWidget *parent = nullptr);

    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString &text);
    // All 256 cells, row by row; as typed (OnCellEdited sees them).
    void SetCells(const QStringList &cells);
    // The cells as the program shows them, not as typing.
    void ShowCells(const QStringList &cells);
    void ShowCell(int column, int row, const QString &text);
    QStringList Cells() const;

    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    void SetCol(int column);
    void SetRow(int row);

    // The editing option: while on, typing opens the in-place editor.
    bool Editing() const { return m_editing; }
    void SetEditing(bool on);
    // Whether the in-place editor is open on a cell.
    bool EditorOpen() const { return state() == QAbstractItemView::EditingState; }

    void SetTextColor(const QColor &color);
    QColor TextColor() const { return m_textColor; }

    // Runs on every change of the current cell, by the user or the program.
    std::function<void(int column, int row)> OnSelectCell;
    // Sees each typed character first; returning false discards it.
    std::function<bool(QChar key)> OnKeyPress;
    // Sees each key going down (13 for Enter), in the grid or its editor.
    std::function<void(int key)> OnKeyDown;
    // A cell's text changed by typing (or SetCell), not by ShowCells; cell 0 to 255.
    std::function<void(int cell, const QString &text)> OnCellEdited;
    // The in-place editor on this cell closed, by Enter or otherwise.
    std::function<void(int cell)> OnEditorClosed;
    void EditorOpened(int cell);
    // Whether `editor` is the grid's open cell editor, not one already closed.
    bool IsEditor(const QWidget *editor) const;
    // The fill of a cell by its text; none keeps the grid's own background.
    std::function<std::optional<QColor>(const QString &text)> CellFill;

    // Key handling shared by the grid and its in-place editor; returns true
    // when the key was discarded.
    bool handleKey(QKeyEvent *event);

    // The working point's recent cells, drawn over the cells; none: no trail.
    void SetTrail(const maps::WorkingTrail *trail);
    // Cells outlined as differing from a file, with the file's text shown as
    // their tooltip (cell 0 to 255 → text); empty: the grid's own look.
    void SetMarks(std::map<int, QString> marks);
    const std::map<int, QString> &Marks() const { return m_marks; }
    // The cells shown may not be what the ECU holds (not read since a
    // reconnect or a restart, a read that failed): the grid is greyed.
    void SetStale(bool stale);
    bool Stale() const { return m_stale; }
    // Cells whose text was typed and not sent, outlined dashed.
    void SetPending(std::set<int> cells);
    const std::set<int> &Pending() const { return m_pending; }
    QRect CellRect(int cell) const;

    void keyboardSearch(const QString &search) override;

protected:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    bool m_editing = false;
    QColor m_textColor;
    const maps::WorkingTrail *m_trail = nullptr;
    std::map<int, QString> m_marks;
    std::set<int> m_pending;
    bool m_stale = false;
    bool m_showing = false;
    int m_editorCell = -1;
};

// How a map's grid paints its cells: the fuel map in red on its bands'
// colours as `bands` gives them at the time, the ignition map in the
// window's text colour on its fixed colours.
void paintMapGrid(TMapGrid *grid, maps::MapPage kind, std::function<maps::BandColors()> bands);

} // namespace tarvex::widgets
