// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/SpeedScale.h"
#include "maps/MapScale.h"
#include "widgets/MapGrid.h"

#include <QEvent>
#include <QPainter>

namespace tarvex::widgets {

TSpeedScale::TSpeedScale(QWidget *parent) : QWidget(parent)
{
    setFixedSize(537, 28);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSpeedScale::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_face = QPixmap();
        update();
    }
}

void TSpeedScale::paintEvent(QPaintEvent *)
{
    // A screen of another density (the window moved) needs it drawn again.
    if (m_face.isNull() || m_face.devicePixelRatio() != devicePixelRatioF())
        DrawFace();
    QPainter(this).drawPixmap(0, 0, m_face);
}

void TSpeedScale::DrawFace()
{
    const qreal ratio = devicePixelRatioF();
    m_face = QPixmap(size() * ratio);
    m_face.setDevicePixelRatio(ratio);
    // The same whether the page is enabled or not, as the window always had it.
    m_face.fill(palette().color(QPalette::Active, QPalette::Window));
    QPainter painter(&m_face);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    for (int column = 0; column < TMapGrid::kSize; ++column) {
        painter.save();
        painter.translate(4 + column * (TMapGrid::kCellWidth + 1) + 16, 27);
        painter.rotate(-90);
        painter.drawText(QRect(0, -8, 27, 16), Qt::AlignLeft | Qt::AlignVCenter, maps::speedCaption(column));
        painter.restore();
    }
}

} // namespace tarvex::widgets
