// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <functional>
#include <vector>

class QPainter;

namespace tarvex::maps {

// The cells the engine's working point passed through last: a ring of the
// last kLength live ticks that moved it, the newest strongest.
class WorkingTrail {
public:
    static constexpr int kLength = 25;

    // A live tick's working point (a cell 0 to 255); a tick that stays on the
    // cell adds nothing, a number outside the map is ignored.
    void visit(int cell);
    void clear();

    struct Point {
        int cell;
        double strength; // 1 for the newest, down to 1 ÷ kLength for the oldest
    };
    // Oldest first.
    std::vector<Point> points() const;
    int newest() const { return m_count ? m_cells[(m_head + kLength - 1) % kLength] : -1; }

    // Draws the trail over a grid: a dot beside each point's number, fading
    // and shrinking with age. cellRect gives a cell's rectangle.
    static void paint(QPainter &painter, const WorkingTrail &trail, const std::function<QRect(int cell)> &cellRect);

private:
    int m_cells[kLength] = {};
    int m_head = 0;  // where the next point goes
    int m_count = 0;
};

} // namespace tarvex::maps
