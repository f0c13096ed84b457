// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapSurface.h"
#include "maps/CellColors.h"
#include "widgets/MapGrid.h"
#include "maps/MapScale.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

using namespace tarvex::maps;

namespace tarvex::widgets {

TMapSurface::TMapSurface(const TMapGrid *grid, QWidget *parent) : QWidget(parent), m_grid(grid)
{
    setMinimumSize(320, 240);
    resize(640, 480);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(grid, &QTableWidget::itemChanged, this, [this] { MapChanged(); });
}

void TMapSurface::SetCaptions(const QString &speedAxis, const QString &loadAxis)
{
    m_speedAxis = speedAxis;
    m_loadAxis = loadAxis;
    MapChanged();
}

void TMapSurface::SetWorkingPoint(int cell)
{
    if (cell == m_point)
        return;
    m_point = cell;
    update();
}

void TMapSurface::SetView(const SurfaceView &view)
{
    m_view = view;
    MapChanged();
}

void TMapSurface::MapChanged()
{
    m_stale = true;
    update();
}

std::array<double, 256> TMapSurface::Values() const
{
    std::array<double, 256> values{};
    const QStringList cells = m_grid->Cells();
    for (int cell = 0; cell < 256; ++cell)
        values[size_t(cell)] = paintValue(cells.value(cell));
    return values;
}

SurfaceFrame TMapSurface::Frame(const std::array<double, 256> &values, const QSize &size) const
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return SurfaceFrame{*low, *high, size};
}

QImage TMapSurface::Render(const QSize &size) const
{
    ++m_renders;
    QImage image(size, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Base));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const std::array<double, 256> values = Values();
    const SurfaceFrame frame = Frame(values, size);
    std::array<Projected, 256> at{};
    for (int cell = 0; cell < 256; ++cell)
        at[size_t(cell)] = projectSurfacePoint(m_view, frame, cell % 16, cell / 16, values[size_t(cell)]);

    // The floor at the lowest value, and the corners' posts up to the map,
    // so that the eye finds the height.
    auto floorAt = [&](double column, double row) {
        return projectSurfacePoint(m_view, frame, column, row, frame.lowest).at;
    };
    const QPointF floor[4] = {floorAt(0, 0), floorAt(15, 0), floorAt(15, 15), floorAt(0, 15)};
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(palette().color(QPalette::AlternateBase));
    p.drawPolygon(floor, 4);
    p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DotLine));
    for (int corner : {0, 15, 255, 240})
        p.drawLine(floorAt(corner % 16, corner / 16), at[size_t(corner)].at);

    // Patches between four neighbouring cells, the farthest first, each in
    // the colour of its cells' mean as the grid would paint it.
    struct Patch {
        int corner; // its top-left cell
        double depth;
    };
    std::vector<Patch> patches;
    patches.reserve(225);
    for (int row = 0; row < 15; ++row)
        for (int column = 0; column < 15; ++column) {
            const int c = row * 16 + column;
            patches.push_back(Patch{c, at[size_t(c)].depth + at[size_t(c + 1)].depth + at[size_t(c + 16)].depth
                                           + at[size_t(c + 17)].depth});
        }
    std::sort(patches.begin(), patches.end(), [](const Patch &a, const Patch &b) { return a.depth > b.depth; });
    const QColor none = palette().color(QPalette::Window);
    p.setPen(QPen(QColor(90, 90, 90), 0.6));
    for (const Patch &patch : patches) {
        const int c = patch.corner;
        const double mean = (values[size_t(c)] + values[size_t(c + 1)] + values[size_t(c + 16)] + values[size_t(c + 17)]) / 4;
        const std::optional<QColor> fill =
            m_grid->CellFill ? m_grid->CellFill(QString::number(qRound(mean))) : std::nullopt;
        p.setBrush(fill.value_or(none));
        const QPointF quad[4] = {at[size_t(c)].at, at[size_t(c + 1)].at, at[size_t(c + 17)].at, at[size_t(c + 16)].at};
        p.drawPolygon(quad, 4);
    }

    // The engine-speed scale along the front edge, rows along the left one.
    p.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics(p.font());
    for (int column = 0; column < 16; column += 3) {
        const QPointF spot = projectSurfacePoint(m_view, frame, column, 16.2, frame.lowest).at;
        const QString text = speedCaption(column);
        p.drawText(spot - QPointF(metrics.horizontalAdvance(text) / 2.0, -metrics.ascent() / 2.0), text);
    }
    for (int row = 0; row < 16; row += 5) {
        const QPointF spot = projectSurfacePoint(m_view, frame, -1.2, row, frame.lowest).at;
        const QString text = QString::number(row + 1);
        p.drawText(spot - QPointF(metrics.horizontalAdvance(text) / 2.0, -metrics.ascent() / 2.0), text);
    }
    p.drawText(QRectF(0, size.height() - metrics.height() - 4, size.width() - 6, metrics.height()),
               Qt::AlignRight | Qt::AlignVCenter, m_speedAxis + QStringLiteral(" · ") + m_loadAxis);
    return image;
}

QPointF TMapSurface::CellPosition(int cell) const
{
    const std::array<double, 256> values = Values();
    return projectSurfacePoint(m_view, Frame(values, size()), cell % 16, cell / 16, values[size_t(cell)]).at;
}

void TMapSurface::paintEvent(QPaintEvent *)
{
    if (m_stale || m_picture.size() != size()) {
        m_picture = QPixmap::fromImage(Render(size()));
        m_stale = false;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
    if (m_point < 0 || m_point > 255)
        return;
    // The working point: a red mark on the surface over its foot on the base.
    const std::array<double, 256> values = Values();
    const SurfaceFrame frame = Frame(values, size());
    const QPointF top = CellPosition(m_point);
    const QPointF foot = projectSurfacePoint(m_view, frame, m_point % 16, m_point / 16, frame.lowest).at;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
    p.drawLine(foot, top);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(top, 5, 5);
}

void TMapSurface::resizeEvent(QResizeEvent *event)
{
    m_stale = true;
    QWidget::resizeEvent(event);
}

void TMapSurface::mousePressEvent(QMouseEvent *event)
{
    m_drag = event->position().toPoint();
}

void TMapSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint now = event->position().toPoint();
    SetView(draggedView(m_view, now.x() - m_drag.x(), now.y() - m_drag.y()));
    m_drag = now;
}

void TMapSurface::wheelEvent(QWheelEvent *event)
{
    SetView(zoomedView(m_view, event->angleDelta().y() / 120.0));
}

} // namespace tarvex::widgets
