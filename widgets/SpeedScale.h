// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tarvex::widgets {

// The engine-speed scale under a map's grid: one caption per column,
// vertical, 537 × 28 pixels, to stand 3 pixels left of the grid. Its picture
// is drawn at the screen's pixel ratio, again when the ratio, the font or
// the palette changes.
class TSpeedScale : public QWidget {
public:
    explicit TSpeedScale(QWidget *parent = nullptr);

    // The picture as last drawn (for tests).
    const QPixmap &Face() const { return m_face; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void DrawFace();

    QPixmap m_face;
};

} // namespace tarvex::widgets
