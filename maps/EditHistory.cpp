#include "maps/EditHistory.h"

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

void EditHistory::forgetInLastStep(const std::vector<int> &cells)
{
    if (m_undo.empty())
        return;
    EditStep &step = m_undo.back();
    std::erase_if(step, [&cells](const CellChange &c) { return std::find(cells.begin(), cells.end(), c.cell) != cells.end(); });
    if (step.empty())
        m_undo.pop_back();
}

} // namespace tarvex::maps
