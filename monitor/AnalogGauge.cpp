#include "monitor/AnalogGauge.h"

#include <QPainter>

namespace tarvex::monitor {

TAnalogGauge::TAnalogGauge(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(60, 50);
}

void TAnalogGauge::SetCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TAnalogGauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(0, 0, 0, -6), Qt::AlignHCenter | Qt::AlignBottom, m_caption);
}

} // namespace tarvex::monitor
