// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/SurfaceGeometry.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

namespace tarvex::widgets {

class TMapGrid;

// A map drawn as a surface in a window of its own: columns are engine speed,
// rows load, height the value, each patch in the colour its grid gives the
// cells. It follows every change of the grid; the mouse turns and tilts it,
// the wheel zooms. The picture is kept until the map or the view changes;
// the working point is drawn over it.
class TMapSurface : public QWidget {
public:
    explicit TMapSurface(const TMapGrid *grid, QWidget *parent = nullptr);

    void SetCaptions(const QString &speedAxis, const QString &loadAxis);
    // The ECU's working point (cell 0 to 255), -1 for none.
    void SetWorkingPoint(int cell);
    int WorkingPoint() const { return m_point; }
    const maps::SurfaceView &View() const { return m_view; }
    void SetView(const maps::SurfaceView &view);

    // The surface without the working point, at any size.
    QImage Render(const QSize &size) const;
    // Where a cell's value lies in a picture of the widget's size.
    QPointF CellPosition(int cell) const;
    int Renders() const { return m_renders; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    std::array<double, 256> Values() const;
    maps::SurfaceFrame Frame(const std::array<double, 256> &values, const QSize &size) const;
    void MapChanged();

    const TMapGrid *m_grid;
    maps::SurfaceView m_view;
    QString m_speedAxis;
    QString m_loadAxis;
    int m_point = -1;
    QPixmap m_picture;
    bool m_stale = true;
    QPoint m_drag;
    mutable int m_renders = 0;
};

} // namespace tarvex::widgets
