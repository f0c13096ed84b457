// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/WorkingTrail.h"

#include <QPainter>

namespace tarvex::maps {

void WorkingTrail::visit(int cell)
{
    if (cell < 0 || cell > 255 || cell == newest())
        return;
    m_cells[m_head] = cell;
    m_head = (m_head + 1) % kLength;
    m_count = std::min(m_count + 1, kLength);
}

void WorkingTrail::clear()
{
    m_head = 0;
    m_count = 0;
}

std::vector<WorkingTrail::Point> WorkingTrail::points() const
{
    std::vector<Point> out;
    out.reserve(size_t(m_count));
    for (int age = m_count - 1; age >= 0; --age) {
        const int index = (m_head + kLength - 1 - age) % kLength;
        out.push_back(Point{m_cells[index], double(kLength - age) / kLength});
    }
    return out;
}

void WorkingTrail::paint(QPainter &painter, const WorkingTrail &trail, const std::function<QRect(int)> &cellRect)
{
    const std::vector<Point> points = trail.points();
    if (points.empty())
        return;
    // Beside the cell's number, not over it.
    auto spot = [&cellRect](int cell) {
        const QRect r = cellRect(cell);
        return QPointF(r.right() - 5.5, r.center().y() + 0.5);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor ink(0, 0, 160);
    painter.setPen(Qt::NoPen);
    for (const Point &p : points) {
        ink.setAlphaF(0.9 * p.strength);
        painter.setBrush(ink);
        const double radius = 1.5 + 2.5 * p.strength;
        painter.drawEllipse(spot(p.cell), radius, radius);
    }
    painter.restore();
}

} // namespace tarvex::maps
