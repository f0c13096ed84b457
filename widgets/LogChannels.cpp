// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LogChannels.h"

#include <QPainter>
#include <cmath>

using namespace tarvex::monitor;

namespace tarvex::widgets {

const std::vector<LogChannel> &logChannels()
{
    using Unit = LogChannel::Unit;
    static const std::vector<LogChannel> list = {
        {Unit::Rpm, 0, QColor(200, 0, 0), [](const LogRecord &r) { return r.number(LogField::Rpm); }},
        {Unit::Celsius, 0, QColor(0, 90, 200), coolantCelsius},
        {Unit::None, 0, QColor(0, 140, 0), [](const LogRecord &r) { return r.number(LogField::Tps); }},
        {Unit::None, 0, QColor(140, 90, 0), [](const LogRecord &r) { return r.number(LogField::Map); }},
        {Unit::None, 0, QColor(130, 0, 160), [](const LogRecord &r) { return r.number(LogField::Lambda); }},
        {Unit::Ms, 2, QColor(0, 130, 130), injectionMs},
        {Unit::Degrees, 0, QColor(90, 90, 90), advanceDegrees},
    };
    return list;
}

QString unitText(LogChannel::Unit unit, const PlotTexts &texts)
{
    switch (unit) {
    case LogChannel::Unit::Rpm: return texts.rpm;
    case LogChannel::Unit::Celsius: return QStringLiteral("°C");
    case LogChannel::Unit::Ms: return texts.ms;
    case LogChannel::Unit::Degrees: return QStringLiteral("°");
    case LogChannel::Unit::None: break;
    }
    return QString();
}

double PlotAxis::valueAt(int x) const
{
    return start + (end - start) * double(x - area.left()) / std::max(1, area.width());
}

int PlotAxis::xOf(double value) const
{
    return area.left() + int(std::lround((value - start) / (end - start) * area.width()));
}

std::pair<double, double> PlotAxis::zoomedAt(int x, bool in) const
{
    const double at = valueAt(x);
    const double factor = in ? 0.8 : 1.25;
    return {at - (at - start) * factor, at + (end - at) * factor};
}

double PlotAxis::dragged(int pixels) const
{
    return pixels * (end - start) / std::max(1, area.width());
}

bool paintChannelRow(QPainter &p, const QRect &row, int labelWidth, const QString &label, const QColor &color, double &lo,
                     double &hi)
{
    p.setPen(QColor(220, 220, 220));
    p.drawRect(row);
    p.setPen(color);
    p.drawText(QRect(4, row.top(), labelWidth - 8, row.height()), Qt::AlignLeft | Qt::AlignVCenter, label);
    if (lo > hi)
        return false;
    if (hi - lo < 1e-9) {
        lo -= 1;
        hi += 1;
    }
    p.setPen(Qt::gray);
    p.drawText(QRect(labelWidth - 60, row.top(), 56, 14), Qt::AlignRight, QString::number(hi, 'g', 4));
    p.drawText(QRect(labelWidth - 60, row.bottom() - 14, 56, 14), Qt::AlignRight, QString::number(lo, 'g', 4));
    return true;
}

void paintReadout(QPainter &p, const QFont &font, int x, const QRect &area, const QStringList &lines)
{
    const QFontMetrics fm(font);
    int w = 0;
    for (const QString &line : lines)
        w = std::max(w, fm.horizontalAdvance(line));
    QRect box(x + 8, area.top() + 4, w + 12, fm.height() * int(lines.size()) + 8);
    if (box.right() > area.right())
        box.moveRight(x - 8);
    p.fillRect(box, QColor(255, 255, 230));
    p.setPen(Qt::black);
    p.drawRect(box);
    p.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, lines.join(QLatin1Char('\n')));
}

} // namespace tarvex::widgets
