// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/EditHistory.h"
#include "maps/MapCompare.h"

#include <algorithm>

namespace tarvex::maps {

void EditHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
}

void EditHistory::record(EditStep step)
{
    if (step.empty())
        return;
    m_undo.push_back(std::move(step));
    m_redo.clear();
}

EditStep EditHistory::undoWrites() const
{
    if (m_undo.empty())
        return {};
    EditStep writes;
    for (auto it = m_undo.back().rbegin(); it != m_undo.back().rend(); ++it)
        writes.push_back(CellChange{it->cell, it->after, it->before});
    return writes;
}

void EditHistory::undone(size_t written)
{
    if (m_undo.empty() || written == 0)
        return;
    EditStep &step = m_undo.back();
    written = std::min(written, step.size());
    // The undo wrote the step's last cells first: those now wait for a redo.
    EditStep done(step.end() - long(written), step.end());
    step.erase(step.end() - long(written), step.end());
    if (step.empty())
        m_undo.pop_back();
    m_redo.push_back(std::move(done));
}

EditStep EditHistory::redoWrites() const
{
    return m_redo.empty() ? EditStep() : m_redo.back();
}

void EditHistory::redone(size_t written)
{
    if (m_redo.empty() || written == 0)
        return;
    EditStep &step = m_redo.back();
    written = std::min(written, step.size());
    EditStep done(step.begin(), step.begin() + long(written));
    step.erase(step.begin(), step.begin() + long(written));
    if (step.empty())
        m_redo.pop_back();
    m_undo.push_back(std::move(done));
}

void EditHistory::missed(Move move, const std::vector<std::pair<int, QString>> &held)
{
    auto find = [](EditStep &step, int cell) {
        return std::find_if(step.begin(), step.end(), [cell](const CellChange &c) { return c.cell == cell; });
    };
    auto dropEmpty = [](std::vector<EditStep> &steps) {
        if (!steps.empty() && steps.back().empty())
            steps.pop_back();
    };
    switch (move) {
    case Move::Do:
        // A cell that kept its old text was not changed; one that holds a
        // third text is undone from that.
        if (m_undo.empty())
            return;
        for (const auto &[cell, text] : held) {
            const auto c = find(m_undo.back(), cell);
            if (c == m_undo.back().end())
                continue;
            if (sameCellValue(text, c->before))
                m_undo.back().erase(c);
            else
                c->after = text;
        }
        dropEmpty(m_undo);
        break;
    case Move::Undo: {
        // The undone step's cells that did not go back are still to undo.
        if (m_redo.empty())
            return;
        EditStep still;
        for (const auto &[cell, text] : held) {
            const auto c = find(m_redo.back(), cell);
            if (c == m_redo.back().end())
                continue;
            if (!sameCellValue(text, c->before))
                still.push_back(CellChange{c->cell, c->before, text});
            m_redo.back().erase(c);
        }
        dropEmpty(m_redo);
        if (!still.empty())
            m_undo.push_back(std::move(still));
        break;
    }
    case Move::Redo: {
        // The redone step's cells that kept their text are still to redo.
        if (m_undo.empty())
            return;
        EditStep again;
        for (const auto &[cell, text] : held) {
            const auto c = find(m_undo.back(), cell);
            if (c == m_undo.back().end())
                continue;
            if (sameCellValue(text, c->before)) {
                again.push_back(*c);
                m_undo.back().erase(c);
            } else {
                c->after = text;
            }
        }
        dropEmpty(m_undo);
        if (!again.empty())
            m_redo.push_back(std::move(again));
        break;
    }
    }
}

bool EditHistory::mentions(const std::vector<int> &cells) const
{
    for (const std::vector<EditStep> *steps : {&m_undo, &m_redo})
        for (const EditStep &step : *steps)
            for (const CellChange &c : step)
                if (std::find(cells.begin(), cells.end(), c.cell) != cells.end())
                    return true;
    return false;
}

} // namespace tarvex::maps
